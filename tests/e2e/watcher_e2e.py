#!/usr/bin/env python3
"""End-to-end tests of the real watcher: forumwatch under Wine, the local forum server, and the
inspector program reading the window from outside.

The watcher polls every five seconds and its site root is compiled in (a fixed test port), so each
class starts one watcher and walks it through a story, one step per test, in order. A step
changes the forum, waits for the first poll that saw the change, and reads the window.

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

ARGS = None
ENV = None
SESSION = None

POLL_SECONDS = 5
TITLE_STAMP = "Обновлено в : "
TOTAL_PREFIX = "Всего сообщений:     "
NEW_PREFIX = "Новых:    "
LABEL4_START = "Новых:   нет"
LABEL4_ACKED = "Новых:    нет"
LABEL3_START = "Всего сообщений:"

DEFAULT_USERS = [
    {"name": "admin", "id": 2, "kind": "admin"},
    {"name": "Сергей", "id": 57, "kind": "normal"},
    {"name": "mike_k", "id": 118, "kind": "normal"},
]
DEFAULT_ROWS = [" admin", " Сергей", " mike_k", ""]


def wait_for(condition, timeout, what, interval=0.2):
    """Polls `condition` until it returns something true; fails the test after `timeout` s."""
    deadline = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() >= deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pe_is_32bit(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = int.from_bytes(data[60:64], "little")
    return data[offset + 4:offset + 6] == b"\x4c\x01"


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
        with open(os.path.join(root, "tests", "e2e", "asound-record.conf.in")) as f:
            template = f.read()
        with open(alsa_config, "w") as f:
            f.write(template.replace("@RECORD_FILE@", self.record_path))
        # Wine would try PulseAudio before ALSA; the sound must reach the recording device.
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LANG="ru_RU.UTF-8",
                        LC_ALL="ru_RU.UTF-8", ALSA_CONFIG_PATH=alsa_config,
                        WINEDLLOVERRIDES="mscoree,mshtml=;winepulse.drv=d")
        self.root = root
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
            number = f.readline().strip()
        self.env["DISPLAY"] = ":" + number

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

    def reg_add(self, key, value_args):
        code, _ = self.run_wine(["reg", "add", key] + value_args + ["/f"])
        if code != 0:
            raise RuntimeError("reg add %s failed" % key)

    def close(self):
        subprocess.run([self.wineserver, "-k"], env=self.env, timeout=30)
        shutil.rmtree(self.work, ignore_errors=True)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)


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
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(timeout=10)
        self.proc.stdout.close()


class WatcherCase(unittest.TestCase):
    """Shared plumbing; each subclass runs one watcher from setUpClass to tearDownClass."""

    forum = None
    watcher = None
    record_file = None

    @classmethod
    def start_watcher(cls, forum_state=None, server_running=True):
        for page in glob.glob(os.path.join(ARGS.prefix, "drive_c", "users", "*", "**",
                                           "Temp.htm"), recursive=True):
            os.remove(page)
        cls.forum = Forum(ARGS.server, ARGS.port, forum_state) if server_running else None
        cls.record_file = tempfile.NamedTemporaryFile(prefix="e2e-opened-", delete=False).name
        env = dict(SESSION.env, E2E_RECORD_FILE=windows_path(cls.record_file))
        # A new watcher opens the sound device anew, and ALSA starts the recording over.
        if os.path.exists(SESSION.record_path):
            os.remove(SESSION.record_path)
        cls.sound = Recording(SESSION.record_path)
        cls.watcher = SESSION.start(ARGS.watcher, env)
        cls.hwnd = None

    @classmethod
    def stop_watcher(cls):
        if cls.watcher and cls.watcher.poll() is None:
            SESSION.run_wine([ARGS.inspect, "close"])
            try:
                cls.watcher.wait(timeout=15)
            except subprocess.TimeoutExpired:
                cls.watcher.kill()
                cls.watcher.wait(timeout=10)
        if cls.forum:
            cls.forum.stop()
            cls.forum = None
        if cls.record_file and os.path.exists(cls.record_file):
            os.remove(cls.record_file)

    # --- reading the window ---

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
        if not state.get("found") or state.get("rows") is None:
            return None
        if any(v is None for v in state["labels"].values()):
            return None
        return state

    def icon_colour(self, state):
        """'red' or 'blue': the window's small icon as Wine hands it to X (_NET_WM_ICON), since
        another process's icon handle cannot be looked into under Wine."""
        out = subprocess.run(["xprop", "-id", str(state["x11"]), "-notype", "-f", "_NET_WM_ICON",
                              "32c", "$0+\\n", "_NET_WM_ICON"], env=SESSION.env,
                             capture_output=True, text=True, timeout=10).stdout
        numbers = [int(v) for v in out.split("_NET_WM_ICON", 1)[-1].replace(",", " ").split()
                   if v.isdigit()]
        i = 0
        while i + 2 <= len(numbers):
            width, height = numbers[i], numbers[i + 1]
            pixels = numbers[i + 2:i + 2 + width * height]
            if width == 16 and height == 16 and len(pixels) == 256:
                red = sum((p >> 16) & 0xFF for p in pixels if p >> 24 > 128)
                blue = sum(p & 0xFF for p in pixels if p >> 24 > 128)
                return "red" if red > 2 * blue else "blue" if blue > 2 * red else "mixed"
            i += 2 + width * height
        return None

    def assert_icon(self, want):
        self.assertEqual(wait_for(lambda: self.icon_colour(self.state()) == want and want, 5,
                                  "the %s icon" % want), want)

    # --- driving the forum and waiting for the poll that saw it ---

    def poll_with(self, **changes):
        """Applies `changes` to the forum, waits until a poll that began after them has stamped
        label 1, and returns the window's state."""
        first = self.forum.control(changes)["index_requests"]
        request = wait_for(lambda: self.finished_request(first), 2 * POLL_SECONDS + 30,
                           "a poll after %s" % changes)
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

        return wait_for(stamped, 10, "label 1 stamped by the poll after %s" % changes)

    def finished_request(self, index):
        requests = self.forum.control()["requests"]
        return requests[index] if len(requests) > index and requests[index]["end"] else None

    def polls_after(self, changes, count):
        """Applies `changes` and waits until `count` polls that began after them have ended
        completely; a poll has ended once the next one has begun, since polls never overlap."""
        first = self.forum.control(changes)["index_requests"]
        wait_for(lambda: len(self.forum.control()["requests"]) > first + count,
                 (count + 2) * POLL_SECONDS + 30, "%d polls after %s" % (count, changes))
        return self.state()

    def expect_sounds(self, count):
        """The chime is played at the main thread's next event after the alert, at the latest
        with the next timer event, and takes seconds to reach the recording."""
        try:
            wait_for(lambda: self.sound.count() == count, 2 * POLL_SECONDS + 5, "the chimes")
        except AssertionError:
            raise AssertionError("heard %d chimes in all, expected %d" % (self.sound.onsets, count))

    def forum_down_for_polls(self, polls):
        """Refuses connections for `polls` poll periods, then serves again. A refused connection
        leaves no trace to wait for, so this is the one wait by the clock. (A connection the
        server drops without answering would be countable, but Wine's download reports it as
        an empty page, not as a failure.)"""
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
            code, _ = SESSION.run_wine([ARGS.inspect, "tray", action])
            self.assertEqual(code, 0, "tray " + action)

    def opened(self):
        with open(self.record_file, encoding="utf-8", errors="replace") as f:
            return [line.strip() for line in f if line.strip()]

    def label4_becomes(self, text):
        return wait_for(lambda: (lambda s: s if s["labels"]["4"] == text else None)(self.state()),
                        10, "label 4 to read %r" % text)


