#!/usr/bin/python3
"""Reads the main window over AT-SPI, from outside, as a screen reader does: every
interactive object on screen must have a name. Prints what it found; exit status 1 when
an object has no name, or when the window shows too few controls for the walk to mean
anything (it never appeared, or was read before it was laid out).

    atspi_check.py PROGRAM [ARGUMENT...]   (under X, with a session bus)
"""
import os
import subprocess
import sys
import time

import pyatspi

R = pyatspi
INTERACTIVE = {R.ROLE_PUSH_BUTTON, R.ROLE_TOGGLE_BUTTON, R.ROLE_CHECK_BOX, R.ROLE_RADIO_BUTTON,
               R.ROLE_COMBO_BOX, R.ROLE_TEXT, R.ROLE_ENTRY, R.ROLE_SPIN_BUTTON, R.ROLE_SLIDER,
               R.ROLE_TABLE, R.ROLE_TREE_TABLE, R.ROLE_TREE, R.ROLE_LIST, R.ROLE_LIST_BOX,
               R.ROLE_MENU_ITEM, R.ROLE_CHECK_MENU_ITEM, R.ROLE_RADIO_MENU_ITEM, R.ROLE_PAGE_TAB,
               R.ROLE_LINK}
# Below these the children are cells, read for their values rather than as controls.
CONTAINERS_OF_CELLS = {R.ROLE_TABLE, R.ROLE_TREE_TABLE, R.ROLE_TREE}
FEWEST_CONTROLS = 25


def walk(node, found, depth=0):
    states = node.getState() if node is not None and depth < 40 else None
    if states is None or not states.contains(R.STATE_SHOWING):
        return
    if node.getRole() in INTERACTIVE or states.contains(R.STATE_FOCUSABLE):
        found.append(node)
    if node.getRole() not in CONTAINERS_OF_CELLS:
        for child in node:
            walk(child, found, depth + 1)


def controls_of(pid):
    """The interactive objects of the program's windows, once they are there (30 s at most)."""
    found = []
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline and len(found) < FEWEST_CONTROLS:
        time.sleep(0.3)
        found = []
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    for window in app:
                        walk(window, found)
            except Exception:  # an application going away while listed
                pass
    return found


def main():
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen(sys.argv[1:], env=env)
    try:
        found = controls_of(program.pid)
        unnamed = [n for n in found if not (n.name or "").strip()]
        for node in found:
            print("%-16s %s%s" % (node.getRoleName(), node.name, "  UNNAMED" if node in unnamed else ""))
        print("%d interactive objects, %d without a name" % (len(found), len(unnamed)))
        return 1 if unnamed or len(found) < FEWEST_CONTROLS else 0
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()


if __name__ == "__main__":
    sys.exit(main())
