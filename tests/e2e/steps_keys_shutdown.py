"""A first session at the keyboard: every kind of key the entry field meets,
then the close box. The history rows are the witness of what the field held
at each Enter, so keys that must type nothing are checked through them."""

import os

import zantor_e2e as z
from zantor_e2e import check


def expect_row(rows, index, op, fdata, mdata, re):
    row = rows[index - 1]
    check(row[0] == index and row[1] == op and abs(row[2] - fdata) < 1e-9
          and row[3] == mdata and row[4] == re,
          "row %d: expected %r, found %r" % (index, (index, op, fdata, mdata, re), row))


def scenario(s):
    # The keypad types digits only with NumLock on; a fresh Xvfb starts with it off.
    s.key("Num_Lock")
    z.wait_until("NumLock on", s.numlock_on, 3)

    check(not os.path.exists(s.db_path), "the copied installation already has a history file")
    proc, main = s.start_and_choose(keep=True)
    check(s.query("SELECT count(*) FROM MyData") == [(0,)],
          "a first start should create an empty history")
    # A normal window, which every taskbar shows; a dialog some leave out.
    check(s.atoms(main, "_NET_WM_WINDOW_TYPE") == ["_NET_WM_WINDOW_TYPE_NORMAL"],
          "the main window's type is %r" % s.atoms(main, "_NET_WM_WINDOW_TYPE"))

    # Fast mode: typed whole numbers are hundredths.
    s.type("1234")
    s.key("Return")
    rows = s.wait_steps(1)
    expect_row(rows, 1, "+", 12.34, "12.34", "12.34")

    # Keypad digits; in fast mode the keypad point, shifted digits and
    # letters type nothing. Keypad Enter evaluates like Return.
    s.key("KP_End", "KP_Down", "KP_Delete", "shift+4", "shift+5", "a", "d", "x", "KP_Next",
          "KP_Enter")
    rows = s.wait_steps(2)
    expect_row(rows, 2, "+", 1.23, "1.23", "13.57")

    # Esc and Tab in the entry field: the window stays, the focus stays.
    s.key("Escape", "Tab")
    s.type("50")
    s.key("Return")
    rows = s.wait_steps(3)
    check(proc.poll() is None and s.windows(z.MAIN, proc.pid) == [main],
          "Esc in the entry field closed the main window")
    expect_row(rows, 3, "+", 0.5, "0.50", "14.07")

    # Space cycles to minus; Z switches to normal mode, where the keypad
    # point types one point and refuses a second.
    s.key("space", "z")
    s.key("7", "KP_Delete", "5", "KP_Delete", "2", "Return")
    rows = s.wait_steps(4)
    expect_row(rows, 4, "-", 7.52, "7.52", "6.55")

    # Times; keypad minus toggles the sign on release, twice is no change.
    s.key("space", "3", "KP_Subtract", "KP_Subtract", "KP_Subtract", "Return")
    rows = s.wait_steps(5)
    expect_row(rows, 5, "*", -3.0, "-3", "-19.65")

    # C stores the total, Q recalls it into the entry (normal mode: as shown,
    # without grouping).
    s.key("c", "space", "q", "Return")
    rows = s.wait_steps(6)
    expect_row(rows, 6, "+", -19.65, "-19.65", "-39.3")

    # Back to fast mode; Ctrl+V of another program's text keeps only the
    # digits, point and minus, and rewrites the clipboard to that.
    owner = s.own_clipboard("1,234.50 元")
    s.key("z", "ctrl+v", "Return")
    rows = s.wait_steps(7)
    expect_row(rows, 7, "+", 1234.5, "1,234.50", "1,195.2")
    check(owner.wait(5) == 0 and owner.stdout.read().strip() == "cleared",
          "the paste did not replace the clipboard's text")

    # 100 bytes are too long: the field gets a message instead of a total,
    # the clipboard the neutral "0". C refuses to store the message, so Q
    # still recalls -19.65 (fast mode keeps its point); the next paste is "0".
    owner = s.own_clipboard("1" * 100)
    s.key("ctrl+v", "c", "q", "Return")
    rows = s.wait_steps(8)
    expect_row(rows, 8, "+", -19.65, "-19.65", "1,175.55")
    check(owner.wait(5) == 0, "a too long paste left the clipboard alone")
    s.key("ctrl+v", "Return")
    rows = s.wait_steps(9)
    expect_row(rows, 9, "+", 0.0, "0.00", "1,175.55")

    # NumLock switched off while the entry has the focus comes straight back
    # on, and the keypad goes on typing digits.
    check(s.numlock_on(), "NumLock went off during the session")
    s.key("Num_Lock")
    z.wait_until("NumLock back on", s.numlock_on, 5)
    s.key("KP_End", "KP_Insert", "Return")
    rows = s.wait_steps(10)
    expect_row(rows, 10, "+", 0.1, "0.10", "1,175.65")

    # The window starts at alpha 200; the wheel steps it by 5 either way.
    check(s.opacity(main) == 200, "opacity at start: %r" % s.opacity(main))
    s.click(main, 12, 200, button=4)
    z.wait_until("alpha 205", lambda: s.opacity(main) == 205, 5)
    s.click(main, 12, 200, button=5)
    s.click(main, 12, 200, button=5)
    z.wait_until("alpha 195", lambda: s.opacity(main) == 195, 5)

    # The close box saves the total with its scale.
    s.focus(main)
    s.close_main(proc, main)
    check(len(s.steps()) == 10, "closing changed the history: %r" % s.steps())
    saved = s.query("SELECT pos, resu FROM resul")
    check(saved == [(2, "1,175.65")], "saved total after close: %r" % saved)
    check(s.query("PRAGMA integrity_check") == [("ok",)], "history file damaged after close")

    # 保留上次数据 goes on from the saved total, with its scale.
    proc, main = s.start_and_choose(keep=True)
    s.key("1", "Return")
    rows = s.wait_steps(11)
    expect_row(rows, 11, "+", 0.01, "0.01", "1,175.66")
    s.close_main(proc, main)

    # Esc on the start-up choice clears: the history starts again from nothing.
    proc, main = s.start_and_choose(keep=False)
    check(s.steps() == [], "the history survived 清除上次数据: %r" % s.steps())
    s.close_main(proc, main)
    saved = s.query("SELECT pos, resu FROM resul")
    check(saved == [(0, "0.00")], "saved total after a cleared start: %r" % saved)


if __name__ == "__main__":
    z.run("steps_keys_shutdown", scenario)
