"""The forum server: its state, set and read as JSON at /control, and the request handler,
which answers the index as the state says or misbehaves the way a broken or hostile server
would (MISBEHAVIOURS, one table: a name, what it does, and the function that does it)."""
import json
import select
import socket
import struct
import threading
import time
from http.server import BaseHTTPRequestHandler

from forum.pages import (ENCODING, HOME_PAGE, INDEX_DEFAULTS, INDEX_PATH, NOT_FOUND_PAGE,
                         PAGE_HEADERS, endless_chunks, garbage_body, huge_chunks,
                         long_line_chunks, normal_user, render_index, split_before_stats,
                         valid_user, with_bad_bytes)

# What the index answers with; "drop" closes the connection without any answer, "reset" aborts
# it (a TCP reset).
BODIES = ("page", "notfound", "garbage", "empty", "drop", "reset")
HUGE_BYTES = 200 << 20
# A send that a client neither reads nor closes must not hold the thread for ever.
STREAM_SEND_TIMEOUT = 10


class State:
    """Everything a test can set; guarded by one lock since every request runs on its own thread."""

    def __init__(self):
        self.lock = threading.Lock()
        self.stopping = threading.Event()
        self.total = INDEX_DEFAULTS["total"]
        self.users = [dict(u) for u in INDEX_DEFAULTS["users"]]
        self.users_first = False    # the users line before the total line
        self.total_bold = True      # False: the total line lost its bold run
        self.delay = 0.0            # seconds to wait before answering the index
        self.status = 200
        self.body = "page"          # one of BODIES
        self.auto_post = False      # a new post before every index answer (for benchmarks)
        self.misbehave = "none"     # one of MISBEHAVIOURS
        self.trickle_rate = 1 << 20  # bytes a second of the endless body
        self.line_bytes = 50 << 20  # the long line's length
        self.misbehave_next = []    # modes for the next index requests, one each
        self.body_seconds = 0.0     # the time the page's body takes to send
        self.hold = False           # True holds answers in the "hold" mode back
        self.requests = []          # one record per index request, in arrival order
        self.in_flight = 0
        self.max_in_flight = 0

    def update(self, changes):
        """Applies a JSON object of changes; raises ValueError naming what is wrong."""
        checks = {
            "total": lambda v: isinstance(v, str),
            "users": lambda v: isinstance(v, list) and all(valid_user(u) for u in v),
            "users_first": lambda v: isinstance(v, bool),
            "total_bold": lambda v: isinstance(v, bool),
            "delay": lambda v: isinstance(v, (int, float)) and 0 <= v <= 120,
            "status": lambda v: isinstance(v, int) and 100 <= v <= 599,
            "body": lambda v: v in BODIES,
            "auto_post": lambda v: isinstance(v, bool),
            "misbehave": lambda v: v in MISBEHAVIOURS,
            "trickle_rate": lambda v: isinstance(v, int) and 1 <= v <= 100 << 20,
            "line_bytes": lambda v: isinstance(v, int) and 0 <= v <= 1 << 30,
            "misbehave_next": lambda v: isinstance(v, list) and all(m in MISBEHAVIOURS for m in v),
            "body_seconds": lambda v: isinstance(v, (int, float)) and 0 <= v <= 600,
            "hold": lambda v: isinstance(v, bool),
            "clear_log": lambda v: v is True,
        }
        for key, value in changes.items():
            if key not in checks:
                raise ValueError("unknown setting: " + key)
            if not checks[key](value):
                raise ValueError("bad value for " + key)
        with self.lock:
            for key, value in changes.items():
                if key == "users":
                    self.users = [normal_user(u, i) for i, u in enumerate(value)]
                elif key == "clear_log":
                    self.requests = []
                    self.max_in_flight = self.in_flight
                else:
                    setattr(self, key, value)

    def snapshot(self):
        with self.lock:
            return {
                "total": self.total, "users": [dict(u) for u in self.users],
                "users_first": self.users_first, "total_bold": self.total_bold,
                "delay": self.delay, "status": self.status, "body": self.body,
                "auto_post": self.auto_post, "misbehave": self.misbehave,
                "trickle_rate": self.trickle_rate, "line_bytes": self.line_bytes,
                "misbehave_next": list(self.misbehave_next), "body_seconds": self.body_seconds,
                "hold": self.hold,
                "requests": [dict(r) for r in self.requests],
                "index_requests": len(self.requests),
                "in_flight": self.in_flight, "max_in_flight": self.max_in_flight,
            }




# --- the answers to an index request: each takes the handler, the state's snapshot and the
# request's start; those that misbehave end when the client leaves or the server stops ---

def answer_as_set(h, snap, start):
    body = snap["body"]
    if body in ("drop", "reset"):
        if body == "reset":
            h.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        h.close_connection = True
        return
    data = {"garbage": garbage_body, "notfound": lambda: NOT_FOUND_PAGE,
            "empty": lambda: b""}.get(body, lambda: render_index(snap, start).encode(ENCODING))()
    h.send_bytes(snap["status"], PAGE_HEADERS, data, snap["body_seconds"])


def error_page(status, page):
    return lambda h, snap, start: h.send_bytes(
        status, PAGE_HEADERS, page(snap, start) if callable(page) else page)


def whole_page(snap, start):
    return render_index(snap, start).encode(ENCODING)


def redirect_loop(h, snap, start):
    h.send_response(302)
    h.send_header("Location", "%s?hop=%d" % (INDEX_PATH, len(h.state.requests)))
    h.send_header("Content-Length", "0")
    h.end_headers()


def stall(h, snap, start):
    h.send_page_headers(None)
    h.wait_for_client_to_leave()


def endless(h, snap, start):
    h.send_page_headers(None)
    h.stream(endless_chunks(snap["trickle_rate"]))


