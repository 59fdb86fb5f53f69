#!/usr/bin/python3
"""Start-up time to the first mapped window, and idle memory, of zantor against
a bare two-button Qt dialog, both measured the same way under one X server.

usage: startup_bench.py ZANTOR BARE_DIALOG [RUNS]
"""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display


def window_name(d, w):
    prop = w.get_full_property(d.intern_atom("_NET_WM_NAME"), d.intern_atom("UTF8_STRING"))
    if prop is not None:
        return bytes(prop.value).decode("utf-8", "replace")
    return w.get_wm_name()


def mapped_window_named(d, name):
    def walk(w):
        try:
            for child in w.query_tree().children:
                try:
                    if window_name(d, child) == name and child.get_attributes().map_state == X.IsViewable:
                        return child
                except Exception:
                    pass  # the window went away while we looked
                found = walk(child)
                if found:
                    return found
        except Exception:
            return None
        return None
    return walk(d.screen().root)


def time_to_window(cmd, name, cwd, env):
    d = display.Display(env["DISPLAY"])
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while time.perf_counter() - start < 20:
            if mapped_window_named(d, name):
                return time.perf_counter() - start, proc
            time.sleep(0.002)
        raise RuntimeError(f"no window {name!r}")
    finally:
        d.close()


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def stop(proc):
    proc.send_signal(signal.SIGKILL)
    proc.wait()


def main():
    zantor, bare = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    work = tempfile.mkdtemp(prefix="zantor-startup-")
    shutil.copy(zantor, os.path.join(work, "zantor"))
    env = dict(os.environ, XDG_RUNTIME_DIR=work, HOME=work)
    xvfb = subprocess.Popen(["Xvfb", ":97", "-screen", "0", "1280x800x24", "-noreset"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env["DISPLAY"] = ":97"
    time.sleep(1.0)
    try:
        t_bare, t_zantor, m_bare, m_zantor = [], [], [], []
        for _ in range(runs):
            t, p = time_to_window([bare], "bare-dialog", work, env)
            t_bare.append(t)
            time.sleep(0.5)
            m_bare.append(rss_kib(p.pid))
            stop(p)
            t, p = time_to_window([os.path.join(work, "zantor")], "选择操作方式", work, env)
            t_zantor.append(t)
            # Answer the choice with Enter, then let the main window settle.
            choice = mapped_window_named(display.Display(env["DISPLAY"]), "选择操作方式")
            subprocess.run(["xdotool", "windowfocus", "--sync", str(choice.id), "key", "Return"],
                           env=env, check=False, timeout=10)
            if mapped_window_named(display.Display(env["DISPLAY"]), "Zantor") is None:
                time.sleep(0.5)
            time.sleep(0.8)
            m_zantor.append(rss_kib(p.pid))
            stop(p)
        tb, tz = statistics.median(t_bare), statistics.median(t_zantor)
        mb, mz = statistics.median(m_bare), statistics.median(m_zantor)
        print(f"start-up to first window: bare dialog {tb*1000:.0f} ms, zantor {tz*1000:.0f} ms, ratio {tz/tb:.2f}")
        print(f"idle memory (RSS): bare dialog {mb/1024:.1f} MiB, zantor {mz/1024:.1f} MiB, ratio {mz/mb:.2f}")
    finally:
        xvfb.terminate()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
