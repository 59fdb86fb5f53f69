"""The start-up choice closed from its title bar (WM_DELETE_WINDOW, which
every window manager here offers, and Alt+F4 sends) keeps the history: the
rows are all still there and the total goes on from the last one."""

import zantor_e2e as z
from zantor_e2e import check

ENTRIES = ["1234", "5", "99"]
TOTALS = ["12.34", "12.39", "13.38"]


def scenario(s):
    proc, main = s.start_and_choose(keep=True)
    for i, entry in enumerate(ENTRIES, 1):
        s.type(entry)
        s.key("Return")
        s.wait_steps(i)
    s.close_main(proc, main)
    before = s.steps()
    check([r[4] for r in before] == TOTALS, "history before the restart: %r" % before)

    proc = s.launch()
    choice = s.wait_window(z.CHOICE, pid=proc.pid)
    s.send_close(choice)
    main = s.wait_window(z.MAIN, pid=proc.pid)
    check(s.windows(z.CHOICE, proc.pid) == [], "the choice window stayed open after its close")
    check(s.steps() == before, "closing the choice changed the history: %r" % s.steps())

    s.focus(main)
    s.type("1")
    s.key("Return")
    rows = s.wait_steps(len(ENTRIES) + 1)
    check(rows[:-1] == before, "the earlier rows changed: %r" % rows)
    check(rows[-1][4] == "13.39", "the total did not go on from 13.38: %r" % (rows[-1],))

    s.close_main(proc, main)
    saved = s.query("SELECT pos, resu FROM resul")
    check(saved == [(2, "13.39")], "saved total after close: %r" % saved)


if __name__ == "__main__":
    z.run("choice_close", scenario)
