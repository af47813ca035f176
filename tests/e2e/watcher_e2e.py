#!/usr/bin/env python3
"""End-to-end tests of the real watcher: forumwatch under Wine, the local forum server, and the
inspector program reading the window from outside. The watcher polls every five seconds and its
site root is compiled in (a fixed test port), so each class walks one watcher through a story,
one step per test, in order: change the forum, wait for the poll that saw it, read the window.
Run by ctest (see CMakeLists.txt); by hand:
  python3 watcher_e2e.py --watcher W.exe --inspect I.exe --recorder R.exe \
      --server tools/forum_server.py --port 8612 --prefix build/wineprefix-e2e [-v] [unittest args]
"""
import argparse
import array
import glob
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from forum_server import DEFAULT_USERS  # noqa: E402  (the forum's users until a test sets them)

ARGS = None
SESSION = None

POLL_SECONDS = 5
TITLE_STAMP = "Обновлено в : "
TOTAL_PREFIX = "Всего сообщений:     "
NEW_PREFIX = "Новых:    "
LABEL4_START = "Новых:   нет"
LABEL4_ACKED = "Новых:    нет"
LABEL3_START = "Всего сообщений:"
DEFAULT_ROWS = [" admin", " Сергей", " mike_k", ""]  # the empty last row is the scanner's rule


def wait_for(condition, timeout, what, interval=0.2):
    """Polls `condition` until it returns something true; fails the test after `timeout` s,
    naming `what` (or what it returns, if it is a function)."""
    deadline = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() >= deadline:
            raise AssertionError("timed out after %.0f s waiting for %s"
                                 % (timeout, what() if callable(what) else what))
        time.sleep(interval)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pe_is_32bit(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = int.from_bytes(data[60:64], "little")
    return data[offset + 4:offset + 6] == b"\x4c\x01"


def end(proc, timeout):
    """Waits up to `timeout` s for `proc` to end by itself, then kills it."""
    try:
        proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=10)


class Recording:
    """The sound the watcher played, as ALSA wrote it (16-bit mono WAV, see asound-record.conf.in),
    read as it grows. Counts onsets: a stretch of quiet followed by a loud stretch. The alert
    chime is about 2.4 s and polls are 5 s apart, so each chime is one onset; the tones of the
    users line go through Beep, which Wine does not play."""

    HEADER = 44
    WINDOW = 800      # 50 ms at 16 kHz
    LOUD = 3000       # a tenth of full scale; the chime peaks far above, silence is 0

    def __init__(self, path):
        self.path = path
        self.offset = self.HEADER
        self.pending = b""
        self.loud = False
        self.onsets = 0

    def count(self):
        if not os.path.exists(self.path):
            return self.onsets
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            data = f.read()
        self.offset += len(data)
        data = self.pending + data
        usable = len(data) // (2 * self.WINDOW) * (2 * self.WINDOW)
        self.pending = data[usable:]
        samples = array.array("h")
        samples.frombytes(data[:usable])
        for i in range(0, len(samples), self.WINDOW):
            window = samples[i:i + self.WINDOW]
            loud = max(max(window), -min(window)) > self.LOUD
            self.onsets += loud and not self.loud
            self.loud = loud
        return self.onsets


