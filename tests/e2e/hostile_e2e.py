#!/usr/bin/env python3
"""End-to-end tests of the watcher against a forum that misbehaves: answers that never end, are
too big, break off, loop or hold garbage. After each, the forum behaves again and the watcher
must still be running, answering its window and polling, and show the forum rightly.

Uses the plumbing of watcher_e2e.py. Run by ctest (see CMakeLists.txt); by hand:
  python3 hostile_e2e.py --watcher W.exe --inspect I.exe --recorder R.exe \\
      --server tools/forum_server.py --port 8614 --prefix build/wineprefix-hostile [-v]
"""
import argparse
import json
import os
import sys
import unittest

import watcher_e2e as e2e
from watcher_e2e import (DEFAULT_ROWS, LABEL4_START, NEW_PREFIX, POLL_SECONDS, TOTAL_PREFIX,
                         WatcherCase, WineSession, wait_for)

INDEX_PATH = "/phpBB2/"
# The watcher gives a download up after this long (see app/Download.h), silent or not.
DOWNLOAD_DEADLINE = 60
# What a sent message may take while a download misbehaves.
ANSWER_MS = 1000


class HostileForum(WatcherCase):
    """One watcher through every misbehaviour in turn; each step ends on a well-behaved forum."""

    total = 30000
    changes = 0

    @classmethod
    def setUpClass(cls):
        cls.start_watcher({"total": str(cls.total)})

    @classmethod
    def tearDownClass(cls):
        cls.stop_watcher()

    # --- helpers ---

    def assert_answers(self):
        self.assertIsNone(type(self).watcher.poll(), "the watcher is still running")
        _, out = e2e.SESSION.run_wine([e2e.ARGS.inspect, "ping"])
        answer = json.loads(out)
        self.assertTrue(answer["answered"], answer)
        self.assertLess(answer["ms"], ANSWER_MS, "the window answers while a download misbehaves")

    def cycle_starts(self):
        """Requests that began a cycle, as opposed to the hops of a redirect."""
        return [r for r in self.forum.control()["requests"] if r["path"] == INDEX_PATH]

    def wait_for_cycle(self, number, timeout):
        """Waits for the `number`th cycle since the log was cleared to begin, checking the
        window meanwhile; returns the requests so far."""
        def begun():
            self.assert_answers()
            starts = self.cycle_starts()
            return starts if len(starts) >= number else None
        return wait_for(begun, timeout, "poll cycle %d" % number, interval=1)

    def poll_quietly(self, **changes):
        """poll_with, with a failure message that does not spell out every change."""
        try:
            return self.poll_with(**changes)
        except AssertionError as e:
            raise AssertionError(str(e)[:300]) from None

    def recovers(self, **changes):
        """Lets the forum behave with a new total: the next poll shows it and alerts."""
        type(self).total += 1
        type(self).changes += 1
        state = self.poll_quietly(misbehave="none", total=str(self.total), **changes)
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + str(self.total))
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + str(self.changes))
        self.assertEqual(state["rows"], DEFAULT_ROWS)
        return state

    def assert_failed_cycle_changes_nothing(self, mode, timeout, **settings):
        """The first cycle under `mode` must end as a failed download: by the time the next
        cycle begins, the window (the time stamp included) is as before it."""
        self.forum.control(dict(settings, misbehave=mode, clear_log=True))
        self.wait_for_cycle(1, 2 * POLL_SECONDS + 10)
        # Cycles never overlap: once one has begun, the one before it has finished.
        before = self.state()
        starts = self.wait_for_cycle(2, timeout + 2 * POLL_SECONDS + 10)
        after = self.state()
        self.assertEqual(after["labels"], before["labels"], mode)
        self.assertEqual(after["rows"], before["rows"], mode)
        # The second cycle met the same answer: let it end before the forum is judged again.
        self.forum.control({"misbehave": "none"})
        self.wait_for_cycle(3, timeout + 2 * POLL_SECONDS + 10)
        # Seconds the first cycle held the watcher: Wine may close an abandoned connection
        # only later, so the server's end of the answer does not tell.
        return starts[1]["start"] - starts[0]["start"]

    # --- the story ---

    def test_01_healthy_start(self):
        self.ready_state()
        state = self.poll_with()
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + str(self.total))
        self.assertEqual(state["labels"]["4"], LABEL4_START)
        self.assertEqual(state["rows"], DEFAULT_ROWS)

    def test_02_answers_too_big_to_take_are_given_up(self):
        # An endless body crosses the cap in seconds at this rate; a page of 200 MB or a single
        # line of 50 MB would each be taken whole without the cap.
        cases = (("endless", {"trickle_rate": 2 << 20}), ("huge", {}),
                 ("long_line", {"line_bytes": 50 << 20}))
        for mode, settings in cases:
            with self.subTest(mode=mode):
                took = self.assert_failed_cycle_changes_nothing(mode, 30, **settings)
                self.assertLess(took, 30, "%s was given up at the cap, not the deadline" % mode)
                self.recovers()

    def test_03_broken_answers_count_as_failed_downloads(self):
        # Half a page under a Content-Length for all of it would otherwise be scanned as the
        # page: no users line in the first half, so the list would empty. Wine's download
        # follows a redirect loop past any abort until the deadline.
        for mode in ("drop_mid_body", "redirect_loop"):
            with self.subTest(mode=mode):
                self.assert_failed_cycle_changes_nothing(mode, DOWNLOAD_DEADLINE)
                self.recovers()

    def test_04_pages_within_bounds_are_read_whatever_they_hold(self):
        # A 3 MB line before the statistics, NUL bytes and an unassigned code: all scanned past.
        for mode, settings in (("long_line", {"line_bytes": 3 << 20}), ("bad_bytes", {})):
            with self.subTest(mode=mode):
                type(self).total += 1
                type(self).changes += 1
                state = self.poll_with(misbehave=mode, total=str(self.total), **settings)
                self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + str(self.total))
                self.assertEqual(state["labels"]["4"], NEW_PREFIX + str(self.changes))
                self.assertEqual(state["rows"], DEFAULT_ROWS)
        self.forum.control({"misbehave": "none"})

    def test_05_a_users_line_of_thousands_of_names_is_listed_whole(self):
        # A line of some 300 KB; the scan goes once over what is left of it per name. Under Wine
        # the refill takes seconds and reading the list back as long, while every cycle refills
        # it: once one page of names is out, downloads fail, which leaves the list standing.
        regulars = self.forum.control()["users"]
        names = ["user_%d" % i for i in range(5000)]
        type(self).total += 1
        type(self).changes += 1
        self.forum.control({"users": names, "total": str(self.total), "clear_log": True})
        wait_for(lambda: any(r["end"] for r in self.cycle_starts()), 2 * POLL_SECONDS + 10,
                 "the page of names to be served")
        self.forum.control({"misbehave": "drop_mid_body"})

        def listed():
            self.assert_answers()
            state = self.state()
            return state if len(state.get("rows") or []) == len(names) + 1 else None
        state = wait_for(listed, 4 * POLL_SECONDS + 30, "%d names listed" % len(names),
                         interval=1)
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + str(self.total))
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + str(self.changes))
        self.assertEqual(state["rows"][:2], [" user_0", " user_1"])
        self.assertEqual(state["rows"][-2:], [" user_4999", ""])
        self.recovers(users=regulars)

    def test_06_an_answer_slower_than_the_poll_interval_is_still_shown(self):
        type(self).total += 1
        type(self).changes += 1
        self.forum.control({"delay": 2 * POLL_SECONDS, "total": str(self.total)})
        wait_for(lambda: self.forum.control()["in_flight"] == 1, 2 * POLL_SECONDS + 10,
                 "a slow answer to begin")
        self.assert_answers()
        state = self.poll_with()
        self.assertEqual(state["labels"]["3"], TOTAL_PREFIX + str(self.total))
        self.assertEqual(state["labels"]["4"], NEW_PREFIX + str(self.changes))
        self.forum.control({"delay": 0})

    def test_07_a_silent_server_is_given_up_at_the_deadline(self):
        took = self.assert_failed_cycle_changes_nothing("stall", DOWNLOAD_DEADLINE)
        self.assertLess(took, DOWNLOAD_DEADLINE + POLL_SECONDS + 5, "the silent download ended")
        print("\nnext poll %.1f s after the silent one began" % took, file=sys.stderr)
        self.recovers()


def main():
    parser = argparse.ArgumentParser()
    for name in ("watcher", "inspect", "recorder", "server", "prefix"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--port", type=int, required=True)
    e2e.ARGS, rest = parser.parse_known_args()
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    e2e.SESSION = WineSession(os.path.abspath(e2e.ARGS.prefix), root)
    try:
        program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        e2e.SESSION.close()


if __name__ == "__main__":
    sys.exit(main())
