"""A killed program loses nothing: every total that was on the screen is on
disk, and the next start with 保留上次数据 goes on from the last one. A second
copy started meanwhile only says so and leaves the first one alone.

What was on the screen comes from the program itself (ZANTOR_SHOWN_LOG: every
total the result field paints), never from the history file under test."""

import os
import signal
from decimal import Decimal

import zantor_e2e as z
from zantor_e2e import check

# Entries typed in fast mode, and the totals they give (12.34, then +0.05 ...).
ENTRIES = ["1234", "5", "99", "100000", "7"]
TOTALS = ["12.34", "12.39", "13.38", "1,013.38", "1,013.45"]


def value(total):
    return Decimal(total.replace(",", ""))


def shown_log(s, label):
    path = os.path.join(s.root, "shown-%s.txt" % label)
    s.env["ZANTOR_SHOWN_LOG"] = path
    return path


def read_shown(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return f.read().split("\n")[:-1]  # a line cut by the kill has no end


def scenario(s):
    before_kill = shown_log(s, "killed")
    proc, main = s.start_and_choose(keep=True)
    for entry in ENTRIES:
        s.type(entry)
        s.key("Return")
    # Right after the last Enter: whatever the program got through by now.
    s.kill(proc, signal.SIGKILL)
    check(proc.returncode == -signal.SIGKILL, "zantor was not killed: %r" % proc.returncode)
    shown = [t for t in read_shown(before_kill) if t in TOTALS]
    print("totals on the screen before the kill: %r" % shown, flush=True)

    restarted = shown_log(s, "restarted")
    proc, main = s.start_and_choose(keep=True)
    rows = s.steps()
    totals = [r[4] for r in rows]
    check(totals == TOTALS[:len(totals)],
          "the rows are not one unbroken chain of the steps typed: %r" % rows)
    check([r[3] for r in rows] == ["12.34", "0.05", "0.99", "1,000.00", "0.07"][:len(rows)],
          "the rows' entries: %r" % rows)
    if shown:
        check(len(totals) > TOTALS.index(shown[-1]),
              "%r was on the screen but its row is missing: %r" % (shown[-1], totals))
    check(s.query("PRAGMA integrity_check") == [("ok",)], "history file damaged by the kill")

    # The restart shows the last row's total and goes on from it.
    last = totals[-1] if totals else "0.00"
    first = z.wait_until("the restarted window's total", lambda: read_shown(restarted), 10)[0]
    check(first == last, "restored total %r, the last row's is %r" % (first, last))
    s.type("1")
    s.key("Return")
    rows = s.wait_steps(len(totals) + 1)
    check(value(rows[-1][4]) == value(last) + Decimal("0.01"),
          "step after the restart: %r after %r" % (rows[-1], last))
    last = rows[-1][4]

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
    rows = s.wait_steps(len(totals) + 2)
    check(value(rows[-1][4]) == value(last) + Decimal("0.02"),
          "step after the second copy: %r after %r" % (rows[-1], last))

    s.close_main(proc, main)
    saved = s.query("SELECT pos, resu FROM resul")
    check(saved == [(2, rows[-1][4])], "saved total after close: %r" % saved)


if __name__ == "__main__":
    z.run("nothing_lost", scenario)
