"""Search and export from the keyboard and mouse: F opens the search window,
the filter 全 and 不排序 show the report, 导出数据 writes the rows through the
save dialog, 离开 goes back to the calculator."""

import os

import zantor_e2e as z
from zantor_e2e import check

# The three steps below, exported: GBK, CR LF, no line end after the total.
EXPECTED_CSV = (
    b"\xd0\xf2\xba\xc5,\xb2\xd9\xd7\xf7,\xca\xfd\xbe\xdd,"  # 序号,操作,数据,
    b"\xc3\xbf\xd2\xbb\xb2\xbd\xbd\xe1\xb9\xfb\r\n"          # 每一步结果
    b'1,+,"12.34","12.34"\r\n'
    b'2,-,"0.05","12.29"\r\n'
    b'3,*,"2.00","24.58"\r\n'
    b',,\xd7\xee\xd6\xd5\xbd\xe1\xb9\xfb:,"24.58",'          # ,,最终结果:,"24.58",
)

EXPECTED_HTML = (
    "<html><head><style type='text/css'><!--.D tr{background-color:expression('#FFFFFF,#EEEEEE'.\r\n"
    "split(',')[rowIndex%2])}td{border: solid #A9B3CD;border-width: 1px 1px 1px 1px; "
    "text-align: right;\r\n}--></style>"
    "</head><body><table class='D'><tr><td>序号</td><td>数据</td><td >每步操作结果"
    "</td></tr><tr><td>1 +</td><td>12.34</td><td>12.34"
    "</td></tr><tr><td>2 -</td><td>0.05</td><td>12.29"
    "</td></tr><tr><td>3 *</td><td>2.00</td><td>24.58"
    "</td></tr><tr><td></td><td style='color:red'>最终结果:</td><td style='color:red'>24.58"
    "</td></tr></table></body></html>"
).encode("gbk")


def scenario(s):
    check(EXPECTED_CSV.decode("gbk").startswith("序号,操作,数据,每一步结果\r\n"),
          "the expected text is not GBK")
    proc, main = s.start_and_choose(keep=True)
    s.enter_three_steps()

    window = z.SearchWindow(s, proc)
    search = window.wid
    # Modal over the calculator and kept above it: the desktop is told whose
    # child the search window is.
    check(s.transient_for(search) == int(main),
          "the search window is transient for %r, not for the main window %s"
          % (s.transient_for(search), main))
    check("_NET_WM_STATE_MODAL" in s.atoms(search, "_NET_WM_STATE"),
          "the search window is not modal: %r" % s.atoms(search, "_NET_WM_STATE"))
    check(not window.report_shown(), "the report shows before any sort button was pressed")
    window.show_report()

    export_dir = os.path.join(s.root, "export")
    os.mkdir(export_dir)

    def export(typed, written_as):
        """导出数据, type a full path into the save dialog, Enter; the file's bytes."""
        window.click(z.EXPORT)

        def save_dialog():
            rc, out = s.xdo("search", "--onlyvisible", "--all", "--pid", proc.pid, "--name", ".")
            return [w for w in out.split() if w not in (main, search)]

        dialog = z.wait_until("the save dialog", save_dialog, 15)[0]
        s.focus(dialog)
        s.type(os.path.join(export_dir, typed))
        s.key("Return")
        s.wait_gone(dialog)
        path = os.path.join(export_dir, written_as)
        z.wait_until("the caption 保存到：" + path,
                     lambda: s.title(search) == "保存到：" + path, 10)
        with open(path, "rb") as f:
            return f.read()

    for name in ("history.csv", "history.txt"):
        written = export(name, name)
        check(written == EXPECTED_CSV,
              "%s holds\n%r\nexpected\n%r" % (name, written, EXPECTED_CSV))
    # A name without extension takes the selected type's, 网页文件 (*.html).
    written = export("history", "history.html")
    check(written == EXPECTED_HTML,
          "history.html holds\n%r\nexpected\n%r" % (written, EXPECTED_HTML))
    check(s.opacity(search) == 200, "search window alpha: %r" % s.opacity(search))

    window.click(z.LEAVE)
    s.wait_gone(search)

    # Back in the calculator, the history goes on.
    s.focus(main)
    s.key("space")
    s.type("1")
    s.key("Return")
    rows = s.wait_steps(4)
    check(rows[-1][1:] == ("+", 0.01, "0.01", "24.59"), "step after the search: %r" % (rows[-1],))

    # A second opening has the plain caption again; its close box also
    # returns to the calculator, whose steps are still recorded.
    s.key("f")
    search = s.wait_window(z.SEARCH, pid=proc.pid)
    s.send_close(search)
    s.wait_gone(search)
    s.focus(main)
    s.type("1")
    s.key("Return")
    rows = s.wait_steps(5)
    check(rows[-1][1:] == ("+", 0.01, "0.01", "24.6"), "step after the close box: %r" % (rows[-1],))

    s.close_main(proc, main)
    # A total is saved at each opening of the search and at the close.
    saved = s.query("SELECT pos, resu FROM resul")
    check(saved == [(2, "24.58"), (2, "24.59"), (1, "24.6")], "saved totals: %r" % saved)


if __name__ == "__main__":
    z.run("search_export", scenario)
