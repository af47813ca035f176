#!/usr/bin/env python3
# The watcher's story end to end: one watcher under Wine (a copy built for a test port that polls
# more often), the local forum server steered step by step, and the inspector reading the window
# from outside. Each step changes the forum, waits for the poll that saw it and reads the window.
# Runs in a Wine session of its own (tools/test-session), as ctest starts it (CMakeLists.txt).
import array
import os
import pathlib
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import facts  # noqa: E402
from forum.client import Forum  # noqa: E402
from forum.pages import DEFAULT_USERS, INDEX_PATH  # noqa: E402
from winecalls import SILENT, WINE_RUN, inspect, wait_for, wine  # noqa: E402

# The window's texts as the user reads them; the runs of spaces line the numbers up.
FACTS = facts.load()
TITLE, STAMP = FACTS["TitleText"], FACTS["StampPrefix"]
TOTAL, TOTAL_START = FACTS["TotalPrefix"], FACTS["Label3Initial"]
NEW, NEW_START, NEW_ACKED = FACTS["NewPrefix"], FACTS["Label4Initial"], FACTS["Label4Acknowledged"]
PAGE = FACTS["PageFileName"]
ROWS = [" admin", " Сергей", " mike_k", ""]  # the scanner leaves an empty last row
VISIBLE, CAPTION, SYSMENU, THICKFRAME = 0x10000000, 0xC00000, 0x80000, 0x40000
MINIMIZEBOX, MAXIMIZEBOX, TABSTOP, TOPMOST, TOOLWINDOW = 0x20000, 0x10000, 0x10000, 0x8, 0x80
# The tray's message names the icon and the mouse's message.
TRAY_CALLBACK, TRAY_ICON = FACTS["TrayCallbackMsg"], FACTS["WatcherTray"]
WM_CLOSE, LB_SETCURSEL, LB_SETTOPINDEX = 0x10, 0x186, 0x197
WM_SYSCOMMAND, SC_KEYMENU, WM_CANCELMODE = 0x112, 0xF100, 0x1F
MOUSE = dict(move=0x200, down=0x201, up=0x202, dblclk=0x203, rdown=0x204, rup=0x205, rdblclk=0x206)


def index_requests(forum, first=0):  # the log's requests from `first` on, without redirect hops
    return [r for r in forum.control()["requests"][first:] if r["path"] == INDEX_PATH]


MINE = []  # the story's window, once found: later another copy's window is there too


# The inspector's state of a watcher's window (the story's without `hwnd`), read again while a
# poll refills the list.
def window(*hwnd):
    state = wait_for(lambda: inspect(INSPECT, "state", *(hwnd or MINE)),
                     lambda s: s.get("complete") or not s["found"], 30, "a whole reading")
    controls = {c["id"]: c for c in state.get("controls", [])}
    state["labels"] = {i: controls[i]["text"] for i in (1, 3, 4) if i in controls}
    state["rows"] = controls.get(2, {}).get("rows")
    return state


def shown(state):  # labels 3 and 4 and the list's rows
    return [state["labels"][3], state["labels"][4], state["rows"]]


# Whether label 1's time stamp (after its prefix) is at or after the second of `when`, by less
# than an hour.
def stamp_after(state, when):
    h, m, s = (int(v) for v in state["labels"][1].split(STAMP, 1)[1].split(":"))
    t = time.localtime(int(when))
    return (h * 3600 + m * 60 + s - t.tm_hour * 3600 - t.tm_min * 60 - t.tm_sec) % 86400 < 3600


def x11(*argv, text=True):  # an X tool's output
    return subprocess.run(argv, capture_output=True, text=text, timeout=30).stdout


def colour(red, blue):  # what pixels of these sums of red and blue look like
    return "red" if red > 2 * blue else "blue" if blue > 2 * red else "mixed"


# The window's 16x16 icon as Wine hands it to X (_NET_WM_ICON: width, height and pixels for
# each size), since another process's icon handle cannot be looked into under Wine.
def icon_colour(state):
    out = x11("xprop", "-id", str(state["x11"]), "-notype", "-f", "_NET_WM_ICON", "32c", "$0+\\n",
              "_NET_WM_ICON")
    numbers = [int(v) for v in out.split("_NET_WM_ICON", 1)[-1].replace(",", " ").split()]
    while len(numbers) >= 2 and numbers[:2] != [16, 16]:
        numbers = numbers[2 + numbers[0] * numbers[1]:]
    opaque = [p for p in numbers[2:2 + 256] if p >> 24 > 128]
    return colour(sum((p >> 16) & 0xFF for p in opaque), sum(p & 0xFF for p in opaque))


