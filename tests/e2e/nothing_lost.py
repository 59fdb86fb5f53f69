"""A killed program loses nothing: every total shown is on disk, and the next
start with 保留上次数据 goes on from it. A second copy started meanwhile only
says so and leaves the first one alone."""

import signal

import zantor_e2e as z
from zantor_e2e import check

# Entries typed in fast mode, and the totals they give (12.34, then +0.05 ...).
ENTRIES = ["1234", "5", "99", "100000", "7"]
TOTALS = ["12.34", "12.39", "13.38", "1,013.38", "1,013.45"]


def scenario(s):
    proc, main = s.start_and_choose(keep=True)
    for i, entry in enumerate(ENTRIES, 1):
        s.type(entry)
        s.key("Return")
        rows = s.wait_steps(i)
        check(rows[-1][4] == TOTALS[i - 1],
              "step %d: total %r, expected %r" % (i, rows[-1][4], TOTALS[i - 1]))

    s.kill(proc, signal.SIGKILL)
    check(proc.returncode == -signal.SIGKILL, "zantor was not killed: %r" % proc.returncode)
    check(len(s.steps()) == len(ENTRIES), "rows lost by the kill: %r" % s.steps())

    # Keep: the next step goes on from the total shown before the kill.
    proc, main = s.start_and_choose(keep=True)
    s.type("1")
    s.key("Return")
    rows = s.wait_steps(len(ENTRIES) + 1)
    check([r[4] for r in rows] == TOTALS + ["1,013.46"],
          "totals after the restart: %r" % [r[4] for r in rows])
    check(s.query("PRAGMA integrity_check") == [("ok",)], "history file damaged by the kill")

    # A second copy: a box captioned with the program's name, then exit 0.
    second = s.launch()
    box = s.wait_window(z.BOX, pid=second.pid)
    check(s.windows(z.CHOICE, second.pid) == [] and s.windows(z.MAIN, second.pid) == [],
          "the second copy opened its own windows")
    s.focus(box)
    s.key("Return")
    rc = s.wait_exit(second)
    check(rc == 0, "the second copy ended with status %r" % rc)

    # The first copy is untouched and still answers the keyboard.
    check(proc.poll() is None, "the first copy ended when the second started")
    check(s.windows(z.MAIN, proc.pid) == [main], "the first copy's window is gone")
    s.focus(main)
    s.type("2")
    s.key("Return")
    rows = s.wait_steps(len(ENTRIES) + 2)
    check(rows[-1][4] == "1,013.48", "step after the second copy: %r" % (rows[-1],))

    s.close_main(proc, main)
    saved = s.query("SELECT pos, resu FROM resul")
    check(saved == [(2, "1,013.48")], "saved total after close: %r" % saved)


if __name__ == "__main__":
    z.run("nothing_lost", scenario)