class WineSession:
    """One Wine prefix, wineserver and X display for the whole run, all ended at the close."""

    def __init__(self, prefix, root):
        self.xvfb = None
        self.work = tempfile.mkdtemp(prefix="e2e-watcher-")
        self.record_path = os.path.join(self.work, "sound.wav")
        alsa_config = os.path.join(self.work, "asound.conf")
        with open(os.path.join(root, "tests", "e2e", "asound-record.conf.in")) as f, \
                open(alsa_config, "w") as out:
            out.write(f.read().replace("@RECORD_FILE@", self.record_path))
        # Wine would try PulseAudio before ALSA; the sound must reach the recording device.
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LANG="ru_RU.UTF-8",
                        LC_ALL="ru_RU.UTF-8", ALSA_CONFIG_PATH=alsa_config,
                        WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d")
        subprocess.run([os.path.join(root, "tools", "wine-prefix")], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, timeout=300)
        if not self.env.get("DISPLAY"):
            self.start_xvfb()
        self.wineserver = "/usr/lib/wine/wineserver"
        subprocess.run([self.wineserver, "-p", "120"], env=self.env, timeout=30)
        # The first Wine process starts the desktop and the tray host, which keep whatever output
        # handles they were given: give them none.
        self.run_wine(["rundll32", "user32.dll,GetDesktopWindow"], timeout=60)

    def start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.env["DISPLAY"] = ":" + f.readline().strip()

    def loader(self, exe):
        return "/usr/lib/wine/wine" if exe.endswith(".exe") and os.path.exists(exe) and \
            pe_is_32bit(exe) else "/usr/lib/wine/wine64"

    def run_wine(self, argv, timeout=30, env=None):
        """Runs a Windows program to its end; its output goes through a file, not a pipe, since a
        Wine helper process it starts could hold a pipe open long after it ends."""
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([self.loader(argv[0])] + argv, env=env or self.env,
                                    stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return result.returncode, out.read().decode("utf-8", "replace")

    def start(self, exe, env=None):
        return subprocess.Popen([self.loader(exe), exe], env=env or self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def close(self):
        subprocess.run([self.wineserver, "-k"], env=self.env, timeout=30)
        shutil.rmtree(self.work, ignore_errors=True)
        if self.xvfb:
            self.xvfb.terminate()
            end(self.xvfb, 10)


class Forum:
    """The local forum server on the watcher's fixed port."""

    def __init__(self, script, port, state=None):
        argv = [sys.executable, script, "--port", str(port)]
        if state:
            argv += ["--state", json.dumps(state)]
        self.base = "http://127.0.0.1:%d/" % port
        self.proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True)
        ready, _, _ = select.select([self.proc.stdout], [], [], 20)
        line = self.proc.stdout.readline() if ready else ""
        if not line.startswith("listening on"):
            self.stop()
            raise RuntimeError("forum server did not start: " + line)

    def control(self, changes=None):
        data = json.dumps(changes).encode() if changes is not None else None
        request = urllib.request.Request(self.base + "control", data=data,
                                         method="POST" if data else "GET")
        with urllib.request.urlopen(request, timeout=10) as answer:
            return json.load(answer)

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        end(self.proc, 10)
        self.proc.stdout.close()


class WatcherCase(unittest.TestCase):
    """Shared plumbing; each subclass runs one watcher from setUpClass to tearDownClass."""

    forum = watcher = record_file = None
    forum_state = None      # the forum's settings when the watcher starts
    server_running = True   # False: the watcher starts while connections are refused

    @classmethod
    def setUpClass(cls):
        for page in glob.glob(os.path.join(ARGS.prefix, "drive_c", "users", "*", "**",
                                           "Temp.htm"), recursive=True):
            os.remove(page)
        cls.forum = (Forum(ARGS.server, ARGS.port, cls.forum_state) if cls.server_running
                     else None)
        cls.record_file = tempfile.NamedTemporaryFile(prefix="e2e-opened-", delete=False).name
        env = dict(SESSION.env, E2E_RECORD_FILE=windows_path(cls.record_file))
        # A new watcher opens the sound device anew, and ALSA starts the recording over.
        if os.path.exists(SESSION.record_path):
            os.remove(SESSION.record_path)
        cls.sound = Recording(SESSION.record_path)
        cls.watcher = SESSION.start(ARGS.watcher, env)
        cls.hwnd = None

    @classmethod
    def tearDownClass(cls):
        if cls.watcher and cls.watcher.poll() is None:
            SESSION.run_wine([ARGS.inspect, "close"])
            end(cls.watcher, 15)
        if cls.forum:
            cls.forum.stop()
            cls.forum = None
        if cls.record_file and os.path.exists(cls.record_file):
            os.remove(cls.record_file)

    def state(self, wait_ms=0):
        code, out = SESSION.run_wine([ARGS.inspect, "state", str(wait_ms)],
                                     timeout=30 + wait_ms / 1000)
        try:
            state = json.loads(out)
        except ValueError:
            raise AssertionError("inspector printed no JSON (exit %d): %r" % (code, out))
        if state.get("found"):
            type(self).hwnd = state["hwnd"]
        return state

    def ready_state(self):
        """The window once it exists and its controls answer."""
        return wait_for(lambda: self.complete(self.state(1000)), 30, "the watcher's window")

    @staticmethod
    def complete(state):
        whole = state.get("found") and state.get("rows") is not None and \
            None not in state["labels"].values()
        return state if whole else None

    def icon_colour(self, state):
        """'red' or 'blue': the window's small icon as Wine hands it to X (_NET_WM_ICON), since
        another process's icon handle cannot be looked into under Wine."""
        out = subprocess.run(["xprop", "-id", str(state["x11"]), "-notype", "-f", "_NET_WM_ICON",
                              "32c", "$0+\\n", "_NET_WM_ICON"], env=SESSION.env,
                             capture_output=True, text=True, timeout=10).stdout
        numbers = [int(v) for v in out.split("_NET_WM_ICON", 1)[-1].replace(",", " ").split()
                   if v.isdigit()]
        while len(numbers) >= 2:  # width, height and pixels, for each size in turn
            width, height = numbers[:2]
            pixels, numbers = numbers[2:2 + width * height], numbers[2 + width * height:]
            if (width, height) == (16, 16) and len(pixels) == 256:
                opaque = [p for p in pixels if p >> 24 > 128]
                red, blue = sum((p >> 16) & 0xFF for p in opaque), sum(p & 0xFF for p in opaque)
                return "red" if red > 2 * blue else "blue" if blue > 2 * red else "mixed"
        return None

    def assert_icon(self, want):
        wait_for(lambda: self.icon_colour(self.state()) == want, 5, "the %s icon" % want)

    def shows(self, state, total=None, new=None, rows=None, icon=None):
        """Asserts what is given: label 3's total, label 4 (a count of changes, or its whole
        text), the list's rows, the icon's colour. Returns `state`."""
        if total is not None:
            self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + str(total))
        if new is not None:
            self.assertEqual(state["labels"]["4"],
                             new if isinstance(new, str) else NEW_PREFIX + str(new))
        if rows is not None:
            self.assertEqual(state["rows"], rows)
        if icon is not None:
            self.assertEqual(self.icon_colour(state), icon)
        return state

    def assert_answers(self, limit_ms=1000):
        """The watcher still runs and its window answers a sent message within `limit_ms`."""
        self.assertIsNone(type(self).watcher.poll(), "the watcher is still running")
        answer = json.loads(SESSION.run_wine([ARGS.inspect, "ping"])[1])
        self.assertTrue(answer["answered"], answer)
        self.assertLess(answer["ms"], limit_ms, "the window answers while a download runs")

    def poll_with(self, **changes):
        """Applies `changes` to the forum, waits until a poll that began after them has stamped
        label 1, and returns the window's state."""
        first = self.forum.control(changes)["index_requests"]
        what = "the poll after %.200s" % (changes,)  # a long users list would flood it

        def finished():
            requests = self.forum.control()["requests"]
            return requests[first] if len(requests) > first and requests[first]["end"] else None
        request = wait_for(finished, 2 * POLL_SECONDS + 30, what)
        ended = time.localtime(int(request["end"]))

        def stamped():
            state = self.state()
            label = (state.get("labels") or {}).get("1") or ""
            if not label.startswith(TITLE_STAMP):
                return None
            h, m, s = (int(v) for v in label[len(TITLE_STAMP):].split(":"))
            later = (h * 3600 + m * 60 + s - (ended.tm_hour * 3600 + ended.tm_min * 60 +
                                              ended.tm_sec)) % 86400
            return state if later < 3600 and self.complete(state) else None

        return wait_for(stamped, 10, "label 1 stamped by " + what)

    def wait_in_flight(self, timeout):
        wait_for(lambda: self.forum.control()["in_flight"] == 1, timeout, "a download to begin")

    def expect_sounds(self, count):
        """The chime is played at the main thread's next event after the alert, at the latest
        with the next timer event, and takes seconds to reach the recording."""
        wait_for(lambda: self.sound.count() == count, 2 * POLL_SECONDS + 5,
                 lambda: "%d chimes in all; heard %d" % (count, self.sound.onsets))

    def forum_down_for_polls(self, polls):
        """Refuses connections for `polls` poll periods, then serves again. A refused connection
        leaves no trace to wait for, so this is the one wait by the clock (Wine's download takes
        a connection dropped unanswered, which could be counted, for an empty page)."""
        settings = None
        if self.forum:
            kept = ("total", "users", "users_first", "total_bold", "status", "body", "delay")
            settings = {k: v for k, v in self.forum.control().items() if k in kept}
            self.forum.stop()
        deadline = time.time() + polls * POLL_SECONDS + 1
        # The window keeps answering meanwhile; checking it fills the wait.
        while time.time() < deadline:
            self.assertTrue(self.complete(self.state()), "the window answers")
            time.sleep(0.5)
        if settings is not None:
            type(self).forum = Forum(ARGS.server, ARGS.port, settings)

    def tray(self, *actions):
        for action in actions:
            self.assertEqual(SESSION.run_wine([ARGS.inspect, "tray", action])[0], 0, action)

    def acknowledge(self, *actions):
        """Sends `actions` to the tray icon (a right press if none) and waits for label 4 to
        show the changes acknowledged."""
        self.tray(*(actions or ("rdown",)))

        def acked():
            state = self.state()
            return state if (state.get("labels") or {}).get("4") == LABEL4_ACKED else None
        return wait_for(acked, 10, "label 4 to read %r" % LABEL4_ACKED)

    def opened(self):
        with open(self.record_file, encoding="utf-8", errors="replace") as f:
            return [line.strip() for line in f if line.strip()]


