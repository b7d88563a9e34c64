#!/usr/bin/python3
"""Reads the main window over AT-SPI, from outside, as a screen reader does: every
interactive object on screen must have a name. Prints what it found; exit status 1 when
an object has no name, when the window never appears, or when it shows too few controls
for the walk to mean anything.

    atspi_check.py PROGRAM [ARGUMENT...]   (under X, with a session bus)
"""
import os
import subprocess
import sys
import time

import pyatspi

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE,
    pyatspi.ROLE_TREE, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_MENU_ITEM,
    pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_LINK,
}
# Below these the children are cells, read for their values rather than as controls.
CONTAINERS_OF_CELLS = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE}
FEWEST_CONTROLS = 25


def find_application(pid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except Exception:  # an application going away while listed
                pass
        time.sleep(0.2)
    return None


def walk(node, found, depth=0):
    if node is None or depth > 40:
        return
    states = node.getState()
    if not states.contains(pyatspi.STATE_SHOWING):
        return
    role = node.getRole()
    if role in INTERACTIVE or states.contains(pyatspi.STATE_FOCUSABLE):
        found.append(node)
    if role in CONTAINERS_OF_CELLS:
        return
    for child in node:
        walk(child, found, depth + 1)


def main():
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen(sys.argv[1:], env=env)
    try:
        app = find_application(program.pid, 30)
        if app is None:
            print("the program's window never appeared on the accessibility bus")
            return 1
        # The window's controls come a moment after the window itself.
        found = []
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            found = []
            for window in app:
                walk(window, found)
            if len(found) >= FEWEST_CONTROLS:
                break
            time.sleep(0.3)
        unnamed = [n for n in found if not (n.name or "").strip()]
        for node in found:
            mark = "  UNNAMED" if node in unnamed else ""
            print("%-16s %s%s" % (node.getRoleName(), node.name, mark))
        print("%d interactive objects, %d without a name" % (len(found), len(unnamed)))
        if len(found) < FEWEST_CONTROLS:
            print("fewer than %d interactive objects: the window was not read" % FEWEST_CONTROLS)
            return 1
        return 1 if unnamed else 0
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()


if __name__ == "__main__":
    sys.exit(main())
