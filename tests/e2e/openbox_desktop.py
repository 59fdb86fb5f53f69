"""The main window under a real window manager (openbox), as a new user meets
it: its frame in the screen's top right corner at every start, the clear
choice that asks before it deletes a history, the slider that hands the
keyboard back, and the help page and calculator opened through the desktop
or a box that says they cannot be."""

import os
import stat
import subprocess
import time

import zantor_e2e as z
from zantor_e2e import check, wait_until

STARTS = 3


def make_history(s, entries):
    os.makedirs(os.path.dirname(s.db_path), exist_ok=True)
    r = subprocess.run([os.path.join(s.app_dir, "bin", "zantor-tape"), "--db", s.db_path],
                       input="".join(e + "\n" for e in entries).encode(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=30)
    check(r.returncode == 0, "zantor-tape failed: %r" % r.stderr)
    return s.steps()


def frame_in_corner(s, main):
    """The frame's rectangle once the window manager has put it up and the
    program has placed it; checked against the available area's corner."""
    def placed():
        extents = s.frame_extents(main)
        if extents is None:
            return None
        left, right, top, bottom = extents
        x, y, w, h = s.geometry(main)
        return (x - left, y - top, w + left + right, h + top + bottom)
    wait_until("openbox's frame extents", placed)
    time.sleep(1.2)  # the program looks at its frame for a second after it is shown
    fx, fy, fw, fh = placed()
    ax, ay, aw, ah = s.workarea()
    check(fy >= ay and fx >= ax and fx + fw <= ax + aw and fy + fh <= ay + ah,
          "frame %r outside the available area %r" % ((fx, fy, fw, fh), (ax, ay, aw, ah)))
    check(fy <= ay + 1 and fx + fw >= ax + aw - 355,
          "frame %r not in the top right corner of %r" % ((fx, fy, fw, fh), (ax, ay, aw, ah)))


def menu_item_centres(s, main):
    """Centres of the menu bar's items, found by their dark text pixels in
    the strip at the top of the window."""
    _, _, width, _ = s.geometry(main)
    strip = 22
    pixels = s.pixels(main, 0, 0, width, strip)
    dark = [any(sum(pixels[y * width + x]) < 250 for y in range(strip)) for x in range(width)]
    items, start, gap = [], None, 0
    for x, d in enumerate(dark + [False] * 12):
        if d:
            if start is None:
                start = x
            gap, end = 0, x
        elif start is not None:
            gap += 1
            if gap > 10:
                items.append(((start + end) // 2, strip // 2))
                start = None
    return items


def fake_program(folder, name, mark):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write('#!/bin/sh\necho "%s $*" >> "%s"\n' % (name, mark))
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


def start_with_path(s, path):
    """Starts zantor with only `path` on its PATH and keeps the history."""
    env = s.env
    s.env = s.program_env(PATH=path)
    s.env.pop("BROWSER", None)
    try:
        proc = s.launch()
    finally:
        s.env = env
    choice = s.wait_window(z.CHOICE, pid=proc.pid)
    s.focus(choice)
    s.key("Return")
    main = s.wait_window(z.MAIN, pid=proc.pid)
    s.focus(main)
    return proc, main


def wait_box(s, proc):
    box = s.wait_window(z.BOX, pid=proc.pid)
    s.focus(box)
    return box


def scenario(s):
    s.start_openbox()

    # Frame in the corner, start after start; the slider gives the keys back.
    for start in range(STARTS):
        proc, main = s.start_and_choose(keep=True)
        frame_in_corner(s, main)
        if start == 0:
            _, _, w, h = s.geometry(main)
            s.click(main, w * 168 / 171, h - 12)  # the opacity slider's track
            s.type("5")
            s.key("Return")
            rows = s.wait_steps(1)
            check(rows[0][3] == "0.05", "typed after the slider: %r" % (rows,))
        s.close_main(proc, main)

    # Clearing a history asks first; No (the default) keeps it.
    before = make_history(s, ["+ 700", "+ 25"])
    proc = s.launch()
    choice = s.wait_window(z.CHOICE, pid=proc.pid)
    s.focus(choice)
    s.key("Escape")
    box = wait_box(s, proc)
    check(s.windows(z.MAIN, proc.pid) == [], "the main window came before the answer")
    s.key("Return")
    s.wait_gone(box)
    main = s.wait_window(z.MAIN, pid=proc.pid)
    check(s.steps() == before, "No deleted the history: %r" % s.steps())
    s.close_main(proc, main)

    proc = s.launch()
    choice = s.wait_window(z.CHOICE, pid=proc.pid)
    s.focus(choice)
    s.key("Escape")
    wait_box(s, proc)
    s.key("y")
    main = s.wait_window(z.MAIN, pid=proc.pid)
    check(s.steps() == [], "Yes kept the history: %r" % s.steps())
    s.close_main(proc, main)

    # Help and calculator through what the desktop has on PATH ...
    tools = os.path.join(s.root, "tools")
    nothing = os.path.join(s.root, "nothing")
    os.makedirs(tools)
    os.makedirs(nothing)
    mark = os.path.join(s.root, "started.txt")
    fake_program(tools, "xdg-open", mark)
    fake_program(tools, "galculator", mark)
    proc, main = start_with_path(s, tools)
    help_item, calculator_item = menu_item_centres(s, main)[:2]
    s.click(main, *help_item)
    s.click(main, *calculator_item)
    started = wait_until("the help page and the calculator to start", lambda: os.path.exists(mark)
                         and len(open(mark).read().splitlines()) >= 2 and open(mark).read())
    opened = [line.split(" ", 1)[1] for line in started.splitlines()
              if line.startswith("xdg-open ")]
    page = opened[0][len("file://"):] if opened and opened[0].startswith("file://") else None
    check(len(opened) == 1 and opened[0].endswith("/help.html")
          and os.path.isfile(page or opened[0]), "xdg-open was given %r" % opened)
    check("galculator \n" in started, "started: %r" % started)
    check(s.windows(z.BOX, proc.pid) == [], "a box although both started")
    s.close_main(proc, main)

    # ... and a box for each when there is nothing to open them with.
    proc, main = start_with_path(s, nothing)
    for item in (help_item, calculator_item):
        s.click(main, *item)
        box = wait_box(s, proc)
        s.key("Return")
        s.wait_gone(box)
    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("openbox_desktop", scenario)
