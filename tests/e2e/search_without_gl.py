"""Search on a display where no OpenGL context can be made: the search window
still comes up and shows the report (drawn in software), and the calculator
goes on afterwards."""

import zantor_e2e as z
from zantor_e2e import check

# The search window's layout in dialog units (199 x 200): centres of the
# controls clicked here, and the browser's area.
FILTER_LIST = (15, 166)
SORT_NONE = (77.5, 187)
LEAVE = (180, 187)
BROWSER = (5, 0, 190, 150)
CELL_BORDER = (0xA9, 0xB3, 0xCD)


def scenario(s):
    # The toolkit then has no way to make a GL context on this display.
    s.env["QT_XCB_GL_INTEGRATION"] = "none"
    proc, main = s.start_and_choose(keep=False)
    s.type("1234")
    s.key("Return")
    s.wait_steps(1)

    s.key("f")
    search = s.wait_window(z.SEARCH, pid=proc.pid, timeout=30)
    _, _, width, height = s.geometry(search)

    def at(point):
        return point[0] * width / 199, point[1] * height / 200

    browser = (BROWSER[0] * width / 199, BROWSER[1] * height / 200,
               BROWSER[2] * width / 199, BROWSER[3] * height / 200)
    before = set(s.popups())
    s.click(search, *at(FILTER_LIST))
    z.wait_until("the filter list to open", lambda: set(s.popups()) - before, 10)
    s.key("End", "Return")
    z.wait_until("the filter list to close", lambda: not (set(s.popups()) - before), 10)
    s.click(search, *at(SORT_NONE))
    z.wait_until("the report in the browser",
                 lambda: s.pixels(search, *browser).count(CELL_BORDER) > 0, 20)

    s.click(search, *at(LEAVE))
    s.wait_gone(search)
    s.focus(main)
    s.type("5")
    s.key("Return")
    rows = s.wait_steps(2)
    check(rows[-1][3:] == ("0.05", "12.39"), "step after the search: %r" % (rows[-1],))
    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("search_without_gl", scenario)
