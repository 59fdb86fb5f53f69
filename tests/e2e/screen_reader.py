"""What a screen reader finds over AT-SPI: every focusable control of the
start-up choice, the main window, the search window with a report and
改正第 N 步 has a name; F6 leaves the fields that keep Tab and Tab reaches every
other control; the total after Enter is announced on the entry field; the
report is a table that tells its full size, and End brings its last row into
the tree.

Runs on a private session bus (it starts itself again under dbus-run-session)
with an AT-SPI bus of its own, as a desktop with a screen reader has them."""

import os
import signal
import subprocess
import sys
import time

import zantor_e2e as z
from zantor_e2e import check

if "ZANTOR_E2E_PRIVATE_BUS" not in os.environ:
    os.environ["ZANTOR_E2E_PRIVATE_BUS"] = "1"
    os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable] + sys.argv)

try:
    import pyatspi
    from gi.repository import GLib
except ImportError:  # pragma: no cover - depends on the machine
    sys.path.append("/usr/lib/python3/dist-packages")
    import pyatspi
    from gi.repository import GLib

LAUNCHER = next((p for p in ("/usr/libexec/at-spi-bus-launcher",
                              "/usr/lib/at-spi2-core/at-spi-bus-launcher") if os.path.exists(p)),
                "at-spi-bus-launcher")
ROWS = 300  # more than the page lays out at once
HEADER = pyatspi.ROLE_TABLE_COLUMN_HEADER


