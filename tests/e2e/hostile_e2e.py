#!/usr/bin/env python3
"""End-to-end tests of the watcher against a forum that misbehaves: answers that never end, are
too big, break off, loop or hold garbage. After each, the forum behaves again and the watcher
must still be running, answering its window and polling, and show the forum rightly.

Uses the plumbing of watcher_e2e.py. Run by ctest (see CMakeLists.txt); by hand:
  python3 hostile_e2e.py --watcher W.exe --inspect I.exe --recorder R.exe \\
      --server tools/forum_server.py --port 8614 --prefix build/wineprefix-hostile [-v]
"""
import sys

import watcher_e2e as e2e
from watcher_e2e import DEFAULT_ROWS, LABEL4_START, POLL_SECONDS, WatcherCase, wait_for

INDEX_PATH = "/phpBB2/"
# The watcher gives a download up after this long (see app/Download.h), silent or not.
DOWNLOAD_DEADLINE = 60


class HostileForum(WatcherCase):
    """One watcher through every misbehaviour in turn; each step ends on a well-behaved forum."""

    total = 30000
    changes = 0
    forum_state = {"total": str(total)}

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

    def next_total(self):
        """A new total for the forum; the watcher counts one more change once it sees it."""
        type(self).total += 1
        type(self).changes += 1
        return str(self.total)

    def shows_last_change(self, state):
        return self.shows(state, self.total, self.changes, DEFAULT_ROWS)

    def recovers(self, **changes):
        """Lets the forum behave with a new total: the next poll shows it and alerts."""
        return self.shows_last_change(
            self.poll_with(misbehave="none", total=self.next_total(), **changes))

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

    def test_01_healthy_start(self):
        self.ready_state()
        self.shows(self.poll_with(), self.total, LABEL4_START, DEFAULT_ROWS)

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
                self.shows_last_change(
                    self.poll_with(misbehave=mode, total=self.next_total(), **settings))
        self.forum.control({"misbehave": "none"})

    def test_05_a_users_line_of_thousands_of_names_is_listed_whole(self):
        # A line of some 300 KB; the scan goes once over what is left of it per name. Under Wine
        # the refill takes seconds and reading the list back as long, while every cycle refills
        # it: once one page of names is out, downloads fail, which leaves the list standing.
        regulars = self.forum.control()["users"]
        names = ["user_%d" % i for i in range(5000)]
        self.forum.control({"users": names, "total": self.next_total(), "clear_log": True})
        wait_for(lambda: any(r["end"] for r in self.cycle_starts()), 2 * POLL_SECONDS + 10,
                 "the page of names to be served")
        self.forum.control({"misbehave": "drop_mid_body"})

        def listed():
            self.assert_answers()
            state = self.state()
            return state if len(state.get("rows") or []) == len(names) + 1 else None
        state = wait_for(listed, 4 * POLL_SECONDS + 30, "%d names listed" % len(names),
                         interval=1)
        self.shows(state, self.total, self.changes)
        self.assertEqual(state["rows"][:2], [" user_0", " user_1"])
        self.assertEqual(state["rows"][-2:], [" user_4999", ""])
        self.recovers(users=regulars)

    def test_06_an_answer_slower_than_the_poll_interval_is_still_shown(self):
        self.forum.control({"delay": 2 * POLL_SECONDS, "total": self.next_total()})
        self.wait_in_flight(2 * POLL_SECONDS + 10)
        self.assert_answers()
        self.shows_last_change(self.poll_with())
        self.forum.control({"delay": 0})

    def test_07_a_silent_server_is_given_up_at_the_deadline(self):
        took = self.assert_failed_cycle_changes_nothing("stall", DOWNLOAD_DEADLINE)
        self.assertLess(took, DOWNLOAD_DEADLINE + POLL_SECONDS + 5, "the silent download ended")
        print("\nnext poll %.1f s after the silent one began" % took, file=sys.stderr)
        self.recovers()


if __name__ == "__main__":
    sys.exit(e2e.main())
