#!/usr/bin/python3
"""The program as a screen reader sees it, through AT-SPI, within 20 s.
  a11y_walk.py walk PID TITLE  fails on any focusable control of that window without a name
  a11y_walk.py focused PID     prints "role: name" of the control with the focus
A table's cells are its content, not controls: the walk stops at the table."""
import signal
import sys

import pyatspi

CELLS = {pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TABLE_COLUMN_HEADER, pyatspi.ROLE_TABLE_ROW_HEADER}


def nodes(node):
    if node is None or node.getRole() in CELLS:
        return
    yield node
    if node.getRole() != pyatspi.ROLE_TABLE:
        for child in node:
            yield from nodes(child)


signal.alarm(20)
command, pid = sys.argv[1], int(sys.argv[2])
app = next((a for a in pyatspi.Registry.getDesktop(0) if a and a.get_process_id() == pid), None) or sys.exit(
    f"process {pid} is not on the accessibility bus")
if command == "walk":
    window = next((w for w in app if w and w.name == sys.argv[3]), None) or sys.exit(f"no window {sys.argv[3]!r}")
    controls = [n for n in nodes(window) if n.getState().contains(pyatspi.STATE_FOCUSABLE)
                and n.getState().contains(pyatspi.STATE_SHOWING)]
    unnamed = [n.getRoleName() for n in controls if not n.name.strip()]
    print(f"{sys.argv[3]}: {len(controls)} focusable controls: "
          + ", ".join(f"{n.getRoleName()} {n.name!r}" for n in controls))
    sys.exit(f"without a name: {unnamed}" if unnamed else 0)


def has_focus(node):
    """Qt marks a list's current item focused even when the focus is elsewhere: an item
    counts only while its list has the focus."""
    if not node.getState().contains(pyatspi.STATE_FOCUSED):
        return False
    if node.getRole() == pyatspi.ROLE_LIST_ITEM and node.parent is not None:
        return node.parent.getState().contains(pyatspi.STATE_FOCUSED)
    return True


# The innermost: a container that holds the focus may say it is focused too.
hit = next(reversed([n for w in app for n in nodes(w) if n is not w and has_focus(n)]), None)
print(f"{hit.getRoleName()}: {hit.name}" if hit else "nothing has the focus")
