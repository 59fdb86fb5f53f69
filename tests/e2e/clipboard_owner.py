"""Holds an X selection with one text, as another program's copy would.

Usage: clipboard_owner.py TEXT [SELECTION]; SELECTION is CLIPBOARD (the
default) or PRIMARY, the text the middle button pastes. Prints "ready" once it
owns the selection and
"cleared" when another client takes it over (then exits 0). Gives up after a
minute so that it never outlives a broken test.
"""

import signal
import sys

try:
    from Xlib import X, Xatom, display as xdisplay, protocol
except ImportError:  # pragma: no cover
    sys.path.append("/usr/lib/python3/dist-packages")
    from Xlib import X, Xatom, display as xdisplay, protocol


def main():
    text = sys.argv[1].encode("utf-8")
    signal.alarm(60)
    d = xdisplay.Display()
    owner = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    clipboard = d.intern_atom(sys.argv[2] if len(sys.argv) > 2 else "CLIPBOARD")
    targets = d.intern_atom("TARGETS")
    utf8 = d.intern_atom("UTF8_STRING")
    plain = d.intern_atom("text/plain;charset=utf-8")
    text_atom = d.intern_atom("TEXT")
    offered = [targets, utf8, plain, Xatom.STRING, text_atom]
    owner.set_selection_owner(clipboard, X.CurrentTime)
    d.flush()
    if d.get_selection_owner(clipboard) != owner:
        print("could not own the clipboard", flush=True)
        return 1
    print("ready", flush=True)
    while True:
        e = d.next_event()
        if e.type == X.SelectionClear:
            print("cleared", flush=True)
            return 0
        if e.type != X.SelectionRequest:
            continue
        prop = e.property if e.property != X.NONE else e.target
        if e.target == targets:
            e.requestor.change_property(prop, Xatom.ATOM, 32, offered)
        elif e.target in offered:
            e.requestor.change_property(prop, e.target, 8, text)
        else:
            prop = X.NONE
        reply = protocol.event.SelectionNotify(time=e.time, requestor=e.requestor,
                                               selection=e.selection, target=e.target,
                                               property=prop)
        e.requestor.send_event(reply)
        d.flush()


if __name__ == "__main__":
    sys.exit(main())
