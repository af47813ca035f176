#!/usr/bin/env python3
"""A local phpBB2-shaped forum for the watcher's demo and its end-to-end tests.

GET /phpBB2/   the forum index, Windows-1251, with the headers a phpBB2 board sends
GET /          a small home page (what the tray's double-click opens)
GET /control   the current state and the request log, as JSON
POST /control  a JSON object whose keys change the state (State.update in forum/server.py);
               answers the new state

{"misbehave": MODE} makes the index answer the way a broken or hostile server would (see
MISBEHAVIOURS in forum/server.py); "none" serves the page again. {"misbehave_next": [MODE, ...]} gives the next index
requests their modes one by one, before "misbehave" applies again. Every such answer ends when
the client goes away or the server stops. {"body_seconds": S} spreads the page's body over S s.

Standard library only. Prints "listening on http://HOST:PORT/" once it accepts connections, so a
test can start it with --port 0 and read the port it got. SIGTERM and SIGINT stop it promptly,
also while a deliberately slow answer is waiting.

The pages are rendered in forum/pages.py, the answers given in forum/server.py, the demo's life
lived in forum/demo.py; forum/client.py starts this server and steers it.
"""
import argparse
import json
import random
import signal
import sys
import threading
from http.server import ThreadingHTTPServer

import facts
from forum.demo import demo_loop
from forum.server import State, make_handler


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=facts.port(facts.load()["FORUM_SITE_ROOT"]),
                        help="0 picks a free port; by default the one the product is built for")
    parser.add_argument("--demo", action="store_true", help="the forum changes by itself")
    parser.add_argument("--state", help="a JSON object of initial settings (as POST /control)")
    args = parser.parse_args(argv)

    state = State()
    if args.state:
        state.update(json.loads(args.state))
    server = ThreadingHTTPServer((args.host, args.port), make_handler(state))
    server.daemon_threads = True

    def stop(signum, frame):
        state.stopping.set()
        # shutdown() waits for serve_forever, which runs on this very thread: hand it off.
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.demo:
        threading.Thread(target=demo_loop, args=(state, random.Random()), daemon=True).start()
    host, port = server.server_address[:2]
    print("listening on http://%s:%d/" % (host, port), flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        state.stopping.set()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
