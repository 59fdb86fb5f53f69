"""Correcting a step from the report: a double click on a row of the search
window's report opens 改正第 N 步, the new entry typed and Enter recompute
the rest of the run in the history file, and the calculator goes on from the
new total once the search window is left."""

import os
from decimal import Decimal

import zantor_e2e as z
from zantor_e2e import check


def value(total):
    return Decimal(total.replace(",", ""))


def read_shown(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return f.read().split("\n")[:-1]


def scenario(s):
    shown_log = os.path.join(s.root, "shown.txt")
    s.env["ZANTOR_SHOWN_LOG"] = shown_log
    proc, main = s.start_and_choose(keep=True)
    rows = s.enter_three_steps()
    check([r[4] for r in rows] == ["12.34", "12.29", "24.58"], "steps: %r" % rows)

    window = z.SearchWindow(s, proc)
    search = window.wid
    bx, by, bw, bh = window.browser

    def border_lines():
        """The y of each run of cell-border pixels down the browser's middle."""
        column = s.pixels(search, bx + bw / 2, by, 1, bh)
        lines, previous = [], False
        for y, rgb in enumerate(column):
            hit = rgb == z.CELL_BORDER
            if hit and not previous:
                lines.append(y)
            previous = hit
        return lines

    # Header, three rows and the final row: a top and a bottom border each.
    lines = window.show_report(lambda: (lambda l: l if len(l) >= 10 else None)(border_lines()))
    # Row 1 is the second row of cells: between its top and bottom borders.
    y = by + (lines[2] + lines[3]) / 2
    rc, _ = s.xdo("mousemove", "--window", search, int(bx + bw / 2), int(y),
                  "click", "--repeat", 2, 1)
    check(rc == 0, "double click failed")
    correct = s.wait_window("改正第 1 步", pid=proc.pid, timeout=15)
    s.focus(correct)
    # The entry is selected when the dialog opens: typing replaces it.
    s.type("20")
    s.key("Return")
    s.wait_gone(correct)

    def corrected():
        rows = s.steps()
        return rows if rows and value(rows[-1][4]) == Decimal("39.9") else None

    rows = z.wait_until("the corrected totals in the history file", corrected, 15)
    check([value(r[4]) for r in rows] == [Decimal("20"), Decimal("19.95"), Decimal("39.9")],
          "rows after the correction: %r" % rows)
    check([r[1] for r in rows] == ["+", "-", "*"], "operators: %r" % rows)
    trail = s.query("SELECT stepId, oldOp, oldEntry, newOp, newEntry FROM corrections")
    check(trail == [(1, "+", "12.34", "+", "20")], "trail: %r" % trail)
    # The report is shown again: its rows come back in the browser.
    z.wait_until("the report shown again",
                 lambda: (lambda l: l if len(l) >= 10 else None)(border_lines()), 20)

    window.click(z.LEAVE)
    s.wait_gone(search)
    # The window shows the new total, from its own painting.
    z.wait_until("the new total in the result field",
                 lambda: any(value(t) == Decimal("39.9") for t in read_shown(shown_log)
                             if t and t[0] in "-0123456789"), 10)
    shown = [t for t in read_shown(shown_log) if t]
    check(value(shown[-1]) == Decimal("39.9"), "the result field shows %r" % shown[-1:])

    # And goes on from it: plus 1.00.
    s.focus(main)
    s.key("space")
    s.type("100")
    s.key("Return")
    rows = s.wait_steps(4)
    check(rows[-1][1] == "+" and value(rows[-1][4]) == Decimal("40.9"),
          "step after the correction: %r" % (rows[-1],))

    s.close_main(proc, main)
    saved = s.query("SELECT resu FROM resul ORDER BY rowid DESC LIMIT 1")
    check(saved and value(saved[0][0]) == Decimal("40.9"), "saved total: %r" % saved)


if __name__ == "__main__":
    z.run("correction", scenario)
