"""The wheel in the search window under openbox: over a long report it
scrolls the report and leaves the window's opacity; over the rest of the
window it steps the opacity as before."""

import os
import subprocess
import time

import zantor_e2e as z
from zantor_e2e import check, wait_until

ROWS = 300
BUTTON_ROW = (110, 187)  # between the sort buttons and the export button


def scenario(s):
    s.start_openbox()
    os.makedirs(os.path.dirname(s.db_path), exist_ok=True)
    r = subprocess.run([os.path.join(s.app_dir, "bin", "zantor-tape"), "--db", s.db_path],
                       input="".join("+ %d\n" % (i + 1) for i in range(ROWS)).encode(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=30)
    check(r.returncode == 0, "zantor-tape failed: %r" % r.stderr)

    proc, main = s.start_and_choose(keep=True)
    search = z.SearchWindow(s, proc)
    search.show_report()
    time.sleep(0.5)
    check(s.opacity(search.wid) == 200, "opacity at the start: %d" % s.opacity(search.wid))

    report = search.browser
    before = s.pixels(search.wid, *report)
    middle = (report[0] + report[2] / 2, report[1] + report[3] / 2)
    s.xdo("mousemove", "--window", search.wid, int(middle[0]), int(middle[1]))
    for _ in range(3):
        s.xdo("click", 5)
    wait_until("the report to scroll", lambda: s.pixels(search.wid, *report) != before)
    check(s.opacity(search.wid) == 200,
          "the wheel over the report changed the opacity to %d" % s.opacity(search.wid))

    x, y = search.at(BUTTON_ROW)
    s.xdo("mousemove", "--window", search.wid, int(x), int(y))
    s.xdo("click", 5)
    wait_until("the opacity to step down", lambda: s.opacity(search.wid) == 195)


if __name__ == "__main__":
    z.run("openbox_search", scenario)
