"""A second start under openbox: the box that says the program runs already,
then the running window comes to the front with the keyboard, whether
another window had it or the window was iconified."""

from Xlib import X, Xutil

import zantor_e2e as z
from zantor_e2e import check, wait_until


def active(s):
    prop = s.x.screen().root.get_full_property(s.x.intern_atom("_NET_ACTIVE_WINDOW"),
                                                X.AnyPropertyType)
    return prop.value[0] if prop is not None and len(prop.value) else None


def other_window(s):
    """A plain window of another client that takes the keyboard."""
    screen = s.x.screen()
    w = screen.root.create_window(60, 300, 240, 160, 0, screen.root_depth, X.InputOutput,
                                  X.CopyFromParent, background_pixel=screen.white_pixel)
    w.set_wm_name("other")
    w.set_wm_hints(flags=Xutil.InputHint, input=1)
    w.map()
    s.x.flush()
    return w.id


def start_again(s, main):
    second = s.launch()
    box = s.wait_window(z.BOX, pid=second.pid)
    s.focus(box)
    s.key("Return")
    check(s.wait_exit(second) == 0, "the second start ended with an error")
    wait_until("the running window to be active", lambda: active(s) == int(main))


def scenario(s):
    s.start_openbox()
    proc, main = s.start_and_choose(keep=True)
    other = other_window(s)
    wait_until("the other window to be managed", lambda: s.frame_extents(other) is not None)
    s.xdo("windowactivate", "--sync", other)
    wait_until("the other window to be active", lambda: active(s) == other)
    start_again(s, main)

    s.xdo("windowminimize", "--sync", main)
    wait_until("the window to be iconified", lambda: active(s) != int(main))
    start_again(s, main)
    check(s.windows(z.MAIN, proc.pid) == [main], "the main window is not shown again")
    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("openbox_second_start", scenario)
