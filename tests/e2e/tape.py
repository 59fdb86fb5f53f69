"""纸带 over a history of 1,000,000 steps: T opens it under the main window
while typing goes on in the entry field; three steps show as lines at its
end (copied with Ctrl+C and compared); N writes a note into the file; Ctrl+S
exports the current run as a PDF whose text holds the lines; Enter on a line
corrects that step, and the tape shows the new totals."""

import os
import subprocess
import time

import zantor_e2e as z
from zantor_e2e import check
from million_rows import read_clipboard

ROWS = 1000000
TAPE = "纸带"


def make_history(s):
    """999,990 additions and subtractions, a zeroing, then ten more: the last
    run is short enough to print."""
    tape = os.path.join(s.root, "tape.txt")
    with open(tape, "w") as f:
        f.write("".join(("- %d\n" if i % 5 == 4 else "+ %d\n") % ((i * 7919) % 100000 + 1)
                        for i in range(ROWS - 10)))
        f.write("zero\n")
        f.write("".join("+ %d\n" % (i * 100 + 1) for i in range(10)))
    os.makedirs(os.path.dirname(s.db_path), exist_ok=True)
    with open(tape, "rb") as stdin:
        r = subprocess.run([os.path.join(s.app_dir, "bin", "zantor-tape"), "--db", s.db_path],
                           stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                           timeout=60)
    check(r.returncode == 0, "zantor-tape failed: %r" % r.stderr)


def copied_tail(s, tape, lines):
    """The last `lines` lines of the tape, selected with End and Shift+Up and
    copied with Ctrl+C."""
    s.focus(tape)
    s.key("End")
    for _ in range(lines - 1):
        s.key("shift+Up")
    s.key("ctrl+c")
    return z.wait_until("the copied lines", lambda: read_clipboard(s), 10)


def glyph(op):
    return {"+": "＋", "-": "－", "*": "×"}[op]


def expected_tail(s, count, first_item):
    notes = s.query("SELECT count(*) FROM sqlite_master WHERE name = 'notes'")[0][0]
    note = "(SELECT note FROM notes n WHERE n.ID = m.ID)" if notes else "NULL"
    rows = s.query("SELECT ID, oP, mdata, re, %s FROM MyData m ORDER BY ID DESC LIMIT ?" % note,
                   (count,))
    rows.reverse()
    return "".join("%d\t%s\t%s\t%s\t%s\n" % (first_item + i, glyph(op), mdata, re, note or "")
                   for i, (_, op, mdata, re, note) in enumerate(rows))


def scenario(s):
    make_history(s)
    proc = s.launch()
    choice = s.wait_window(z.CHOICE, pid=proc.pid)
    s.focus(choice)
    s.key("Return")
    main = z.main_after_keep(s, proc)

    s.key("t")
    tape = s.wait_window(TAPE, pid=proc.pid, timeout=20)
    mx, my, mw, mh = s.geometry(main)
    tx, ty, tw, th = s.geometry(tape)
    check(abs((tx + tw) - (mx + mw)) <= 1 and ty >= my + mh,
          "the tape at %r, the main window at %r" % ((tx, ty, tw, th), (mx, my, mw, mh)))

    # Typing goes on in the entry field with the tape open: plus 12.34,
    # minus 0.05, times 2.00.
    s.type("1234")
    s.key("Return", "space")
    s.type("5")
    s.key("Return", "space")
    s.type("200")
    s.key("Return")
    rows = s.wait_steps(ROWS + 3, timeout=20)
    # The run after the zeroing had ten steps; these three continue it.
    want = expected_tail(s, 4, 10)
    got = z.wait_until("the three lines on the tape", lambda: (
        lambda t: t if t == want else None)(copied_tail(s, tape, 4)), 20)
    check(got == want, "copied %r, expected %r" % (got, want))

    # A note on the last step, through 备注第 N 步.
    last_id = rows[-1][0]
    s.focus(tape)
    s.key("End", "n")
    note = s.wait_window("备注第 %d 步" % last_id, pid=proc.pid, timeout=10)
    s.focus(note)
    s.type("invoice 77")
    s.key("Return")
    s.wait_gone(note)
    z.wait_until("the note in the file", lambda: s.query(
        "SELECT note FROM notes WHERE ID = ?", (last_id,)) == [("invoice 77",)], 10)
    want = expected_tail(s, 2, 12)
    got = z.wait_until("the note on the tape", lambda: (
        lambda t: t if t == want else None)(copied_tail(s, tape, 2)), 10)

    # The current run as a PDF.
    pdf = os.path.join(s.root, "run.pdf")
    s.focus(tape)
    s.key("End", "ctrl+s")
    save = s.wait_window("导出 PDF", pid=proc.pid, timeout=10)
    s.focus(save)
    s.key("ctrl+a")
    s.type(pdf)
    s.key("Return")
    z.wait_until("the PDF written", lambda: os.path.exists(pdf) and os.path.getsize(pdf) > 0, 20)
    time.sleep(0.5)
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True,
                          text=True, timeout=20).stdout
    final = s.steps()[-1][4]
    for needle in ("12.34", "0.05", "2.00", "invoice 77", "共 13 笔", final):
        check(needle in text, "%r not in the PDF's text: %r" % (needle, text[-600:]))

    # Enter on the line of 12.34 corrects that step.
    first_id = rows[-3][0]
    s.focus(tape)
    s.key("End", "Up", "Up", "Return")
    correct = s.wait_window("改正第 %d 步" % first_id, pid=proc.pid, timeout=20)
    s.focus(correct)
    s.type("20")
    s.key("Return")
    s.wait_gone(correct, timeout=20)
    z.wait_until("the corrected entry in the file", lambda: s.query(
        "SELECT mdata FROM MyData WHERE ID = ?", (first_id,)) == [("20",)], 15)
    want = expected_tail(s, 3, 11)
    got = z.wait_until("the corrected lines on the tape", lambda: (
        lambda t: t if t == want else None)(copied_tail(s, tape, 3)), 15)

    s.focus(tape)
    s.key("Escape")
    s.wait_gone(tape)
    s.close_main(proc, main)


if __name__ == "__main__":
    z.run("tape", scenario)
