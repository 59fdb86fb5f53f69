"""Drives an installed Zantor under its own Xvfb, the way a person would.

Each Session copies the staged installation into a fresh temporary folder, so
the history file beside bin/zantor starts absent, and gives the program its own
X server, home and runtime folders. Everything started here is stopped by id
when the session ends, whether the test passed or not.
"""

import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

# The system's python3-xlib; a python3 from elsewhere on PATH may not see it.
try:
    from Xlib import X, display as xdisplay, protocol
except ImportError:  # pragma: no cover - depends on the machine
    sys.path.append("/usr/lib/python3/dist-packages")
    from Xlib import X, display as xdisplay, protocol

HERE = os.path.dirname(os.path.abspath(__file__))

CHOICE = "选择操作方式"
MAIN = "Zantor"
SEARCH = "查  找"
BOX = "zantor"  # message boxes carry the executable's name

# The search window's layout in dialog units (199 x 200): centres of the
# controls the tests click, and the browser's area (x, y, width, height).
FILTER_LIST = (15, 166)
SORT_NONE = (77.5, 187)
EXPORT = (148.5, 187)
LEAVE = (180, 187)
BROWSER = (5, 0, 190, 150)
CELL_BORDER = (0xA9, 0xB3, 0xCD)  # the report table's cell borders


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(what, probe, timeout=15.0, interval=0.05):
    """Polls probe() until it returns something true; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class Session:
    SCREEN = "1280x800x24"  # Xvfb's screen, WIDTHxHEIGHTxDEPTH

    def __init__(self, stage, name):
        self.stage = os.path.abspath(stage)
        self.name = name
        self.root = tempfile.mkdtemp(prefix="zantor-e2e-%s-" % name)
        self.app_dir = os.path.join(self.root, "app")
        for part in ("bin", "lib", "share"):
            src = os.path.join(self.stage, part)
            if os.path.isdir(src):
                shutil.copytree(src, os.path.join(self.app_dir, part), symlinks=True)
        self.exe = os.path.join(self.app_dir, "bin", "zantor")
        check(os.access(self.exe, os.X_OK), "no bin/zantor in the staged installation " + self.stage)
        self.db_path = os.path.join(self.app_dir, "bin", "QorvelDb.db")
        self.home = os.path.join(self.root, "home")
        self.runtime = os.path.join(self.root, "runtime")
        self.data_home = os.path.join(self.root, "data")
        for d in (self.home, self.runtime, self.data_home):
            os.makedirs(d, mode=0o700)
        self.xvfb = None
        self.display = None
        self.procs = []
        self.helpers = []
        self.started = time.monotonic()

    # ---- X server ------------------------------------------------------
    def start_xvfb(self):
        # -displayfd lets the server take the first free display number, so
        # tests running side by side never meet on one display.
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-noreset", "-nolisten", "tcp",
             "-screen", "0", self.SCREEN],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        check(number.strip().isdigit(), "Xvfb did not report a display number")
        self.display = ":" + number.decode().strip()
        self.env = self.program_env()
        self.x = xdisplay.Display(self.display)
        return self.display

    def program_env(self, **extra):
        """The program's environment: this session's display, home and
        runtime folders, nothing of the desktop the tests themselves run in,
        and then `extra`."""
        env = dict(os.environ)
        for k in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(k, None)
        env.update({
            "DISPLAY": self.display,
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_DATA_HOME": self.data_home,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "QTWEBENGINE_DISABLE_SANDBOX": "1",
            "LANG": "C.UTF-8",
        })
        env.update(extra)
        return env

    # ---- processes ----------------------------------------------------
    def launch(self):
        """Starts bin/zantor; its output goes to a log in the session folder.

        A scenario that asks for the log of totals shown (ZANTOR_SHOWN_LOG)
        runs the test build, which has it, in place of the installed program.
        """
        test_build = os.environ.get("ZANTOR_E2E_SHOWN_LOG_EXE")
        if self.env.get("ZANTOR_SHOWN_LOG") and test_build and not getattr(self, "tested", False):
            shutil.copyfile(test_build, self.exe)
            self.tested = True
        log = open(os.path.join(self.root, "zantor-%d.log" % len(self.procs)), "wb")
        p = subprocess.Popen([self.exe], env=self.env, cwd=self.home, stdout=log,
                             stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        self.procs.append(p)
        return p

    def wait_exit(self, proc, timeout=15.0):
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("zantor (pid %d) did not end within %.0f s" % (proc.pid, timeout))

    def kill(self, proc, sig=signal.SIGKILL):
        """Signals the program and the browser helpers it started (its own group)."""
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            pass
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            pass

    def own_clipboard(self, text, selection="CLIPBOARD"):
        """Another process copies `text` (selects it, for PRIMARY); returns that
        process (it ends with "cleared" on its output once someone else takes
        the selection)."""
        owner = subprocess.Popen([sys.executable, os.path.join(HERE, "clipboard_owner.py"), text,
                                  selection],
                                 env=self.env, stdout=subprocess.PIPE, text=True)
        self.helpers.append(owner)
        line = owner.stdout.readline().strip()
        check(line == "ready", "the clipboard owner did not start: %r" % line)
        return owner

    def close(self, ok):
        for h in self.helpers:
            if h.poll() is None:
                h.kill()
                h.wait()
        for p in self.procs:
            if p.poll() is None:
                self.kill(p)
            else:
                try:  # helpers left behind by a killed program
                    os.killpg(p.pid, signal.SIGKILL)
                except (ProcessLookupError, PermissionError):
                    pass
        if self.xvfb is not None:
            try:
                self.x.close()
            except Exception:
                pass
            self.kill(self.xvfb, signal.SIGTERM)
        if ok and not os.environ.get("ZANTOR_E2E_KEEP"):
            shutil.rmtree(self.root, ignore_errors=True)
        else:
            print("kept for inspection: " + self.root, flush=True)

    # ---- xdotool -----------------------------------------------------
    def xdo(self, *args, timeout=20.0):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                           capture_output=True, text=True, timeout=timeout)
        return r.returncode, r.stdout

    def windows(self, name, pid=None):
        """Visible windows whose title is exactly `name` (xdotool matches
        case-insensitively, and "zantor" would also find "Zantor")."""
        args = ["search", "--onlyvisible"]
        if pid is not None:
            args += ["--all", "--pid", pid]  # conditions are or-ed by default
        args += ["--name", "^" + re.escape(name) + "$"]
        rc, out = self.xdo(*args)
        found = []
        for wid in out.split():
            if self.title(wid) == name:
                found.append(wid)
        return found

    def title(self, wid):
        rc, out = self.xdo("getwindowname", wid)
        return out.rstrip("\n") if rc == 0 else None

    def wait_window(self, name, timeout=20.0, pid=None):
        found = wait_until("a window named %r" % name, lambda: self.windows(name, pid), timeout)
        return found[0]

    def wait_gone(self, wid, timeout=10.0):
        def gone():
            rc, out = self.xdo("search", "--onlyvisible", "--name", ".")
            return wid not in out.split()
        wait_until("window %s to close" % wid, gone, timeout)

    def focus(self, wid):
        # No window manager: windowactivate would wait for one forever.
        rc, _ = self.xdo("windowfocus", "--sync", wid, timeout=10)
        check(rc == 0, "could not focus window %s" % wid)

    def key(self, *keys, delay=25):
        rc, _ = self.xdo("key", "--delay", delay, *keys)
        check(rc == 0, "xdotool key %s failed" % " ".join(keys))

    def type(self, text, delay=25):
        rc, _ = self.xdo("type", "--delay", delay, text)
        check(rc == 0, "xdotool type failed")

    def click(self, wid, x, y, button=1):
        rc, _ = self.xdo("mousemove", "--window", wid, int(x), int(y), "click", button)
        check(rc == 0, "click at %d,%d failed" % (x, y))

    def popups(self):
        """Viewable override-redirect top-level windows: open menus and drop-down lists."""
        root = self.x.screen().root
        shown = []
        for w in root.query_tree().children:
            try:
                a = w.get_attributes()
            except Exception:
                continue  # gone while we looked
            if a.override_redirect and a.map_state == X.IsViewable:
                shown.append(w.id)
        return shown

    def geometry(self, wid):
        """(x, y, width, height) of a top-level window, from the X server."""
        w = self.x.create_resource_object("window", int(wid))
        g = w.get_geometry()
        pos = w.translate_coords(self.x.screen().root, 0, 0)
        return (-pos.x, -pos.y, g.width, g.height)

    def transient_for(self, wid):
        """The window that `wid` is declared transient for (kept above), or None."""
        w = self.x.create_resource_object("window", int(wid))
        owner = w.get_wm_transient_for()
        return owner.id if owner is not None else None

    def atoms(self, wid, prop):
        """The names in an atom-list property of a window (empty when unset)."""
        w = self.x.create_resource_object("window", int(wid))
        value = w.get_full_property(self.x.intern_atom(prop), X.AnyPropertyType)
        if value is None:
            return []
        return [self.x.get_atom_name(a) for a in value.value]

    def numlock_on(self):
        out = subprocess.run(["xset", "q"], env=self.env, capture_output=True, text=True).stdout
        m = re.search(r"Num Lock:\s+(on|off)", out)
        check(m is not None, "xset q shows no Num Lock state")
        return m.group(1) == "on"

    def opacity(self, wid):
        """The window's alpha, 0..255, from _NET_WM_WINDOW_OPACITY (255 when unset)."""
        w = self.x.create_resource_object("window", int(wid))
        prop = w.get_full_property(self.x.intern_atom("_NET_WM_WINDOW_OPACITY"), X.AnyPropertyType)
        if prop is None or not len(prop.value):
            return 255
        return round(prop.value[0] * 255 / 0xFFFFFFFF)

    def send_close(self, wid):
        """The close box: WM_DELETE_WINDOW, as a window manager would send it."""
        w = self.x.create_resource_object("window", int(wid))
        protocols = self.x.intern_atom("WM_PROTOCOLS")
        delete = self.x.intern_atom("WM_DELETE_WINDOW")
        check(delete in (w.get_wm_protocols() or []),
              "window %s does not take WM_DELETE_WINDOW" % wid)
        ev = protocol.event.ClientMessage(window=w, client_type=protocols,
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        w.send_event(ev, event_mask=X.NoEventMask)
        self.x.flush()

    def pixels(self, wid, x, y, width, height):
        """RGB triples of a part of a window, read back from the X server."""
        w = self.x.create_resource_object("window", int(wid))
        img = w.get_image(int(x), int(y), int(width), int(height), X.ZPixmap, 0xFFFFFFFF)
        data = img.data
        return [(data[i + 2], data[i + 1], data[i]) for i in range(0, len(data), 4)]

    def screenshot(self, label):
        path = os.path.join(self.root, "%s.png" % label)
        try:
            subprocess.run(["import", "-window", "root", path], env=self.env,
                           capture_output=True, timeout=20)
        except (OSError, subprocess.TimeoutExpired):
            return "(none: ImageMagick's import is missing)"
        return path

    # ---- a window manager ----------------------------------------------
    def start_openbox(self):
        """Runs openbox on this session's display (stopped with the session)
        and waits until it manages the screen."""
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, cwd=self.home,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.helpers.append(wm)
        root = self.x.screen().root
        supporting = self.x.intern_atom("_NET_SUPPORTING_WM_CHECK")
        wait_until("openbox to manage the screen",
                   lambda: root.get_full_property(supporting, X.AnyPropertyType) is not None)

    def frame_extents(self, wid):
        """(left, right, top, bottom) of the window manager's frame, or None."""
        w = self.x.create_resource_object("window", int(wid))
        prop = w.get_full_property(self.x.intern_atom("_NET_FRAME_EXTENTS"), X.AnyPropertyType)
        return tuple(prop.value[:4]) if prop is not None and len(prop.value) >= 4 else None

    def workarea(self):
        """(x, y, width, height) of the screen's available area."""
        root = self.x.screen().root
        prop = root.get_full_property(self.x.intern_atom("_NET_WORKAREA"), X.AnyPropertyType)
        if prop is None or len(prop.value) < 4:
            screen = self.x.screen()
            return (0, 0, screen.width_in_pixels, screen.height_in_pixels)
        return tuple(prop.value[:4])

    # ---- the program's history file -----------------------------------
    def query(self, sql, params=()):
        if not os.path.exists(self.db_path):
            return None
        con = sqlite3.connect(self.db_path, timeout=5)
        try:
            return con.execute(sql, params).fetchall()
        finally:
            con.close()

    def steps(self):
        rows = self.query("SELECT ID, oP, fdata, mdata, re FROM MyData ORDER BY ID")
        return rows or []

    def wait_steps(self, count, timeout=10.0):
        """Waits until the history holds `count` rows (each shown total is on disk)."""
        def enough():
            rows = self.steps()
            return rows if len(rows) >= count else None
        rows = wait_until("%d history rows (have %d)" % (count, len(self.steps())), enough, timeout)
        check(len(rows) == count, "expected %d history rows, found %d: %r" % (count, len(rows), rows))
        return rows

    # ---- common sequences ----------------------------------------------
    def start_and_choose(self, keep=True):
        """Starts zantor, answers the start-up choice, returns (process, main window)."""
        proc = self.launch()
        choice = self.wait_window(CHOICE, pid=proc.pid)
        self.focus(choice)
        self.key("Return" if keep else "Escape")
        if not keep:
            # A history that holds steps is cleared only once the question
            # that follows is answered Yes.
            shown = wait_until("the main window or the clear question", lambda: (
                self.windows(MAIN, proc.pid) or self.windows(BOX, proc.pid)), 20)
            if self.title(shown[0]) == BOX:
                self.focus(shown[0])
                self.key("y")
        main = self.wait_window(MAIN, pid=proc.pid)
        self.focus(main)
        return proc, main

    def enter_three_steps(self):
        """12.34, minus 0.05, times 2.00 (fast mode) in the focused main
        window; returns the history's three rows once they are on disk."""
        self.type("1234")
        self.key("Return", "space")
        self.type("5")
        self.key("Return", "space")
        self.type("200")
        self.key("Return")
        return self.wait_steps(3)

    def close_main(self, proc, main):
        self.send_close(main)
        rc = self.wait_exit(proc)
        check(rc == 0, "zantor ended with status %r after the close box" % rc)


def record_tape(s, text):
    """Records the tape `text` into the session's history file, as zantor-tape
    does for scripts: the quick way to a long history."""
    tape = os.path.join(s.root, "tape.txt")
    with open(tape, "w") as f:
        f.write(text)
    os.makedirs(os.path.dirname(s.db_path), exist_ok=True)
    with open(tape, "rb") as stdin:
        r = subprocess.run([os.path.join(s.app_dir, "bin", "zantor-tape"), "--db", s.db_path],
                           stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                           timeout=60)
    check(r.returncode == 0, "zantor-tape failed: %r" % r.stderr)
    return tape


def main_after_keep(s, proc):
    """After 保留上次数据: a long history may pass the size at which the
    program offers to clear it; that question is answered by keeping it. The
    main window, focused."""
    found = wait_until("the main window or the size question", lambda: (
        s.windows(MAIN, pid=proc.pid) or s.windows(BOX, pid=proc.pid)), 30)
    if s.title(found[0]) == BOX:
        s.focus(found[0])
        s.key("n")
    main = s.wait_window(MAIN, pid=proc.pid)
    s.focus(main)
    return main


class SearchWindow:
    """The search window, opened with F from the focused main window: its
    dialog-unit layout scaled to the size it came up at, and the way to its
    report."""

    def __init__(self, session, proc, timeout=30):
        self.s = session
        session.key("f")
        self.wid = session.wait_window(SEARCH, pid=proc.pid, timeout=timeout)
        self.geometry = session.geometry(self.wid)
        _, _, self.width, self.height = self.geometry
        self.browser = self.at(BROWSER[:2]) + self.at(BROWSER[2:])
        self.sort_clicked = None

    def at(self, point):
        """A point in dialog units, in the window's pixels."""
        return point[0] * self.width / 199, point[1] * self.height / 200

    def click(self, point):
        self.s.click(self.wid, *self.at(point))

    def report_shown(self):
        """Whether any of the report's cell borders shows in the browser."""
        return self.s.pixels(self.wid, *self.browser).count(CELL_BORDER) > 0

    def show_report(self, shown=None, timeout=20):
        """Takes 全 in the filter list and clicks 不排序; waits until shown()
        (by default report_shown) gives something true, and returns it. The
        click's time is kept in sort_clicked."""
        # A click opens the list, End and Return take its last entry, 全.
        # Keys sent before the list is open would go to the closed box, and
        # the list opening late would then eat the click on the sort button.
        before = set(self.s.popups())
        self.click(FILTER_LIST)
        wait_until("the filter list to open", lambda: set(self.s.popups()) - before, 10)
        self.s.key("End", "Return")
        wait_until("the filter list to close", lambda: not (set(self.s.popups()) - before), 10)
        self.sort_clicked = time.monotonic()
        self.click(SORT_NONE)
        return wait_until("the report in the browser", shown or self.report_shown, timeout)


def run(name, body):
    """Runs body(session) in a fresh session; exit status 0 when it passes."""
    check(len(sys.argv) == 2, "usage: %s STAGING_PREFIX" % sys.argv[0])

    # End by an exception, so that the clean-up below runs, before ctest's
    # TIMEOUT would kill this script and orphan Xvfb and the program.
    def give_up(signum, frame):
        raise Failure("%s: stopped by signal %d" % (name, signum))

    for sig in (signal.SIGALRM, signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, give_up)
    signal.alarm(int(os.environ.get("ZANTOR_E2E_DEADLINE", "100")))
    session = Session(sys.argv[1], name)
    ok = False
    try:
        session.start_xvfb()
        body(session)
        ok = True
    except Exception:
        if session.display is not None:
            print("screenshot: " + session.screenshot("failure"), flush=True)
        raise
    finally:
        signal.alarm(0)
        print("%s: %.1f s" % (name, time.monotonic() - session.started), flush=True)
        session.close(ok)
