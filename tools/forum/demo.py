"""The demo forum's life of its own: posts and users coming and going."""
import time

def demo_loop(state, rnd):
    """Lets the forum live on its own: a new post every 20-30 s, users coming and going every ~15 s."""
    regulars = [
        {"name": "Ольга", "id": 64, "kind": "normal"},
        {"name": "Dimon", "id": 201, "kind": "normal"},
        {"name": "Наталья", "id": 77, "kind": "hidden"},
        {"name": "vova77", "id": 342, "kind": "normal"},
    ]
    next_post = time.time() + rnd.uniform(20, 30)
    next_visit = time.time() + rnd.uniform(12, 18)
    while not state.stopping.wait(0.5):
        now = time.time()
        with state.lock:
            if now >= next_post:
                if state.total.isdigit():
                    state.total = str(int(state.total) + rnd.randint(1, 3))
                next_post = now + rnd.uniform(20, 30)
            if now >= next_visit:
                away = [u for u in regulars if u not in state.users]
                if away and (len(state.users) <= 2 or rnd.random() < 0.5):
                    state.users.append(rnd.choice(away))
                elif len(state.users) > 1:
                    state.users.pop(rnd.randrange(1, len(state.users)))
                next_visit = now + rnd.uniform(12, 18)
