"""The bookkeeper's checks: a run of 20 steps keyed in again (K) with one
figure typed wrong shows that one difference, in its place, then the summary,
and records nothing; D puts the total in capitals on the clipboard."""

import time

import zantor_e2e as z
from zantor_e2e import X, check, xdisplay

WHITE = (255, 255, 255)
# The run: 0.01 .. 0.20 in fast mode, every fifth one taken away.
FIGURES = [str(i) for i in range(1, 21)]
OPS = ["-" if i % 5 == 0 else "+" for i in range(1, 21)]
WRONG = 7  # typed 70 instead of 7 the second time


def white_runs(line):
    """(start, end) of each run of white pixels along a line of pixels."""
    runs, start = [], None
    for i, rgb in enumerate(line + [None]):
        if rgb == WHITE and start is None:
            start = i
        elif rgb != WHITE and start is not None:
            runs.append((start, i))
            start = None
    return runs


def fields(s, main):
    """A point in the entry field, and the result field's white area (x0, y0,
    x1, y1): the first and second white runs down a column through both
    fields, the second as wide as the white run across it."""
    _, _, width, height = s.geometry(main)
    x = int(width * 0.6)
    runs = white_runs(s.pixels(main, x, 0, 1, height))
    check(len(runs) >= 2, "no result field below the entry field: %r" % runs)
    y0, y1 = runs[1]
    row = s.pixels(main, 0, (y0 + y1) // 2, width, 1)
    x0, x1 = next(r for r in white_runs(row) if r[0] <= x < r[1])
    return (x, (runs[0][0] + runs[0][1]) // 2), (x0, y0, x1, y1)


def read_selection(s, name):
    """The text another program would paste from the selection `name`."""
    d = xdisplay.Display(s.display)
    try:
        w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        prop = d.intern_atom("ZANTOR_E2E_PASTE")
        w.convert_selection(d.intern_atom(name), d.intern_atom("UTF8_STRING"), prop,
                            X.CurrentTime)
        d.flush()
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            if not d.pending_events():
                time.sleep(0.02)
                continue
            e = d.next_event()
            if e.type == X.SelectionNotify:
                if e.property == X.NONE:
                    return None
                return w.get_full_property(prop, X.AnyPropertyType).value.decode("utf-8")
        return None
    finally:
        d.close()


def shown_result(s, main, at):
    """The result field's text, selected with the mouse as a reader would;
    then a click puts the focus back into the entry field."""
    entry, (x0, y0, x1, y1) = at
    s.xdo("mousemove", "--window", main, x0 + 2, y0 + 2, "mousedown", 1,
          "mousemove", "--window", main, x1 - 2, y1 - 2, "mouseup", 1)
    text = read_selection(s, "PRIMARY")
    s.click(main, *entry)
    return text


def scenario(s):
    proc, main = s.start_and_choose(keep=True)
    field = fields(s, main)
    current = ["+"]

    def key_in(op, figure):
        if op != current[0]:
            # + to - is one Space, - back to + two (through ×).
            s.key(*(["space"] if op == "-" else ["space", "space"]))
            current[0] = op
        s.type(figure)
        s.key("Return")

    for op, figure in zip(OPS, FIGURES):
        key_in(op, figure)
    rows = s.wait_steps(20)
    total = rows[-1][4]

    s.key("k")
    z.wait_until("the check's caption", lambda: s.title(main) == "复核 1/20")
    current[0] = "+"
    for k, (op, figure) in enumerate(zip(OPS, FIGURES), start=1):
        key_in(op, "70" if k == WRONG else figure)
        if k == WRONG:
            shown = shown_result(s, main, field)
            check(shown == "第 7 笔不符：记录 ＋0.07，输入 ＋0.70",
                  "after the wrong figure the result field showed %r" % shown)
        if k < 20:
            z.wait_until("caption 复核 %d/20" % (k + 1),
                         lambda: s.title(main) == "复核 %d/20" % (k + 1))
    z.wait_until("the window's own caption", lambda: s.title(main) == z.MAIN)
    shown = shown_result(s, main, field)
    check(shown == "复核完毕：共 20 笔，1 笔不符", "the summary read %r" % shown)
    check(len(s.steps()) == 20, "the check recorded steps: %r" % s.steps()[20:])

    # The same run typed right: 复核无误 with the total.
    s.key("k")
    z.wait_until("the check's caption again", lambda: s.title(main) == "复核 1/20")
    current[0] = "+"
    for op, figure in zip(OPS, FIGURES):
        key_in(op, figure)
    z.wait_until("the window's own caption", lambda: s.title(main) == z.MAIN)
    shown = shown_result(s, main, field)
    check(shown == "复核无误：共 20 笔，合计 %s" % total, "the summary read %r" % shown)

    # D: the running total in capitals on the clipboard.
    s.key("d")
    got = z.wait_until("the capitals on the clipboard",
                       lambda: read_selection(s, "CLIPBOARD"), 10)
    check(total == "1.1" and got == "壹元壹角整", "D copied %r for the total %r" % (got, total))
    check(len(s.steps()) == 20, "nothing more was recorded")
    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("bookkeeping", scenario)
