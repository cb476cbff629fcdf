#!/usr/bin/python3
"""The program as a screen reader sees it, through AT-SPI.

  a11y_walk.py walk PID TITLE   walks the window of process PID titled TITLE and fails
                                on any control a screen reader can focus that has no name
  a11y_walk.py focused PID      prints the role and name of the control that has the focus

Table cells are the table's content, not controls: the walk names the table and stops
there. Every call is bounded by an alarm, so that a program that does not answer fails
the session instead of hanging it.
"""
import signal
import sys

import pyatspi

TIMEOUT_SECONDS = 20
# What a table holds is read through the table; its cells are not controls of their own.
CONTENT_ROLES = {pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TABLE_COLUMN_HEADER, pyatspi.ROLE_TABLE_ROW_HEADER}


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return app
    sys.exit(f"no accessible application for process {pid} on the accessibility bus")


def walk(node, path, found):
    role = node.getRole()
    if role in CONTENT_ROLES:
        return
    states = node.getState()
    label = f"{path}/{node.getRoleName()}"
    if states.contains(pyatspi.STATE_FOCUSABLE) and states.contains(pyatspi.STATE_SHOWING):
        found.append((label, node.name))
    if role in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE):
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, f"{label}[{i}]", found)


def focused(node):
    if node.getRole() in CONTENT_ROLES:
        return None
    if node.getState().contains(pyatspi.STATE_FOCUSED):
        return node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        hit = focused(child) if child is not None else None
        if hit is not None:
            return hit
    return None


def main():
    signal.alarm(TIMEOUT_SECONDS)
    command, pid = sys.argv[1], int(sys.argv[2])
    app = application(pid)
    if command == "walk":
        title = sys.argv[3]
        windows = [w for w in app if w is not None and w.name == title]
        if not windows:
            sys.exit(f"no window titled {title!r} among {[w.name for w in app if w is not None]}")
        found = []
        walk(windows[0], "", found)
        unnamed = [label for label, name in found if not name.strip()]
        for label, name in found:
            print(f"  {label}: {name!r}")
        print(f"{title}: {len(found)} focusable controls, {len(unnamed)} without a name")
        if unnamed:
            sys.exit("unnamed: " + ", ".join(unnamed))
    elif command == "focused":
        for window in app:
            hit = focused(window) if window is not None else None
            if hit is not None and hit is not window:
                print(f"{hit.getRoleName()}: {hit.name}")
                return
        sys.exit("nothing has the focus")
    else:
        sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    main()
