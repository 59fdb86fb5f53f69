"""A history of 1,000,000 steps (made with zantor-tape --db) in the search
window: the 全 report shows, End jumps to its last row, and the final total
read back from the page through its own menu (a double click selects the
total, 复制 copies it) is the history's last total."""

import os
import subprocess
import time

import zantor_e2e as z
from zantor_e2e import check, X, xdisplay

ROWS = 1000000


def make_history(s):
    """1,000,000 additions and subtractions of fast-mode amounts."""
    z.record_tape(s, "".join(("- %d\n" if i % 5 == 4 else "+ %d\n") % ((i * 7919) % 100000 + 1)
                             for i in range(ROWS)))
    count, last = s.query("SELECT COUNT(*), (SELECT re FROM MyData ORDER BY ID DESC LIMIT 1)"
                          " FROM MyData")[0]
    check(count == ROWS, "the history holds %d rows" % count)
    return last


def read_clipboard(s, timeout=10.0):
    """The CLIPBOARD's text, asked for as another program would paste it."""
    d = xdisplay.Display(s.display)
    try:
        w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        prop = d.intern_atom("ZANTOR_E2E_PASTE")
        w.convert_selection(d.intern_atom("CLIPBOARD"), d.intern_atom("UTF8_STRING"), prop,
                            X.CurrentTime)
        d.flush()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while d.pending_events():
                e = d.next_event()
                if e.type == X.SelectionNotify:
                    if e.property == X.NONE:
                        return None
                    value = w.get_full_property(prop, X.AnyPropertyType)
                    return bytes(value.value).decode("utf-8") if value else None
            time.sleep(0.02)
        return None
    finally:
        d.close()


def scenario(s):
    last = make_history(s)
    made = time.monotonic()
    proc = s.launch()
    choice = s.wait_window(z.CHOICE, pid=proc.pid)
    s.focus(choice)
    s.key("Return")
    main = z.main_after_keep(s, proc)

    window = z.SearchWindow(s, proc)
    search = window.wid
    bx, by, bw, bh = window.browser
    bw, bh = int(bw), int(bh)

    def browser_pixels():
        return s.pixels(search, bx, by, bw, bh)

    window.show_report(lambda: browser_pixels().count(z.CELL_BORDER) > 0, 60)
    shown = time.monotonic() - window.sort_clicked

    def red_total():
        """Where the red total stands (its right end), if in sight."""
        px = browser_pixels()
        red = [(i % bw, i // bw) for i, (r, g, b) in enumerate(px) if r > 180 and g < 90 and b < 90]
        if not red:
            return None
        right = max(x for x, _ in red)
        ys = sorted(y for x, y in red if x > right - 30)
        return right, ys[len(ys) // 2]

    check(red_total() is None, "the final total shows on the first screen of 1,000,000 rows")
    # Into the page (a click on its margin, left of the centred table), then End.
    s.click(search, bx + 3, by + bh // 2)
    s.key("End")
    spot = z.wait_until("the final total at the end of the report", red_total, 20)
    x, y = bx + spot[0] - 4, by + spot[1]
    check(spot[1] > bh - 60, "the final total is not at the bottom: %r" % (spot,))
    # A double click selects the total; the page's menu copies it.
    rc, _ = s.xdo("mousemove", "--window", search, int(x), int(y), "click", "--repeat", 2, 1)
    check(rc == 0, "double click failed")
    s.click(search, x, y, button=3)
    mx, my = x - bx, y - by
    mx, my = (mx - 39 if mx > 321 else mx), (my - 44 if my > 246 else my)
    s.click(search, bx + mx + 12, by + my + 9)
    total = z.wait_until("the total on the clipboard", lambda: read_clipboard(s), 10)
    check(total == last, "the report ends with %r, the history with %r" % (total, last))
    print("1,000,000 rows: report shown %.1f s after the click; whole run after the history"
          " %.1f s" % (shown, time.monotonic() - made), flush=True)

    s.send_close(search)
    s.wait_gone(search)
    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("million_rows", scenario)