class A_FirstStart(WatcherCase):
    """A fresh watcher on a healthy forum, then the forum changing under it."""

    def test_01_first_poll_shows_the_forum_without_alert(self):
        self.ready_state()
        state = self.shows(self.poll_with(), 12345, LABEL4_START, DEFAULT_ROWS, "red")
        self.assertEqual(state["client"], [200, 300])
        self.assertTrue(state["topmost"])
        self.assertTrue(state["tray"], "tray icon 7 is registered")

    def test_02_same_page_again_changes_nothing(self):
        self.shows(self.poll_with(), 12345, LABEL4_START, DEFAULT_ROWS, "red")
        self.assertEqual(self.sound.count(), 0, "no chime without a change")

    def test_03_each_change_of_the_total_counts_until_acknowledged(self):
        self.shows(self.poll_with(total="12346"), 12346, 1, icon="blue")
        self.shows(self.poll_with(total="12350"), new=2, rows=DEFAULT_ROWS, icon="blue")
        self.expect_sounds(2)

    def test_04_right_press_acknowledges_without_opening(self):
        self.shows(self.acknowledge("move", "rdown", "rup"), 12350)
        self.assert_icon("red")
        # The next change counts from 1 again.
        self.shows(self.poll_with(total="12351"), new=1)
        self.assertEqual(self.opened(), [])

    def test_05_left_double_click_opens_home_once_and_acknowledges(self):
        self.tray("down", "up")  # the first press of a double-click does nothing
        self.shows(self.state(), new=1)
        self.acknowledge("dblclk", "up")
        self.assert_icon("red")
        opened = wait_for(self.opened, 15, "the home page to be opened")
        self.assertEqual(len(opened), 1, opened)
        self.assertIn("http://127.0.0.1:%d/" % ARGS.port, opened[0])
        self.assertNotIn("phpBB2", opened[0])

    def test_06_right_double_click_acknowledges_once(self):
        self.poll_with(total="12352")
        self.acknowledge("rdown", "rup", "rdblclk", "rup")
        self.assertEqual(len(self.opened()), 1, "nothing more was opened")

    def test_07_users_coming_and_going_refill_the_list(self):
        self.shows(self.poll_with(users=DEFAULT_USERS[:2]), rows=[" admin", " Сергей", ""])
        users = [DEFAULT_USERS[0], {"name": "Наталья", "id": 77, "kind": "hidden"},
                 {"name": "Ann & Bob", "id": 9, "kind": "normal"}]
        # Each tag's ">" is one more pass: the hidden user's <i> and </i> add two empty rows,
        # and names keep their entities; the page's text is shown as it comes.
        self.shows(self.poll_with(users=users),
                   rows=[" admin", " <i>Наталья</i>", " Ann &amp; Bob", "", "", ""])
        # Users alone raise no alert.
        self.shows(self.poll_with(users=[]), new=LABEL4_ACKED, rows=[" Нет"])
        self.expect_sounds(4)

    def test_08_a_total_that_becomes_empty_alerts_once_then_stays_quiet(self):
        self.shows(self.poll_with(users=DEFAULT_USERS, total_bold=False), "", 1, icon="blue")
        # The empty total is what the next poll compares with, and an empty last total never
        # alerts.
        self.shows(self.poll_with(total_bold=True, total="20000"), 20000, 1)
        self.acknowledge()

    def test_09_users_line_before_total_line_hides_the_total(self):
        self.shows(self.poll_with(users_first=True, total="20005"), 20000, LABEL4_ACKED,
                   DEFAULT_ROWS)
        # Back in order, the total the watcher never saw is a change.
        self.shows(self.poll_with(users_first=False), 20005, 1)
        self.acknowledge()

    def test_10_error_pages_are_scanned_like_any_page(self):
        # A 404 arrives as a page: no total and no users line in it, so the list empties and
        # the labels stay; a 500 carrying the forum's own page is read as the page.
        self.shows(self.poll_with(status=404, body="notfound"), 20005, LABEL4_ACKED, [])
        self.shows(self.poll_with(status=500, body="page", total="20006"), 20006,
                   rows=DEFAULT_ROWS)
        self.acknowledge()

    def test_11_garbage_pages_leave_the_watcher_working(self):
        for body in ("garbage", "empty"):
            with self.subTest(body=body):
                self.shows(self.poll_with(status=200, body=body), 20006, LABEL4_ACKED)
        self.shows(self.poll_with(body="page"), rows=DEFAULT_ROWS)
        self.expect_sounds(7)

    def test_12_failed_download_changes_nothing_not_even_the_stamp(self):
        before = self.poll_with()
        self.forum_down_for_polls(2)
        after = self.shows(self.state(), icon="red")
        self.assertEqual(after["labels"], before["labels"])
        self.assertEqual(after["rows"], before["rows"])
        self.shows(self.poll_with(total="20010"), new=1)
        self.expect_sounds(8)

    def test_13_slow_server_never_sees_two_polls_at_once(self):
        self.forum.control({"delay": 7, "clear_log": True})
        self.wait_in_flight(2 * POLL_SECONDS + 5)
        self.assert_answers()
        wait_for(lambda: len([r for r in self.forum.control()["requests"] if r["end"]]) >= 3,
                 45, "three slow polls")
        log = self.forum.control()
        self.assertEqual(log["max_in_flight"], 1, log["requests"])
        ends = [r["end"] for r in log["requests"] if r["end"]]
        starts = [r["start"] for r in log["requests"]]
        for end, next_start in zip(ends, starts[1:]):
            self.assertGreaterEqual(next_start, end, "a poll began before the last one ended")

    def test_14_closing_during_a_download_exits_at_once(self):
        self.forum.control({"delay": 60})
        self.wait_in_flight(3 * POLL_SECONDS + 10)
        hwnd = self.hwnd
        self.assertEqual(SESSION.run_wine([ARGS.inspect, "close"])[0], 0)
        self.assertEqual(type(self).watcher.wait(timeout=10), 0, "exit code")
        _, out = SESSION.run_wine([ARGS.inspect, "trayicon", str(hwnd)])
        self.assertFalse(json.loads(out)["tray"], "the tray icon is gone")
        self.assertFalse(self.state()["found"])


