#!/usr/bin/env python3
# How the watcher starts: a forum named on the command line, the arguments it refuses and a
# temporary folder it cannot use, each said in a message box read from outside by the inspector.
# Runs in a Wine session (tools/test-session), as ctest starts it (CMakeLists.txt).
import glob
import os
import subprocess
import sys
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import facts  # noqa: E402
from forum.client import Forum  # noqa: E402
from winecalls import SILENT, WINE_RUN, inspect, wait_for, wine  # noqa: E402

PAGE = facts.load()["PageFileName"]
WM_CLOSE, WM_COMMAND, IDOK = 0x10, 0x111, 1


def start(*argv):
    return subprocess.Popen([WINE_RUN, *argv], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=SILENT)


def foreground():
    return inspect(INSPECT, "state")["foreground"]


def pages_since(when):  # page files written since `when`, wherever they landed
    found = glob.glob(os.environ["WINEPREFIX"] + "/drive_c/**/" + PAGE, recursive=True)
    return [p for p in found + glob.glob(PAGE) if os.path.getmtime(p) >= when]


class StartUp(unittest.TestCase):
    # Runs `argv` (the watcher, or what starts it) and waits for its message box; returns the
    # box's texts and the exit code once it has been answered.
    def box(self, *argv):
        began = time.time()
        process = start(*argv)
        self.addCleanup(process.kill)  # should no box come
        box = wait_for(lambda: inspect(INSPECT, "boxes"), len, 60, "a box for %r" % (argv,))[0]
        inspect(INSPECT, "post", WM_COMMAND, IDOK, 0, box["hwnd"])
        code = process.wait(timeout=30)
        self.assertEqual(pages_since(began), [], argv)
        return " ".join(box["texts"]), code

    def test_refused_arguments_say_how_to_call_it(self):
        usage, code = self.box(WATCHER, "ftp://127.0.0.1/")
        self.assertIn("forumwatch.exe", usage)
        self.assertEqual(code, 2)
        # What reaches the watcher as its arguments; the address's own rules are the unit test's.
        for argv in (['http://a"b/'], ["http://a.org/", "http://b.org/"],
                     ["http://a.org/" + "x" * 2000]):
            self.assertEqual(self.box(WATCHER, *argv), (usage, 2), argv)
        # Greek becomes "?" in the ANSI code page: only a command line read in UTF-16 can tell
        # the host's letters from a refused byte.
        text, code = self.box(WATCHER, "http://παράδειγμα.δοκιμή/")
        self.assertEqual(code, 2)
        self.assertIn("xn--", text)

    def test_a_temporary_folder_that_is_missing_is_named(self):
        # Wine sets TMP and TEMP from its registry, over what the process was given: through
        # the command interpreter they reach the watcher.
        folder = "C:\\forumwatch-missing-%d" % os.getpid()
        text, code = self.box("cmd", "/c", "set TMP=%s&& set TEMP=%s&& Z:%s" % (
            folder, folder, os.path.abspath(WATCHER).replace("/", "\\")))
        self.assertIn(folder, text)
        self.assertEqual(code, 1)

    def test_the_forum_named_on_the_command_line_is_watched(self):
        mine, other = Forum(0), Forum(0)
        self.addCleanup(mine.stop)
        self.addCleanup(other.stop)
        first = start(WATCHER, mine.base.rstrip("/"))
        wait_for(lambda: mine.control()["index_requests"], bool, 60, "a poll of " + mine.base)
        hwnd = wait_for(lambda: inspect(INSPECT, "windows"), len, 30, "the window")[0]["hwnd"]
        beside = start(WATCHER, other.base)
        wait_for(lambda: other.control()["index_requests"], bool, 60, "a poll of " + other.base)
        windows = wait_for(lambda: inspect(INSPECT, "windows"), lambda w: len(w) == 2, 30, "both")
        wait_for(foreground, lambda f: f != hwnd, 15, "the other window in front")
        # The same forum spelt another way: the first window comes forward, and no other opens.
        self.assertEqual(wine(WATCHER, mine.base.upper().rstrip("/"), env=SILENT).code, 0)
        self.assertCountEqual(inspect(INSPECT, "windows"), windows)  # in a new z-order
        self.assertEqual(foreground(), hwnd)
        for w in windows:
            inspect(INSPECT, "post", WM_CLOSE, 0, 0, w["hwnd"])
        self.assertEqual([first.wait(timeout=30), beside.wait(timeout=30)], [0, 0])


if __name__ == "__main__":
    # watcher.exe inspector.exe [unittest's arguments]
    WATCHER, INSPECT = sys.argv[1:3]
    sys.exit(not unittest.main(argv=sys.argv[:1] + sys.argv[3:], exit=False,
                               verbosity=2).result.wasSuccessful())
