"""Windows programs run from Python under the shared Wine set-up (tools/wine-run): the story, the
soak and the startup test call them through here, and wait for conditions the same way.

    wine(program, *args, timeout=60, env=None) -> Ran    one run to its end
    inspect(inspector, *args) -> dict                    the inspector's JSON, a hiccup retried
    wait_for(read, done, timeout, what) -> value         polls read() until done(value)
"""
import json
import os
import subprocess
import sys
import tempfile
import time
from typing import NamedTuple, Optional

TOOLS = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(TOOLS, "wine-run")
# For a program whose sound must not reach the session's recording (another copy of the watcher
# beside the one a test counts the chimes of): no device at all.
SILENT = dict(os.environ, ALSA_CONFIG_PATH=os.path.join(os.path.dirname(TOOLS),
                                                        "tests/media/asound-none.conf"))
# Runs of the inspector that print nothing, counted over a whole story: one start of Wine in a
# few hundred goes wrong without any fault of the program it runs.
INSPECT_TRIES = 3


class Ran(NamedTuple):
    out: str
    code: Optional[int]  # None: killed at the time-out
    err: str

    def __str__(self):
        code = "no end within the time-out" if self.code is None else "exit code %d" % self.code
        return "%s, output %.300r, errors %.500r" % (code, self.out, self.err.strip())


def wine(*argv, timeout=60, env=None):
    """Runs a Windows program to its end. Output and errors go through files, since a Wine
    helper process it starts could hold a pipe open long after it ends."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            code = subprocess.run([WINE_RUN, *map(str, argv)], stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=timeout, env=env).returncode
        except subprocess.TimeoutExpired:
            code = None
        out.seek(0)
        err.seek(0)
        return Ran(out.read().decode("utf-8", "replace"), code,
                   err.read().decode("utf-8", "replace"))


def inspect(inspector, *argv):
    """The JSON object the inspector prints. A run that printed nothing never reached the
    window (Wine failed to start it, or it died on the way); it is tried again, and said so on
    stderr. Whatever the inspector did print counts, a window that did not answer included: it
    reports that in its JSON."""
    runs = []
    for attempt in range(INSPECT_TRIES):
        if attempt:
            print("inspector %s printed nothing (%s); once more" % (" ".join(map(str, argv)),
                                                                    runs[-1]),
                  file=sys.stderr, flush=True)
        ran = wine(inspector, *argv)
        if ran.out.strip():
            try:
                return json.loads(ran.out)
            except ValueError:
                raise AssertionError("the inspector printed no JSON: %s" % ran) from None
        runs.append(ran)
    raise AssertionError("the inspector printed nothing in %d runs: %s"
                         % (len(runs), "; ".join(map(str, runs))))


def wait_for(read, done, timeout, what):
    """read() every fifth of a second until done(value) holds; returns that value. Fails after
    `timeout` seconds, naming `what` and the last value."""
    deadline = time.time() + timeout
    while not done(value := read()):
        if time.time() > deadline:
            raise AssertionError("%.0f s without %s; last: %.500r" % (timeout, what, value))
        time.sleep(0.2)
    return value