class B_ForumDown(WatcherCase):
    """A watcher that starts while the forum refuses connections and no earlier page exists."""

    server_running = False

    def test_1_nothing_is_shown_until_a_download_succeeds(self):
        self.ready_state()
        self.forum_down_for_polls(2)
        state = self.shows(self.state(), rows=[], icon="red")
        self.assertEqual(state["labels"], {"1": "", "3": LABEL3_START, "4": LABEL4_START})

    def test_2_the_first_good_download_is_a_first_poll(self):
        type(self).forum = Forum(ARGS.server, ARGS.port)
        self.shows(self.poll_with(), 12345, LABEL4_START, DEFAULT_ROWS)


def main():
    """Runs the test classes of the script that was started: this one or one built on it."""
    global ARGS, SESSION
    parser = argparse.ArgumentParser()
    for name in ("watcher", "inspect", "recorder", "server", "prefix"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--port", type=int, required=True)
    ARGS, rest = parser.parse_known_args()
    SESSION = WineSession(os.path.abspath(ARGS.prefix), ROOT)
    try:
        # The recorder stands in for the browser. Windows looks in HKCU's classes first; Wine's
        # ShellExecuteEx reads only the machine-wide ones, so both are set.
        for hive in ("HKCU", "HKLM"):
            key = hive + r"\Software\Classes\http\shell\open\command"
            command = '"%s" "%%1"' % windows_path(ARGS.recorder)
            if SESSION.run_wine(["reg", "add", key, "/ve", "/d", command, "/f"])[0] != 0:
                raise RuntimeError("reg add %s failed" % key)
        program = unittest.main(module="__main__", argv=[sys.argv[0]] + rest, exit=False,
                                verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        SESSION.close()


if __name__ == "__main__":
    sys.exit(main())
