"""Every way of pasting into the entry field cleans the text first, as Ctrl+V
does: the middle button (the primary selection another program holds) and
the menu the Menu key opens."""

import zantor_e2e as z
from zantor_e2e import check

WHITE = (255, 255, 255)


def entry_point(s, main):
    """A point inside the entry field: the first white pixels down a column
    through it (the menu bar above is not white)."""
    _, _, width, height = s.geometry(main)
    x = int(width * 0.6)  # the field spans 30..165 of the dialog's 171 units
    column = s.pixels(main, x, 0, 1, height)
    for y, rgb in enumerate(column):
        if rgb == WHITE:
            return x, y + 4
    raise z.Failure("no entry field found in the main window")


def scenario(s):
    proc, main = s.start_and_choose(keep=True)
    x, y = entry_point(s, main)

    # Another program's selected text: the middle button pastes only its
    # number, and the selection then holds that number.
    owner = s.own_clipboard("合计 2.50 元", selection="PRIMARY")
    s.click(main, x, y, button=2)
    s.key("Return")
    rows = s.wait_steps(1)
    check(rows[0][3] == "2.50", "the middle button pasted %r" % (rows[0][3],))
    check(owner.wait(5) == 0 and owner.stdout.read().strip() == "cleared",
          "the middle button's paste left the selection alone")

    # 100 bytes are too long for the middle button too: nothing is pasted, and
    # the selection holds the neutral "0" instead.
    owner = s.own_clipboard("1" * 100, selection="PRIMARY")
    s.click(main, x, y, button=2)
    check(owner.wait(5) == 0, "a too long selection was left alone")
    s.key("5", "Return")
    rows = s.wait_steps(2)
    check(rows[1][3] == "0.05", "after a too long selection the entry held %r" % (rows[1][3],))

    # The Menu key opens the field's menu without any click; its Paste cleans.
    owner = s.own_clipboard("共 3 元")
    before = set(s.popups())
    s.key("Menu")
    z.wait_until("the entry field's menu", lambda: set(s.popups()) - before, 10)
    s.key("p")
    z.wait_until("the menu to close", lambda: not (set(s.popups()) - before), 10)
    s.key("Return")
    rows = s.wait_steps(3)
    check(rows[2][3] == "0.03", "the menu's Paste pasted %r" % (rows[2][3],))
    check(owner.wait(5) == 0, "the menu's Paste left the clipboard alone")

    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("paste_routes", scenario)
