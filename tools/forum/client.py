"""The forum server run as a process of its own, steered through /control: the story, the soak
and the startup test drive it from here."""
import json
import os
import select
import subprocess
import sys
import urllib.request

SERVER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                      "forum_server.py")


class Forum:
    """This server run as a process of its own on `port` (0: one the system chooses), for the
    story, the soak and the like; `state` holds its settings at the start (as POST /control
    takes them)."""

    def __init__(self, port, state=None):
        argv = [sys.executable, SERVER, "--port", str(port)]
        self.proc = subprocess.Popen(argv + (["--state", json.dumps(state)] if state else []),
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        ready, _, _ = select.select([self.proc.stdout], [], [], 30)
        line = self.proc.stdout.readline() if ready else ""
        if not line.startswith("listening"):
            self.stop()
            raise RuntimeError("the forum server did not start on port %d" % port)
        self.base = line.split()[-1]  # the port the system chose, given 0

    def control(self, **changes):
        """Applies `changes`, if any; returns the state and the request log."""
        data = json.dumps(changes).encode() if changes else None
        with urllib.request.urlopen(self.base + "control", data, timeout=30) as answer:
            return json.load(answer)

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()

