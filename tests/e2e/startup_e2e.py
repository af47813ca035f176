#!/usr/bin/env python3
# How the watcher starts: a forum named on the command line, the arguments it refuses and a
# temporary folder it cannot use, each said in a message box read from outside by the inspector.
# Runs in a Wine session (tools/test-session), as ctest starts it (CMakeLists.txt).
import glob
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "tools", "wine-run")
FORUM_SERVER = os.path.join(ROOT, "tools", "forum_server.py")
SILENT = dict(os.environ, ALSA_CONFIG_PATH=os.path.join(ROOT, "tests/media/asound-none.conf"))
INDEX_PATH = "/phpBB2/"
WM_CLOSE, WM_COMMAND, IDOK = 0x10, 0x111, 1


def wait_for(read, done, timeout, what):
    deadline = time.time() + timeout
    while not done(value := read()):
        if time.time() > deadline:
            raise AssertionError("%.0f s without %s; last: %.500r" % (timeout, what, value))
        time.sleep(0.2)
    return value


# Through a file, since a Wine helper process the inspector starts could hold a pipe open long
# after it ends.
def inspect(*argv):
    with tempfile.TemporaryFile() as out:
        subprocess.run([WINE_RUN, INSPECT, *map(str, argv)], stdin=subprocess.DEVNULL, stdout=out,
                       stderr=subprocess.DEVNULL, timeout=60)
        out.seek(0)
        return json.loads(out.read().decode("utf-8", "replace"))


def start(*argv):
    return subprocess.Popen([WINE_RUN, *argv], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=SILENT)


def watcher(*argv):
    return start(WATCHER, *argv)


# A forum server on a port of the system's choosing; returns it and its root.
def forum():
    server = subprocess.Popen([sys.executable, FORUM_SERVER, "--port", "0"],
                              stdout=subprocess.PIPE, text=True)
    return server, server.stdout.readline().split()[-1]


def polls(root):
    with urllib.request.urlopen(root + "control", timeout=30) as answer:
        return [r for r in json.load(answer)["requests"] if r["path"] == INDEX_PATH]


def pages_since(when):  # page files written since `when`, wherever they landed
    found = glob.glob(os.environ["WINEPREFIX"] + "/drive_c/**/Temp.htm", recursive=True)
    return [p for p in found + glob.glob("Temp.htm") if os.path.getmtime(p) >= when]


class StartUp(unittest.TestCase):
    # Starts the watcher with `argv` and waits for its message box; returns the box's texts and
    # the exit code once it has been answered.
    def box(self, *argv, run=watcher):
        began = time.time()
        process = run(*argv)
        try:
            box = wait_for(lambda: inspect("boxes"), len, 60, "a message box for %r" % (argv,))[0]
        except AssertionError:
            process.kill()
            raise
        inspect("post", WM_COMMAND, IDOK, 0, box["hwnd"])
        code = process.wait(timeout=30)
        self.assertEqual(pages_since(began), [], argv)
        return " ".join(box["texts"]), code

    def test_refused_arguments_say_how_to_call_it(self):
        usage, code = self.box("ftp://127.0.0.1/")
        self.assertIn("forumwatch.exe", usage)
        self.assertEqual(code, 2)
        for argv in (["http://"], ["http://a b/"], ['http://a"b/'], ["http://a.org/\x07"],
                     ["http://a.org/?sid=1"], ["http://a.org/", "http://b.org/"],
                     ["http://a.org/" + "x" * 2000]):
            self.assertEqual(self.box(*argv), (usage, 2), argv)
        # Greek becomes "?" in the ANSI code page: only a command line read in UTF-16 can tell
        # the host's letters from a refused byte.
        text, code = self.box("http://παράδειγμα.δοκιμή/")
        self.assertEqual(code, 2)
        self.assertNotEqual(text, usage)
        self.assertIn("xn--", text)

    def test_a_temporary_folder_that_is_missing_is_named(self):
        # Wine sets TMP and TEMP from its registry, over what the process was given: through
        # the command interpreter they reach the watcher.
        folder = "C:\\forumwatch-missing-%d" % os.getpid()
        text, code = self.box("cmd", "/c", "set TMP=%s&& set TEMP=%s&& Z:%s" % (
            folder, folder, os.path.abspath(WATCHER).replace("/", "\\")), run=start)
        self.assertIn(folder, text)
        self.assertEqual(code, 1)

    def test_the_forum_named_on_the_command_line_is_watched(self):
        (server, root), (other, other_root) = forum(), forum()
        try:
            first = watcher(root.rstrip("/"))
            wait_for(lambda: polls(root), len, 60, "a poll of " + root)
            windows = wait_for(lambda: inspect("windows"), len, 30, "the window")
            # The same forum spelt another way: the first window comes forward.
            self.assertEqual(watcher(root.upper().rstrip("/")).wait(timeout=30), 0)
            self.assertEqual(inspect("windows"), windows)
            beside = watcher(other_root)
            wait_for(lambda: polls(other_root), len, 60, "a poll of " + other_root)
            for w in wait_for(lambda: inspect("windows"), lambda w: len(w) == 2, 30, "both"):
                inspect("post", WM_CLOSE, 0, 0, w["hwnd"])
            self.assertEqual([first.wait(timeout=30), beside.wait(timeout=30)], [0, 0])
        finally:
            for s in (server, other):
                s.terminate()
                s.wait()
                s.stdout.close()


if __name__ == "__main__":
    # watcher.exe inspector.exe [unittest's arguments]
    WATCHER, INSPECT = sys.argv[1:3]
    sys.exit(not unittest.main(argv=sys.argv[:1] + sys.argv[3:], exit=False,
                               verbosity=2).result.wasSuccessful())