class A_FirstStart(WatcherCase):
    """A fresh watcher on a healthy forum, then the forum changing under it."""

    @classmethod
    def setUpClass(cls):
        cls.start_watcher()

    @classmethod
    def tearDownClass(cls):
        cls.stop_watcher()

    def test_01_first_poll_shows_the_forum_without_alert(self):
        self.ready_state()
        state = self.poll_with()
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "12345")
        self.assertEqual(state["labels"]["4"], LABEL4_START)
        self.assertEqual(state["rows"], DEFAULT_ROWS)  # the empty last row is the scanner's rule
        self.assertEqual(state["client"], [200, 300])
        self.assertTrue(state["topmost"])
        self.assertTrue(state["tray"], "tray icon 7 is registered")
        self.assertEqual(self.icon_colour(state), "red")

    def test_02_same_page_again_changes_nothing(self):
        state = self.poll_with()
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "12345")
        self.assertEqual(state["labels"]["4"], LABEL4_START)
        self.assertEqual(state["rows"], DEFAULT_ROWS)
        self.assertEqual(self.icon_colour(state), "red")
        self.assertEqual(self.sound.count(), 0, "no chime without a change")

    def test_03_each_change_of_the_total_counts_until_acknowledged(self):
        state = self.poll_with(total="12346")
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "12346")
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + "1")
        self.assertEqual(self.icon_colour(state), "blue")
        state = self.poll_with(total="12350")
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + "2")
        self.assertEqual(self.icon_colour(state), "blue")
        self.assertEqual(state["rows"], DEFAULT_ROWS)
        self.expect_sounds(2)

    def test_04_right_press_acknowledges_without_opening(self):
        self.tray("move", "rdown", "rup")
        state = self.label4_becomes(LABEL4_ACKED)
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "12350")
        self.assert_icon("red")
        # The next change counts from 1 again.
        state = self.poll_with(total="12351")
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + "1")
        self.assertEqual(self.opened(), [])

    def test_05_left_double_click_opens_home_once_and_acknowledges(self):
        self.tray("down", "up")  # the first press of a double-click does nothing
        self.assertEqual(self.state()["labels"]["4"], NEW_PREFIX + "1")
        self.tray("dblclk", "up")
        self.label4_becomes(LABEL4_ACKED)
        self.assert_icon("red")
        opened = wait_for(self.opened, 15, "the home page to be opened")
        home = "http://127.0.0.1:%d/" % ARGS.port
        self.assertEqual(len(opened), 1, opened)
        self.assertIn(home, opened[0])
        self.assertNotIn("phpBB2", opened[0])

    def test_06_right_double_click_acknowledges_once(self):
        self.poll_with(total="12352")
        self.tray("rdown", "rup", "rdblclk", "rup")
        self.label4_becomes(LABEL4_ACKED)
        self.assertEqual(len(self.opened()), 1, "nothing more was opened")

    def test_07_users_coming_and_going_refill_the_list(self):
        state = self.poll_with(users=DEFAULT_USERS[:2])
        self.assertEqual(state["rows"], [" admin", " Сергей", ""])
        users = [DEFAULT_USERS[0], {"name": "Наталья", "id": 77, "kind": "hidden"},
                 {"name": "Ann & Bob", "id": 9, "kind": "normal"}]
        state = self.poll_with(users=users)
        # Each tag's ">" is one more pass: the hidden user's <i> and </i> add two empty rows,
        # and names keep their entities; the page's text is shown as it comes.
        self.assertEqual(state["rows"], [" admin", " <i>Наталья</i>", " Ann &amp; Bob", "", "",
                                         ""])
        state = self.poll_with(users=[])
        self.assertEqual(state["rows"], [" Нет"])
        self.assertEqual(state["labels"]["4"], LABEL4_ACKED, "users alone raise no alert")
        self.expect_sounds(4)

    def test_08_a_total_that_becomes_empty_alerts_once_then_stays_quiet(self):
        state = self.poll_with(users=DEFAULT_USERS, total_bold=False)
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX)
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + "1")
        self.assertEqual(self.icon_colour(state), "blue")
        # The empty total is what the next poll compares with, and an empty last total never
        # alerts.
        state = self.poll_with(total_bold=True, total="20000")
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "20000")
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + "1")
        self.tray("rdown")
        self.label4_becomes(LABEL4_ACKED)

    def test_09_users_line_before_total_line_hides_the_total(self):
        state = self.poll_with(users_first=True, total="20005")
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "20000")
        self.assertEqual(state["labels"]["4"], LABEL4_ACKED)
        self.assertEqual(state["rows"], DEFAULT_ROWS)
        # Back in order, the total the watcher never saw is a change.
        state = self.poll_with(users_first=False)
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "20005")
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + "1")
        self.tray("rdown")
        self.label4_becomes(LABEL4_ACKED)

    def test_10_error_pages_are_scanned_like_any_page(self):
        # A 404 arrives as a page: no total and no users line in it, so the list empties and
        # the labels stay; a 500 carrying the forum's own page is read as the page.
        state = self.poll_with(status=404, body="notfound")
        self.assertEqual(state["rows"], [])
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "20005")
        self.assertEqual(state["labels"]["4"], LABEL4_ACKED)
        state = self.poll_with(status=500, body="page", total="20006")
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "20006")
        self.assertEqual(state["rows"], DEFAULT_ROWS)
        self.tray("rdown")
        self.label4_becomes(LABEL4_ACKED)

    def test_11_garbage_pages_leave_the_watcher_working(self):
        for body in ("garbage", "empty"):
            state = self.poll_with(status=200, body=body)
            self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "20006", body)
            self.assertEqual(state["labels"]["4"], LABEL4_ACKED, body)
        state = self.poll_with(body="page")
        self.assertEqual(state["rows"], DEFAULT_ROWS)
        self.expect_sounds(7)

    def test_12_failed_download_changes_nothing_not_even_the_stamp(self):
        before = self.poll_with()
        self.forum_down_for_polls(2)
        after = self.state()
        self.assertEqual(after["labels"], before["labels"])
        self.assertEqual(after["rows"], before["rows"])
        self.assertEqual(self.icon_colour(after), "red")
        state = self.poll_with(total="20010")
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + "1")
        self.expect_sounds(8)

    def test_13_slow_server_never_sees_two_polls_at_once(self):
        self.forum.control({"delay": 7, "clear_log": True})
        wait_for(lambda: self.forum.control()["in_flight"] == 1, 2 * POLL_SECONDS + 5,
                 "a slow download to begin")
        answer = json.loads(SESSION.run_wine([ARGS.inspect, "ping"])[1])
        self.assertTrue(answer["answered"])
        self.assertLess(answer["ms"], 1000, "the window answers while a poll downloads")
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
        wait_for(lambda: self.forum.control()["in_flight"] == 1, 3 * POLL_SECONDS + 10,
                 "a download to hang")
        hwnd = self.hwnd
        code, _ = SESSION.run_wine([ARGS.inspect, "close"])
        self.assertEqual(code, 0)
        self.assertEqual(type(self).watcher.wait(timeout=10), 0, "exit code")
        _, out = SESSION.run_wine([ARGS.inspect, "trayicon", str(hwnd)])
        self.assertFalse(json.loads(out)["tray"], "the tray icon is gone")
        self.assertFalse(self.state()["found"])


