"""Search on a display where no OpenGL context can be made: the search window
still comes up and shows the report (drawn in software), and the calculator
goes on afterwards."""

import zantor_e2e as z
from zantor_e2e import check


def scenario(s):
    # The toolkit then has no way to make a GL context on this display.
    s.env["QT_XCB_GL_INTEGRATION"] = "none"
    proc, main = s.start_and_choose(keep=False)
    s.type("1234")
    s.key("Return")
    s.wait_steps(1)

    window = z.SearchWindow(s, proc)
    window.show_report()

    window.click(z.LEAVE)
    s.wait_gone(window.wid)
    s.focus(main)
    s.type("5")
    s.key("Return")
    rows = s.wait_steps(2)
    check(rows[-1][3:] == ("0.05", "12.39"), "step after the search: %r" % (rows[-1],))
    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("search_without_gl", scenario)