def pump():
    """Delivers the AT-SPI events that have arrived."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_until(what, probe, timeout=15.0):
    def pumped():
        pump()
        return probe()
    return z.wait_until(what, pumped, timeout)


def walk(acc):
    """The object and everything below it; objects gone while walked are skipped."""
    stack = [acc]
    while stack:
        a = stack.pop()
        if a is None:
            continue
        try:
            count = a.childCount
        except Exception:
            continue
        yield a
        for i in range(count - 1, -1, -1):
            try:
                stack.append(a.getChildAtIndex(i))
            except Exception:
                pass


def role(acc):
    try:
        return acc.getRole()
    except Exception:  # gone while looked at: the page lays its rows out anew
        return None


def name(acc):
    try:
        return acc.name
    except Exception:
        return None


def has(acc, state):
    try:
        return acc.getState().contains(state)
    except Exception:
        return False


def describe(acc):
    try:
        return "%s %r" % (acc.getRoleName(), acc.name)
    except Exception:
        return "(gone)"


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        try:
            if a is not None and a.get_process_id() == pid:
                return a
        except Exception:
            pass
    return None


def window(app, title):
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        if w is not None and w.name == title and has(w, pyatspi.STATE_SHOWING):
            return w
    return None


def unnamed_focusable(win):
    return ["%s under %s" % (describe(a), describe(a.parent)) for a in walk(win)
            if has(a, pyatspi.STATE_FOCUSABLE) and not (name(a) or "").strip()]


def check_all_named(win, label):
    missing = unnamed_focusable(win)
    check(not missing, "%s: focusable controls without a name: %s" % (label, missing))
    print("%s: every focusable control has a name" % label, flush=True)


# The names of the objects that took the focus, in order, as a screen reader
# follows the focus: from the focus events.
FOCUS = []


def on_focus(event):
    if event.detail1 == 1:
        FOCUS.append(event.source.name)


def find(win, wanted):
    """The focusable object named `wanted` (a label may share its name)."""
    for a in walk(win):
        if name(a) == wanted and has(a, pyatspi.STATE_FOCUSABLE):
            return a
    return None


def focused_name(win):
    """The last object to take the focus, if it still has it."""
    pump()
    if FOCUS:
        a = find(win, FOCUS[-1])
        if a is not None and has(a, pyatspi.STATE_FOCUSED):
            return FOCUS[-1]
    return None


class Walker:
    def __init__(self, s, win):
        self.s = s
        self.win = win

    def moved(self, key, what):
        """Presses `key`; the name of the object that then has the focus."""
        before = len(FOCUS)
        self.s.key(key)
        wait_until("%s: the focus to move on %s" % (what, key), lambda: len(FOCUS) > before, 10)
        time.sleep(0.15)  # a move can come as more than one event
        try:
            return wait_until("%s: the focus on a control" % what, lambda: focused_name(self.win), 5)
        except z.Failure as e:  # what took the focus meanwhile, from wherever
            raise z.Failure("%s (took it: %r)" % (e, FOCUS[before:])) from None

    def press(self, key, expect, what):
        got = self.moved(key, what)
        check(got == expect, "%s: the focus went to %r, not %r" % (what, got, expect))

    def stays(self, key, name, what):
        check(focused_name(self.win) == name, "%s: the focus is not on %r" % (what, name))
        before = len(FOCUS)
        self.s.key(key)
        time.sleep(0.4)
        pump()
        check(FOCUS[before:] in ([], [name]) and focused_name(self.win) == name,
              "%s: %s took the focus to %r" % (what, key, FOCUS[before:]))

    def tab_round(self, stop, expected, what):
        """Tab until the focus is on `stop`; every name in `expected` must
        have had the focus on the way."""
        seen = []
        for _ in range(len(expected) + 6):
            seen.append(self.moved("Tab", what))
            if seen[-1] == stop:
                break
        check(seen[-1:] == [stop], "%s: Tab did not come to %r: %r" % (what, stop, seen))
        check(set(expected) <= set(seen),
              "%s: Tab never reached %r (went %r)" % (what, sorted(set(expected) - set(seen)), seen))
        print("%s: Tab goes %s" % (what, " > ".join(seen)), flush=True)


def make_history(s):
    z.record_tape(s, "".join("+ %d\n" % (i + 1) for i in range(ROWS)))


def table_of(win):
    for a in walk(win):
        if role(a) == pyatspi.ROLE_TABLE:
            return a
    return None


def attributes(acc):
    return dict(a.split(":", 1) for a in acc.getAttributes() if ":" in a)


def cell_texts(table):
    return [name(a) for a in walk(table) if role(a) in (pyatspi.ROLE_TABLE_CELL, HEADER)]


def scenario(s):
    # The AT-SPI bus, its socket in this session's own runtime folder.
    launcher = subprocess.Popen([LAUNCHER, "--launch-immediately"],
                                env=s.program_env(
                                    DBUS_SESSION_BUS_ADDRESS=os.environ["DBUS_SESSION_BUS_ADDRESS"]),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
    try:
        run_program(s)
    finally:
        try:  # the launcher, its bus and the registry it started
            os.killpg(launcher.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        launcher.wait(10)


def run_program(s):
    make_history(s)
    s.env["DBUS_SESSION_BUS_ADDRESS"] = os.environ["DBUS_SESSION_BUS_ADDRESS"]
    # As Qt finds it when a screen reader has switched accessibility on.
    s.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    # A reader speaks the new description of the object that has the focus.
    spoken = []
    pyatspi.Registry.registerEventListener(
        lambda e: spoken.append((e.source.name, e.source.description)),
        "object:property-change:accessible-description")

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")

    proc = s.launch()
    choice_wid = s.wait_window(z.CHOICE, pid=proc.pid)
    app = wait_until("zantor on the AT-SPI bus", lambda: application(proc.pid), 20)
    choice = wait_until("the choice dialog in the tree", lambda: window(app, z.CHOICE), 10)
    check_all_named(choice, z.CHOICE)
    s.focus(choice_wid)
    s.key("Return")
    main_wid = z.main_after_keep(s, proc)
    main = wait_until("the main window in the tree", lambda: window(app, z.MAIN), 10)
    check_all_named(main, z.MAIN)

    # The total after Enter, on the field that has the focus.
    first = s.query("SELECT re FROM MyData ORDER BY ID DESC LIMIT 1")[0][0]
    s.type("1229")
    s.key("Return")
    rows = s.wait_steps(ROWS + 1)
    total = rows[-1][4]
    check(total != first, "the step changed nothing: %r" % total)
    heard = wait_until("the new total announced on the entry field", lambda: [
        text for name, text in spoken if name == "输入数据" and total in text], 10)
    print("announced: %r" % heard[-1], flush=True)

    # Tab stays in the entry field; F6 and Shift+F6 leave it; Tab goes on
    # from there, round to the entry field.
    w = Walker(s, main)
    w.stays("Tab", "输入数据", "main window")
    w.press("F6", "查 找", "main window, F6")
    w.tab_round("输入数据", ["导 出", "透明度", "运算符：加", "看上次数据", "存入记忆", "取出记忆",
                         "等于"], "main window")
    w.press("shift+F6", "等于", "main window, Shift+F6")
    w.press("Tab", "输入数据", "main window, Tab from the last control")
    # Space changes the operator, and its name with it.
    s.key("space")
    wait_until("the operator button named 运算符：减", lambda: [
        a for a in walk(main) if name(a) == "运算符：减"], 5)
    s.key("space", "space")

    # The search window, worked from the keyboard alone: the value field
    # keeps Tab, F6 leaves it for the filter list, End there takes 全 (and
    # the focus goes back to the value field), 不排序 shows the report.
    s.key("f")
    search_wid = s.wait_window(z.SEARCH, pid=proc.pid, timeout=60)
    search = wait_until("the search window in the tree", lambda: window(app, z.SEARCH), 20)
    w = Walker(s, search)
    wait_until("the focus in the value field", lambda: focused_name(search) == "数值", 20)
    w.stays("Tab", "数值", "search window")
    w.press("F6", "筛选条件", "search window, F6")
    w.press("End", "数值", "search window, 全 taken")
    w.press("F6", "筛选条件", "search window, F6 again")
    w.press("Tab", "降 序", "search window, Tab")
    w.press("Tab", "不排序", "search window, Tab")
    s.key("space")
    wait_until("the report's table in the tree", lambda: table_of(search), 60)
    # The header, the rows and the final-total row; the rows' count is in
    # the table's name (this bridge passes no ARIA attributes on).
    named = wait_until("the report's row count", lambda: (
        lambda t: t.name if t is not None and t.name else None)(table_of(search)), 15)
    check(named == "共 %d 行" % (ROWS + 3), "the table is named %r" % named)
    headers = [a.name for a in walk(table_of(search)) if role(a) == HEADER]
    check(headers == ["序号", "数据", "每步操作结果"], "column headers: %r" % headers)
    check("最终结果:" not in cell_texts(table_of(search)),
          "the final row is laid out before End")
    check_all_named(search, z.SEARCH + " with a report")

    # Tab goes round every other control, the report included.
    wait_until("the focus back in the value field", lambda: focused_name(search) == "数值", 10)
    w.press("F6", "筛选条件", "search window, F6")
    w.tab_round("数值", ["降 序", "不排序", "升 序", "导出数据", "离开", "报告", "透明度"],
                "search window")
    w.press("shift+F6", "透明度", "search window, Shift+F6")

    # End in the report brings its last row, with the total, into the tree.
    w.press("shift+Tab", "报告", "search window, Shift+Tab")
    s.key("End")
    final = wait_until("the final row in the tree after End", lambda: (
        lambda t: t if t and "最终结果:" in cell_texts(t) else None)(table_of(search)), 15)
    texts = cell_texts(final)
    at = texts.index("最终结果:")
    check(texts[at + 1] == total, "the final row reads %r" % texts[at:at + 2])
    print("after End: %r in %r" % (texts[at:at + 2], final.name), flush=True)

    # 改正第 N 步 from a double click on the last data row.
    cell = [a for a in walk(final) if role(a) == pyatspi.ROLE_TABLE_CELL and
            name(a) == "%d +" % (ROWS + 1)]
    check(cell, "row %d is not in the tree" % (ROWS + 1))
    x, y, width, height = cell[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    rc, _ = s.xdo("mousemove", int(x + width / 2), int(y + height / 2), "click", "--repeat", 2, 1)
    check(rc == 0, "double click failed")
    caption = "改正第 %d 步" % (ROWS + 1)
    correct_wid = s.wait_window(caption, pid=proc.pid, timeout=15)
    s.focus(correct_wid)
    correct = wait_until("改正第 N 步 in the tree", lambda: window(app, caption), 10)
    check_all_named(correct, caption)
    w = Walker(s, correct)
    wait_until("the focus in the entry", lambda: has(find(correct, "数据"), pyatspi.STATE_FOCUSED),
               10)
    w.tab_round("数据", ["确定", "取消", "运算符"], caption)
    s.key("Escape")
    s.wait_gone(correct_wid)
    s.focus(search_wid)  # no window manager gives it back

    # Back in the value field; round the other way to 离开.
    w = Walker(s, search)
    wait_until("the focus back in the value field",
               lambda: has(find(search, "数值"), pyatspi.STATE_FOCUSED), 10)
    w.press("shift+F6", "透明度", "search window, Shift+F6")
    w.press("shift+Tab", "报告", "search window, Shift+Tab")
    w.press("shift+Tab", "离开", "search window, Shift+Tab out of the report")
    s.key("space")
    s.wait_gone(search_wid)
    s.close_main(proc, main_wid)


if __name__ == "__main__":
    z.run("screen_reader", scenario)
