"""A Wayland session, as GNOME or KDE give one: a compositor with Xwayland,
WAYLAND_DISPLAY and DISPLAY both set, QT_QPA_PLATFORM unset. The program must
come up as an X client, so that it can place its window in the top right
corner and make it see-through; the compositor is a headless weston."""

import os
import re
import subprocess

import zantor_e2e as z
from zantor_e2e import X, check, protocol, xdisplay
from Xlib import XK

WIDTH, HEIGHT = 1280, 800


class WestonSession(z.Session):
    """A session whose display is weston's Xwayland instead of Xvfb."""

    def start_xvfb(self):
        # Xwayland puts its socket there; a machine that never ran an X
        # server has no such folder yet.
        os.makedirs("/tmp/.X11-unix", exist_ok=True)
        self.wayland_socket = "zantor-e2e-%d" % os.getpid()
        self.weston_log = os.path.join(self.root, "weston.log")
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime)
        for k in ("DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(k, None)
        with open(self.weston_log, "wb") as log:
            self.xvfb = subprocess.Popen(
                ["weston", "--backend=headless-backend.so", "--xwayland", "--idle-time=0",
                 "--socket=" + self.wayland_socket, "--width=%d" % WIDTH,
                 "--height=%d" % HEIGHT],
                env=env, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)

        def listening():
            check(self.xvfb.poll() is None, "weston ended: " + self.weston_text())
            m = re.search(r"xserver listening on display (:\d+)", self.weston_text())
            return m.group(1) if m else None
        self.display = z.wait_until("weston's Xwayland", listening, 20)
        self.env = self.program_env(WAYLAND_DISPLAY=self.wayland_socket,
                                    XDG_SESSION_TYPE="wayland")
        # Xwayland starts at its first client.
        self.x = z.wait_until("a connection to Xwayland", self.connect, 20)
        return self.display

    def connect(self):
        try:
            return xdisplay.Display(self.display)
        except Exception:
            return None

    def weston_text(self):
        with open(self.weston_log, "rb") as f:
            return f.read().decode("utf-8", "replace")


# xdotool's input does not reach Xwayland's clients under weston: keys and
# wheel notches are sent to the program itself, as core X events.
def send_key(s, wid, name):
    w = s.x.create_resource_object("window", int(wid))
    code = s.x.keysym_to_keycode(XK.string_to_keysym(name))
    check(code != 0, "no key for %s" % name)
    for kind in (protocol.event.KeyPress, protocol.event.KeyRelease):
        ev = kind(time=X.CurrentTime, root=s.x.screen().root, window=w, same_screen=1,
                  child=X.NONE, root_x=0, root_y=0, event_x=1, event_y=1, state=0, detail=code)
        w.send_event(ev, event_mask=0)
    s.x.flush()


def wheel(s, wid, x, y, button):
    w = s.x.create_resource_object("window", int(wid))
    for kind in (protocol.event.ButtonPress, protocol.event.ButtonRelease):
        ev = kind(time=X.CurrentTime, root=s.x.screen().root, window=w, same_screen=1,
                  child=X.NONE, root_x=0, root_y=0, event_x=x, event_y=y, state=0, detail=button)
        w.send_event(ev, event_mask=0)
    s.x.flush()


def log_lines(s, index):
    with open(os.path.join(s.root, "zantor-%d.log" % index), "rb") as f:
        return f.read().decode("utf-8", "replace").splitlines()


def on_xwayland(s):
    # The toolkit takes the pointer from the X input extension, whose events
    # cannot be sent from outside; without it, it reads the core events.
    s.env["QT_XCB_NO_XI2"] = "1"
    proc = s.launch()
    del s.env["QT_XCB_NO_XI2"]
    # Found on the X display at all: the program chose the xcb platform.
    choice = s.wait_window(z.CHOICE, pid=proc.pid)
    send_key(s, choice, "Return")  # 保留上次数据
    main = s.wait_window(z.MAIN, pid=proc.pid)

    for name in ("1", "2", "3", "4", "Return"):
        send_key(s, main, name)
    rows = s.wait_steps(1)
    check(rows[0][4] == "12.34", "first step on Xwayland: %r" % (rows[0],))

    # The NumLock guard talks to the X server: a NumLock key in the entry
    # field turns it back on. A sent key does not change the server's state
    # by itself, so the lock can only come from the program.
    check(not s.numlock_on(), "NumLock is already on in a fresh Xwayland")
    send_key(s, main, "Num_Lock")
    z.wait_until("the NumLock guard to turn NumLock on", s.numlock_on, 5)

    # The client area, under weston's title bar, against the right edge.
    # weston adds a frame the toolkit is never told of and ignores a
    # client's later moves, so its 6-pixel side border may push the window
    # that far past the edge: allowed here, and no further.
    def in_corner():
        x, y, w, h = s.geometry(main)
        right_gap = WIDTH - (x + w)
        return (x, y, w, h) if -8 <= right_gap <= 16 and 0 <= y <= 60 else None
    try:
        z.wait_until("the main window in the top right corner", in_corner, 10)
    except z.Failure:
        raise z.Failure("main window at %r on a %dx%d screen" % (s.geometry(main), WIDTH, HEIGHT))

    check(s.opacity(main) == 200, "start-up opacity %r, expected 200" % s.opacity(main))
    x, y, w, h = s.geometry(main)
    wheel(s, main, w - 4, h // 2, 4)  # away from the user
    z.wait_until("opacity 205 after a wheel step", lambda: s.opacity(main) == 205, 5)
    wheel(s, main, w - 4, h // 2, 5)
    wheel(s, main, w - 4, h // 2, 5)
    z.wait_until("opacity 195 after two steps back", lambda: s.opacity(main) == 195, 5)

    s.close_main(proc, main)
    check(s.query("SELECT resu FROM resul") == [("12.34",)],
          "the close box did not save the total: %r" % s.query("SELECT resu FROM resul"))
    check(log_lines(s, 0) == [], "the program wrote: %r" % log_lines(s, 0))


def wayland_only(s):
    """No X display: the program runs on Wayland and says nothing. Nothing
    reaches a Wayland client's windows from outside here, so the protocol
    log shows what it asked the compositor for."""
    s.env = dict(s.env, WAYLAND_DEBUG="client")
    del s.env["DISPLAY"]
    proc = s.launch()

    def titled():
        return any("xdg_toplevel" in line and "set_title" in line and z.CHOICE in line
                   for line in log_lines(s, 1))
    z.wait_until("the choice dialog's title in the Wayland protocol log", titled, 20)
    check(proc.poll() is None, "the program ended on Wayland")
    # Everything but the protocol log (lines "[time] ...") is the program's own.
    said = [line for line in log_lines(s, 1) if not line.startswith("[")]
    check(said == [], "the program wrote on Wayland: %r" % said)
    s.kill(proc)


def scenario(s):
    on_xwayland(s)
    wayland_only(s)


if __name__ == "__main__":
    # The harness builds its session from the module's Session class.
    z.Session = WestonSession
    z.run("wayland_session", scenario)