class B_ForumDown(WatcherCase):
    """A watcher that starts while the forum refuses connections and no earlier page exists."""

    @classmethod
    def setUpClass(cls):
        cls.start_watcher(server_running=False)

    @classmethod
    def tearDownClass(cls):
        cls.stop_watcher()

    def test_1_nothing_is_shown_until_a_download_succeeds(self):
        self.ready_state()
        self.forum_down_for_polls(2)
        state = self.state()
        self.assertEqual(state["labels"], {"1": "", "3": LABEL3_START, "4": LABEL4_START})
        self.assertEqual(state["rows"], [])
        self.assertEqual(self.icon_colour(state), "red")

    def test_2_the_first_good_download_is_a_first_poll(self):
        type(self).forum = Forum(ARGS.server, ARGS.port)
        state = self.poll_with()
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + "12345")
        self.assertEqual(state["labels"]["4"], LABEL4_START)
        self.assertEqual(state["rows"], DEFAULT_ROWS)


def main():
    global ARGS, SESSION
    parser = argparse.ArgumentParser()
    for name in ("watcher", "inspect", "recorder", "server", "prefix"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--port", type=int, required=True)
    ARGS, rest = parser.parse_known_args()
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    SESSION = WineSession(os.path.abspath(ARGS.prefix), root)
    try:
        # The recorder stands in for the browser. Windows looks in HKCU's classes first; Wine's
        # ShellExecuteEx reads only the machine-wide ones, so both are set.
        for key in (r"HKCU\Software\Classes\http\shell\open\command",
                    r"HKLM\Software\Classes\http\shell\open\command"):
            SESSION.reg_add(key, ["/ve", "/d", '"%s" "%%1"' % windows_path(ARGS.recorder)])
        program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        SESSION.close()


if __name__ == "__main__":
    sys.exit(main())