def huge(h, snap, start):
    h.send_page_headers(HUGE_BYTES)
    h.stream(huge_chunks(whole_page(snap, start), HUGE_BYTES))


def long_line(h, snap, start):
    head, tail = split_before_stats(whole_page(snap, start))
    h.send_page_headers(len(head) + snap["line_bytes"] + 1 + len(tail))
    h.stream(long_line_chunks(head, snap["line_bytes"], tail))


def drop_mid_body(h, snap, start):
    page = whole_page(snap, start)
    h.send_page_headers(len(page))
    h.stream([page[:len(page) // 2]])


def bad_bytes(h, snap, start):
    h.send_bytes(200, PAGE_HEADERS, with_bad_bytes(whole_page(snap, start)))


MISBEHAVIOURS = {
    "none": ("the answer `body` and `status` describe", answer_as_set),
    "hold": ("the answer `body` and `status` describe, once `hold` is false", answer_as_set),
    "endless": ("a body without length that never ends, `trickle_rate` bytes a second", endless),
    "stall": ("the headers, then silence until the client leaves", stall),
    "huge": ("a 200 MB page, streamed", huge),
    "long_line": ("the page with one line of `line_bytes` bytes before its statistics",
                  long_line),
    "drop_mid_body": ("half the page under a Content-Length for all of it, then a close",
                      drop_mid_body),
    "redirect_loop": ("a 302 to the index itself with a new query each time, without end",
                      redirect_loop),
    "bad_bytes": ("the page with NUL bytes and 0x98 (unassigned in Windows-1251) in its lines",
                  bad_bytes),
    "not_found": ("a 404 with the web server's own page", error_page(404, NOT_FOUND_PAGE)),
    "server_error": ("a 500 carrying the whole index, a new total and all",
                     error_page(500, whole_page)),
    "unavailable": ("a 503 carrying the whole index", error_page(503, whole_page)),
}


def make_handler(state):
    class Handler(BaseHTTPRequestHandler):
        server_version = "Apache/2.2.3"
        sys_version = ""
        protocol_version = "HTTP/1.1"

        def log_message(self, fmt, *args):  # the request log is kept in the state instead
            pass

        def send_bytes(self, status, headers, body, seconds=0):
            self.send_response(status)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if self.command == "HEAD":
                return
            # A slow body goes out in tenths of a second, each piece flushed as it is written.
            pieces = max(1, int(seconds * 10))
            for i in range(pieces):
                if i and state.stopping.wait(seconds / pieces):
                    return
                self.wfile.write(body[i * len(body) // pieces:(i + 1) * len(body) // pieces])

        def do_HEAD(self):
            self.do_GET()

        def do_GET(self):
            path = self.path.split("?", 1)[0]
            if path == INDEX_PATH:
                self.serve_index()
            elif path == "/":
                self.send_bytes(200, [("Content-Type", "text/html; charset=windows-1251")],
                                HOME_PAGE.encode(ENCODING))
            elif path == "/control":
                self.send_json(200, state.snapshot())
            else:
                self.send_bytes(404, [("Content-Type", "text/html")], b"<h1>Not Found</h1>\n")

        def do_POST(self):
            if self.path != "/control":
                self.send_bytes(404, [("Content-Type", "text/html")], b"<h1>Not Found</h1>\n")
                return
            length = int(self.headers.get("Content-Length") or 0)
            try:
                changes = json.loads(self.rfile.read(min(length, 1 << 20)) or b"{}")
                if not isinstance(changes, dict):
                    raise ValueError("expected a JSON object")
                state.update(changes)
            except ValueError as e:
                self.send_json(400, {"error": str(e)})
                return
            self.send_json(200, state.snapshot())

        def send_json(self, status, obj):
            self.send_bytes(status, [("Content-Type", "application/json")],
                            json.dumps(obj, ensure_ascii=False).encode("utf-8"))

        def serve_index(self):
            start = time.time()
            with state.lock:
                state.in_flight += 1
                state.max_in_flight = max(state.max_in_flight, state.in_flight)
                # A redirect loop's hops go on looping, whatever comes next.
                if "?hop=" in self.path:
                    mode = "redirect_loop"
                else:
                    mode = state.misbehave_next.pop(0) if state.misbehave_next else state.misbehave
                record = {"start": start, "end": None, "misbehave": mode, "path": self.path}
                state.requests.append(record)
                if state.auto_post and state.total.isdigit():
                    state.total = str(int(state.total) + 1)
            try:
                snap = state.snapshot()
                if snap["delay"] > 0:
                    state.stopping.wait(snap["delay"])
                while mode == "hold" and state.hold and not state.stopping.wait(0.05):
                    pass
                if mode not in ("none", "hold"):
                    self.close_connection = True
                    self.connection.settimeout(STREAM_SEND_TIMEOUT)
                try:
                    MISBEHAVIOURS[mode][1](self, snap, start)
                except OSError:
                    if mode in ("none", "hold"):
                        raise
                    # the client left; that is what every misbehaviour waits for
            finally:
                with state.lock:
                    state.in_flight -= 1
                    record["end"] = time.time()

        def send_page_headers(self, length):
            self.send_response(200)
            for name, value in PAGE_HEADERS:
                self.send_header(name, value)
            if length is not None:
                self.send_header("Content-Length", str(length))
            self.send_header("Connection", "close")
            self.end_headers()

        def stream(self, chunks):
            for chunk in chunks:
                if state.stopping.is_set():
                    return
                self.wfile.write(chunk)

        def wait_for_client_to_leave(self):
            while not state.stopping.wait(0.2):
                readable, _, _ = select.select([self.connection], [], [], 0)
                if readable and not self.connection.recv(4096):
                    return

    Handler.state = state
    return Handler