# Wine's tray is a window of its own here (no tray on the X side to dock into): its icons sit below
# its caption. The colour of what it shows there and the middle of it, or None without a tray.
def tray_icon():
    found = x11("xdotool", "search", "--onlyvisible", "--name", "Wine System Tray").split()
    if not found:
        return None
    where = dict(line.split("=") for line in x11("xdotool", "getwindowgeometry", "--shell",
                                                 found[0]).split())
    x, y, width, height = (int(where[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
    top = y + height // 2  # below the caption, whose own icon is red
    rgb = x11("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, y + height - top, x, top),
              "+repage", "-depth", "8", "rgb:-", text=False)
    coloured = [(i // 3 % width, i // 3 // width, rgb[i], rgb[i + 2]) for i in range(0, len(rgb) - 2, 3)
                if max(rgb[i:i + 3]) - min(rgb[i:i + 3]) > 80]
    if not coloured:
        return None
    xs, ys, reds, blues = zip(*coloured)
    return colour(sum(reds), sum(blues)), (x + sum(xs) // len(xs), top + sum(ys) // len(ys))


# A press of mouse button 1 (left) or 3 (right) on the tray icon, as the user makes it: Wine's
# tray hands it to the icon's owner.
def press_tray_icon(button):
    x, y = tray_icon()[1]
    x11("xdotool", "mousemove", str(x), str(y), "mousedown", str(button), "mouseup", str(button))


# Chimes in the session's sound (raw 16-bit mono at 16 kHz, appended by tools/wine-env): onsets
# of 50 ms stretches louder than a tenth of full scale. The chime is loud for its first second of
# 2.4 and chimes come a poll apart; the users line's tones go through Beep, which Wine does not
# play.
def chimes_heard():
    path = os.environ["WINE_SESSION_SOUND"]
    data = pathlib.Path(path).read_bytes() if os.path.exists(path) else b""
    samples = array.array("h", data[:len(data) // 1600 * 1600])
    loud = [max(map(abs, samples[i:i + 800])) > 3000 for i in range(0, len(samples), 800)]
    # A chime starts loud after a quarter second of quiet: under load Wine leaves short gaps
    # inside one chime.
    return sum(now and not any(loud[max(0, i - 5):i]) for i, now in enumerate(loud))


class Story(unittest.TestCase):
    # One watcher from a start while the forum refuses connections to a close during a
    # download; the steps run in order. What the window should show: the total, the count of
    # changes (0: none since the last acknowledgement) and the chimes so far.
    forum = other = other_forum = None
    total, count, chimes = 12345, 0, 0

    @classmethod
    def setUpClass(cls):
        for page in pathlib.Path(os.environ["WINEPREFIX"], "drive_c/users").rglob(PAGE):
            page.unlink()  # no earlier page
        # The recorder stands in for the browser. Windows looks in HKCU's classes first; Wine's
        # ShellExecuteEx reads only the machine-wide ones, so both are set.
        for hive in ("HKCU", "HKLM"):
            subprocess.run([WINE_RUN, "reg", "add", hive + r"\Software\Classes\http\shell\open"
                            r"\command", "/ve", "/d", '"Z:%s" "%%1"' % RECORDER, "/f"], check=True)
        cls.opened_file = tempfile.mktemp(prefix="e2e-opened-")
        pathlib.Path(cls.opened_file).touch()
        pathlib.Path(os.environ["WINE_SESSION_SOUND"]).unlink(missing_ok=True)
        cls.watcher = subprocess.Popen([WINE_RUN, WATCHER], stdin=subprocess.DEVNULL,
                                       env=dict(os.environ, RECORDER_OUT="Z:" + cls.opened_file))

    @classmethod
    def tearDownClass(cls):
        if cls.watcher.poll() is None:
            wine(INSPECT, "post", WM_CLOSE, 0, 0, *MINE)
            cls.watcher.wait(timeout=30)
        if cls.other and cls.other.poll() is None:
            cls.other.kill()
        for forum in filter(None, (cls.forum, cls.other_forum)):
            forum.stop()

    # Asserts, where given, label 3's total, label 4 (a count or its whole text), the list's
    # rows and the icon's colour.
    def shows(self, state, total=None, new=None, rows=None, icon=None):
        want = [None if total is None else TOTAL + str(total),
                NEW + str(new) if isinstance(new, int) else new, rows, icon]
        got = [state["labels"][3], state["labels"][4], state["rows"], icon and icon_colour(state)]
        self.assertEqual([g if w is not None else None for g, w in zip(got, want)], want)
        return state

    def alerts(self, state, total):  # one more change, a blue icon and a chime to come
        type(self).total, type(self).count, type(self).chimes = total, self.count + 1, self.chimes + 1
        return self.shows(state, total, self.count, icon="blue")

    def answers(self):  # the window answers a sent message within a second, list refill or not
        self.assertIsNone(self.watcher.poll(), "the watcher exited")
        self.assertIn(inspect(INSPECT, "state", *MINE)["answer_ms"], range(1000))
        return True

    # Applies `changes` to the forum and waits, the window answering meanwhile, until done()
    # holds for the index requests begun after them (redirect hops left out).
    def polls(self, done, timeout, what, **changes):
        first = self.forum.control(**changes)["index_requests"]
        return wait_for(lambda: self.answers() and index_requests(self.forum, first), done,
                        timeout, what)

    # Applies `changes` to the forum and waits for the `nth` poll begun after them to end and
    # stamp label 1, the window answering meanwhile; returns the window's state then.
    def poll(self, nth=0, **changes):
        polls = self.polls(lambda p: len(p) > nth and p[nth]["end"],
                           (nth + 2) * POLL_S + DEADLINE_S + 30, "a poll after %.200r" % changes,
                           **changes)
        return wait_for(window, lambda s: stamp_after(s, polls[nth]["end"]), 15, "the stamp")

    # Polls whose answers misbehave in `modes`, one each, change nothing, not even the stamp;
    # the next one, held until the window has been read, shows a new total. Returns the seconds
    # from each of those polls' start to the next one's.
    def fails(self, *modes, **settings):
        before = window()
        polls = self.polls(lambda p: len(p) > len(modes), len(modes) * (POLL_S + DEADLINE_S) + 30,
                           "the polls after " + ", ".join(modes), misbehave_next=[*modes, "hold"],
                           hold=True, clear_log=True, total=str(self.total + 1), **settings)
        after = window()
        self.forum.control(hold=False)
        self.assertEqual(shown(after), shown(before), modes)
        self.assertFalse(stamp_after(after, polls[0]["start"]), modes)
        self.alerts(self.poll(nth=len(modes)), self.total + 1)
        return [b["start"] - a["start"] for a, b in zip(polls, polls[1:])]

    # Refuses connections for `seconds`, the window answering meanwhile; returns when the
    # refusals began. A refused connection leaves no trace to wait for: this wait is by the clock.
    def refused_for(self, seconds):
        type(self).forum = self.forum and self.forum.stop()
        began = time.time()
        while time.time() < began + seconds:
            self.answers()
        return began

    def tray(self, *actions):
        for action in actions:
            self.assertTrue(inspect(INSPECT, "post", TRAY_CALLBACK, TRAY_ICON, MOUSE[action],
                                    *MINE)["posted"])

    # The chimes due are heard first: a tray event would play a pending chime over the last one
    # (each plays at the main thread's next event after its alert).
    def acknowledge(self, *actions, press=None):
        wait_for(chimes_heard, lambda n: n == self.chimes, 3 * POLL_S + 10, "the chimes due")
        (press or self.tray)(*actions)
        type(self).count = 0
        return wait_for(window, lambda s: s["labels"][4] == NEW_ACKED, 15, "an acknowledgement")

    # The list's top row, selected row and row count; given a top row and a selection, puts
    # them there first, as a user scrolling and clicking would.
    def place(self, state, top=None, selected=None):
        box = next(c for c in state["controls"] if c["id"] == 2)
        for message, row in ((LB_SETTOPINDEX, top), (LB_SETCURSEL, selected)) if top else ():
            self.assertIsNotNone(inspect(INSPECT, "send", message, row, 0, box["hwnd"])["result"])
        return box["top"], box["selected"], len(box["rows"])

    def opened(self):  # command lines the stand-in browser was started with
        lines = pathlib.Path(self.opened_file).read_text("utf-8").splitlines()
        return [line.split("\t")[0] for line in lines]

    def test_01_window_before_any_page(self):
        state = wait_for(window, lambda s: s["found"] and s["tray"], 60, "the window and its tray icon")
        MINE.append(state["hwnd"])
        self.assertEqual([state["title"], state["client"]], [TITLE, [200, 300]])
        (left, top, right, bottom), (width, height) = state["rect"], state["screen"]
        self.assertEqual([left, top], [(width - right + left) // 2, (height - bottom + top) // 2])
        frame = CAPTION | SYSMENU | MINIMIZEBOX | MAXIMIZEBOX | THICKFRAME | VISIBLE
        self.assertEqual(state["style"] & frame, CAPTION | SYSMENU | MINIMIZEBOX | VISIBLE)
        self.assertEqual(state["exstyle"] & (TOPMOST | TOOLWINDOW), TOPMOST)
        # In the order they were made, the tab order: only the list takes the focus by tab.
        self.assertEqual([(c["id"], c["class"], c["rect"], c["style"] & TABSTOP)
                          for c in state["controls"]],
                         [(1, "Static", [5, 5, 195, 25], 0), (3, "Static", [5, 255, 195, 272], 0),
                          (4, "Static", [5, 275, 195, 292], 0),
                          (2, "ListBox", [5, 25, 195, 245], TABSTOP)])
        self.assertEqual(state["controls"][3]["row_height"], state["gui_font_height"])
        self.refused_for(1.5 * POLL_S)
        state = self.shows(window(), rows=[], icon="red")
        self.assertEqual(state["labels"], {1: "", 3: TOTAL_START, 4: NEW_START})

    def test_02_first_good_download_shows_the_forum_without_alert(self):
        type(self).forum = Forum(PORT)
        self.shows(self.poll(), 12345, NEW_START, ROWS, "red")
        self.shows(self.poll(), 12345, NEW_START, ROWS, "red")  # the same page again
        self.assertEqual(chimes_heard(), 0)

    def test_03_each_change_counts_until_a_right_press(self):
        self.alerts(self.poll(total="12346"), 12346)
        self.shows(self.alerts(self.poll(total="12350"), 12350), rows=ROWS)
        self.shows(self.acknowledge("move", "rdown", "rup"), 12350, icon="red")
        self.alerts(self.poll(total="12351"), 12351)  # counted from 1 again
        self.assertEqual(self.opened(), [])

    def test_04_left_double_click_opens_the_home_page_once(self):
        self.tray("down", "up")  # the first press of a double-click does nothing
        self.shows(window(), new=1)
        self.shows(self.acknowledge("dblclk", "up"), icon="red")
        opened = wait_for(self.opened, len, 15, "the home page opened")
        self.assertEqual(opened, ['"Z:%s" "http://127.0.0.1:%d/"' % (RECORDER, PORT)])
        self.alerts(self.poll(total="12352"), 12352)
        self.acknowledge("rdown", "rup", "rdblclk", "rup")
        self.assertEqual(len(self.opened()), 1, "a right double-click opens nothing")

    def test_05_users_coming_and_going(self):
        self.shows(self.poll(users=DEFAULT_USERS[:2]), rows=[" admin", " Сергей", ""])
        # Each tag's ">" ends a row: the hidden user's <i> and </i> add two empty rows; names
        # keep their entities, as the page writes them.
        users = [DEFAULT_USERS[0], {"name": "Наталья", "id": 77, "kind": "hidden"},
                 {"name": "Ann & Bob", "id": 9, "kind": "normal"}]
        self.shows(self.poll(users=users),
                   rows=[" admin", " <i>Наталья</i>", " Ann &amp; Bob", "", "", ""])
        self.shows(self.poll(users=[]), new=NEW_ACKED, rows=[" Нет"])  # and no alert

    def test_06_totals_the_scan_cannot_see(self):
        # A total without its bold run reads as empty: a change; and a change from an empty
        # total never alerts.
        self.alerts(self.poll(users=DEFAULT_USERS, total_bold=False), "")
        self.shows(self.poll(total_bold=True, total="20000"), 20000, self.count)
        # The users line before the total line ends the scan before the total.
        self.shows(self.poll(users_first=True, total="20005"), 20000, self.count, ROWS)
        self.alerts(self.poll(users_first=False), 20005)
        self.acknowledge("rdown")

    def test_07_error_answers_are_failed_downloads(self):
        # 404, 500 and 503 answers fail whatever their bodies hold, the whole forum page with a
        # new total included: nothing changes, not even the stamp.
        self.fails("not_found", "server_error", "unavailable")
        for body in ("garbage", "empty"):  # while a 200's body is scanned whatever it holds
            self.shows(self.poll(body=body), self.total, self.count)
        self.shows(self.poll(body="page"), rows=ROWS)

    def test_08_a_new_taskbar_gets_the_icon_back_in_its_colour(self):
        # The taskbar ends, taking the icon along, and a new one announces itself: the icon is
        # back in the colour of the moment, and a right press on it still acknowledges.
        for colour in ("blue", "red"):
            self.assertTrue(inspect(INSPECT, "untray", *MINE)["removed"])
            self.assertFalse(window()["tray"])
            self.assertTrue(inspect(INSPECT, "taskbar-created")["announced"])
            wait_for(lambda: window()["tray"] and tray_icon(), lambda t: t and t[0] == colour, 15,
                     "the icon back in " + colour)
            if colour == "blue":
                self.acknowledge(3, press=press_tray_icon)

    def test_09_a_modal_loop_holds_back_neither_polls_nor_presses(self):
        # The system menu open, as Alt+Space leaves it: the polls go on and a tray press among
        # their timer ticks acknowledges.
        self.alerts(self.poll(total=str(self.total + 1)), self.total + 1)
        wait_for(chimes_heard, lambda n: n == self.chimes, 3 * POLL_S + 10, "the chime")
        self.assertTrue(inspect(INSPECT, "post", WM_SYSCOMMAND, SC_KEYMENU, ord(" "), *MINE)["posted"])
        self.addCleanup(inspect, INSPECT, "post", WM_CANCELMODE, 0, 0, *MINE)  # should a step fail
        wait_for(window, lambda s: s["modal"] == "menu", 15, "the system menu open")
        self.shows(self.poll(users=DEFAULT_USERS[:1]), rows=[" admin", ""])
        self.shows(self.acknowledge("rdown"), icon="red")
        self.assertEqual(window()["modal"], "menu", "the menu was open throughout")
        self.assertTrue(inspect(INSPECT, "post", WM_CANCELMODE, 0, 0, *MINE)["posted"])
        wait_for(window, lambda s: s["modal"] == "", 15, "the system menu closed")
        self.shows(self.alerts(self.poll(users=DEFAULT_USERS, total=str(self.total + 1)),
                               self.total + 1), rows=ROWS)

    def test_10_refused_connections_change_nothing_not_even_the_stamp(self):
        began = self.refused_for(1.5 * POLL_S)
        after = self.shows(window(), self.total, self.count, ROWS, "blue")
        self.assertFalse(stamp_after(after, began + 1), after["labels"][1])
        type(self).forum = Forum(PORT, {"total": "20010"})
        self.alerts(self.poll(), 20010)

    def test_11_an_answer_slower_than_the_poll_period(self):
        # Shown, the window answering meanwhile, and never two downloads at once.
        self.alerts(self.poll(nth=1, delay=1.5 * POLL_S, total="20011", clear_log=True), 20011)
        log = self.forum.control(delay=0)
        self.assertEqual(log["max_in_flight"], 1, log["requests"])

    def test_12_answers_too_big_or_broken_are_given_up(self):
        # An endless body would hold a poll to the deadline; taken whole, a 200 MB page or a
        # 50 MB line would show its total; half a page under a length for all of it would empty
        # the list. Wine follows a redirect loop to the deadline; a silent server is left there.
        took = self.fails("endless", "huge", "long_line", "drop_mid_body", "redirect_loop",
                         "stall", trickle_rate=8 << 20, line_bytes=50 << 20)
        self.assertLess(max(took[0], took[2]), DEADLINE_S, "given up at the size cap")
        self.assertLess(took[5], DEADLINE_S + POLL_S + 5, "the silent one given up")

    def test_13_pages_within_bounds_are_read_whatever_they_hold(self):
        # A 3 MB line before the statistics, NUL bytes and an unassigned code: all read past.
        for mode, settings in (("long_line", {"line_bytes": 3 << 20}), ("bad_bytes", {})):
            self.alerts(self.poll(misbehave_next=[mode], total=str(self.total + 1), **settings),
                        self.total + 1)

    def test_14_thousands_of_users_are_listed_whole_and_keep_their_place(self):
        # Every later download fails, leaving the list standing while it is read back.
        self.forum.control(users=["user_%d" % i for i in range(5000)], total=str(self.total + 1),
                           misbehave_next=["none"], misbehave="drop_mid_body")
        state = wait_for(lambda: self.answers() and window(), lambda s: len(s["rows"]) == 5001,
                         4 * POLL_S + 60, "the names listed")
        self.alerts(state, self.total + 1)
        self.assertEqual(state["rows"][:2] + state["rows"][-2:],
                         [" user_0", " user_1", " user_4999", ""])
        # Unchanged pages leave the list where the user put it; a change refills it.
        self.place(state, 4000, 4010)
        self.assertEqual(self.place(self.poll(nth=1, misbehave="none")), (4000, 4010, 5001))
        self.assertEqual(self.place(self.shows(self.poll(users=DEFAULT_USERS), rows=ROWS)), (0, -1, 4))

    def test_15_two_copies_take_turns_with_the_page_file(self):
        # Another copy, built for another forum, downloads into the same file.
        mine, theirs = shown(window()), [TOTAL + "777", NEW_START, [" admin", ""]]
        type(self).other_forum = Forum(PORT + 1, {"total": "777", "users": DEFAULT_USERS[:1]})
        type(self).other = subprocess.Popen([WINE_RUN, OTHER], stdin=subprocess.DEVNULL, env=SILENT)
        found = wait_for(lambda: inspect(INSPECT, "windows"), lambda w: len(w) == 2, 60,
                         "the other copy's window")
        hwnd = next(w["hwnd"] for w in found if w["hwnd"] not in MINE)
        wait_for(lambda: window(hwnd), lambda s: shown(s) == theirs, 30, "its forum")
        # While this copy's answer is held back, the other starts no download of its own: an
        # absence, so watched for two periods by the clock.
        held = self.polls(len, POLL_S + 10, "a poll", misbehave_next=["hold"], hold=True)
        while time.time() < held[0]["start"] + 2 * POLL_S:
            self.answers()
        others = [r for r in index_requests(self.other_forum) if r["start"] > held[0]["start"]]
        self.forum.control(hold=False)
        self.assertEqual(others, [])
        for _ in range(2):  # and each reads its own page
            self.assertEqual(shown(self.poll()), mine)
            self.assertEqual(shown(window(hwnd)), theirs)

    def test_16_closing_during_a_download_ends_at_once(self):
        self.acknowledge("rdown")
        self.forum.control(delay=60)
        wait_for(self.forum.control, lambda c: c["in_flight"], 2 * POLL_S + 10, "a download")
        hwnd = window()["hwnd"]
        self.assertTrue(inspect(INSPECT, "post", WM_CLOSE, 0, 0, *MINE)["posted"])
        self.assertEqual(self.watcher.wait(timeout=5), 0, "exit code")
        self.assertFalse(window(hwnd)["tray"], "the tray icon is gone")
        self.assertEqual(chimes_heard(), self.chimes, "one chime per change")


if __name__ == "__main__":
    # watcher.exe other.exe inspector.exe recorder.exe port poll_ms deadline_ms [unittest's
    # arguments]; the other copy watches the forum on the next port.
    WATCHER, OTHER, INSPECT, RECORDER = sys.argv[1:5]
    PORT, POLL_S, DEADLINE_S = int(sys.argv[5]), int(sys.argv[6]) / 1000, int(sys.argv[7]) / 1000
    sys.exit(not unittest.main(argv=sys.argv[:1] + sys.argv[8:], exit=False,
                               verbosity=2).result.wasSuccessful())
