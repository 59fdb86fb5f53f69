"""Runs a test program as a client of its own headless weston, on Wayland:
no X display, QT_QPA_PLATFORM=wayland. Usage: under_weston.py PROGRAM [ARGS]."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def main():
    runtime = tempfile.mkdtemp(prefix="zantor-weston-")
    os.chmod(runtime, 0o700)
    socket = "zantor-test-%d" % os.getpid()
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    env.pop("DISPLAY", None)
    log = open(os.path.join(runtime, "weston.log"), "wb")
    weston = subprocess.Popen(
        ["weston", "--backend=headless-backend.so", "--idle-time=0", "--socket=" + socket,
         "--width=1280", "--height=800"],
        env=env, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(os.path.join(runtime, socket)):
            if weston.poll() is not None or time.monotonic() > deadline:
                log.flush()
                with open(os.path.join(runtime, "weston.log")) as f:
                    print("weston did not start:\n" + f.read(), flush=True)
                return 1
            time.sleep(0.05)
        # A full path: the tests give themselves a runtime folder of their own.
        # The toolkit's Wayland input method needs a keyboard, which a
        # headless weston does not have: without this it crashes painting a
        # text field's cursor.
        env.update(WAYLAND_DISPLAY=os.path.join(runtime, socket), QT_QPA_PLATFORM="wayland",
                   QT_IM_MODULE="none")
        return subprocess.run(sys.argv[1:], env=env, timeout=90).returncode
    finally:
        try:
            os.killpg(weston.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        weston.wait(10)
        log.close()
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
