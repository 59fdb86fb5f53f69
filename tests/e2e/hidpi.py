"""A HiDPI screen: 2560x1600 with QT_SCALE_FACTOR=2, against the same screen
at scale 1. Everything the user sees doubles: the main window, still in the
top right corner, the search window and the report's table inside it, and the
window icon offers its 256-pixel picture."""

import os
import struct

import zantor_e2e as z
from zantor_e2e import X, check

SCREEN_WIDTH = 2560


class HiDpiSession(z.Session):
    SCREEN = "%dx1600x24" % SCREEN_WIDTH


def icons(s, wid):
    """{(width, height): [pixel data, ...]} of the window's _NET_WM_ICON."""
    w = s.x.create_resource_object("window", int(wid))
    prop = w.get_full_property(s.x.intern_atom("_NET_WM_ICON"), X.AnyPropertyType)
    check(prop is not None, "window %s has no _NET_WM_ICON" % wid)
    data, found, i = list(prop.value), {}, 0
    while i + 2 <= len(data):
        width, height = data[i], data[i + 1]
        found.setdefault((width, height), []).append(data[i + 2:i + 2 + width * height])
        i += 2 + width * height
    return found


def row_pitch(s, search, browser):
    """Pixels from the top border of the report table's first row to the
    next row's (each row has a top and a bottom border)."""
    x, y, width, height = [int(v) for v in browser]
    pixels = s.pixels(search, x, y, width, height)
    lines = []
    for row in range(height):
        line = pixels[row * width:(row + 1) * width]
        if line.count(z.CELL_BORDER) > width // 4 and (not lines or lines[-1][-1] != row - 1):
            lines.append([row])
        elif line.count(z.CELL_BORDER) > width // 4:
            lines[-1].append(row)
    tops = [group[0] for group in lines]
    check(len(tops) >= 3, "no table in the report: border rows %r" % lines)
    return tops[2] - tops[0]


def measure(s, scale):
    """Starts the program at `scale`, shows a report, returns what it saw."""
    if scale != 1:
        s.env["QT_SCALE_FACTOR"] = str(scale)
    else:
        s.env.pop("QT_SCALE_FACTOR", None)
    proc, main = s.start_and_choose(keep=False)
    for entry in ("1234", "5", "200"):
        s.type(entry)
        s.key("Return")
    s.wait_steps(3)
    seen = {"main": s.geometry(main), "icons": icons(s, main)}

    window = z.SearchWindow(s, proc)
    search = window.wid
    seen["search"] = window.geometry
    window.show_report()
    seen["pitch"] = z.wait_until("the report's rows",
                                 lambda: row_pitch(s, search, window.browser), 5)

    s.send_close(search)
    s.wait_gone(search)
    s.close_main(proc, main)
    return seen


def scenario(s):
    one = measure(s, 1)
    two = measure(s, 2)
    for seen in (one, two):
        print({k: v for k, v in seen.items() if k != "icons"}, flush=True)

    x1, y1, w1, h1 = one["main"]
    x2, y2, w2, h2 = two["main"]
    check(abs(w2 - 2 * w1) <= 2 and abs(h2 - 2 * h1) <= 2,
          "main window %dx%d at scale 2, %dx%d at scale 1" % (w2, h2, w1, h1))
    # 355 logical pixels from the right edge (or the window's width), top row.
    expected_x = 2 * (SCREEN_WIDTH // 2 - max(355, w1))
    check(abs(x2 - expected_x) <= 2 and y2 <= 2 and x2 + w2 <= SCREEN_WIDTH,
          "main window at %d,%d at scale 2, expected %d,2" % (x2, y2, expected_x))

    _, _, sw1, sh1 = one["search"]
    _, _, sw2, sh2 = two["search"]
    check(abs(sw2 - 2 * sw1) <= 2 and abs(sh2 - 2 * sh1) <= 2,
          "search window %dx%d at scale 2, %dx%d at scale 1" % (sw2, sh2, sw1, sh1))
    check(abs(two["pitch"] - 2 * one["pitch"]) <= 2,
          "report rows %d pixels apart at scale 2, %d at scale 1" % (two["pitch"], one["pitch"]))

    # The desktop takes the size it needs from the window's icon; at scale 2
    # each size comes at twice its pixels, and 256 is the drawn 256-pixel
    # picture itself, not a smaller one enlarged.
    check({(16, 16), (256, 256)} <= set(one["icons"]), "icon sizes %r" % sorted(one["icons"]))
    check({(32, 32), (256, 256)} <= set(two["icons"]), "icon sizes at scale 2 %r"
          % sorted(two["icons"]))
    sharp = one["icons"][(256, 256)][0]
    check(all(p == sharp for p in two["icons"][(256, 256)]),
          "the 256-pixel icon at scale 2 is not the 256-pixel picture")


if __name__ == "__main__":
    # The harness builds its session from the module's Session class.
    z.Session = HiDpiSession
    z.run("hidpi", scenario)
