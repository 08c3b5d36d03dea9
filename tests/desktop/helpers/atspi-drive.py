#!/usr/bin/python3
"""Drives an application's widgets through the accessibility bus, as a screen
reader would. Used by the desktop tests.

  atspi-drive.py APP windows TITLE            print how many windows have the title
  atspi-drive.py APP set-text TITLE NAME TEXT type TEXT into the field NAME
  atspi-drive.py APP text TITLE NAME          print the field's text
  atspi-drive.py APP press TITLE NAME [IN]    press the control NAME (inside the group IN)
  atspi-drive.py APP tab TITLE NAME           select the tab NAME
  atspi-drive.py APP shows TITLE NAME         exit 0 when something named NAME is showing
  atspi-drive.py APP names TITLE              print the name of everything showing, one per line
  atspi-drive.py APP value TITLE NAME         print the current value of the control NAME (a meter)

Exit status 1 with a message when the window or the control is not there.
"""
import sys

import pyatspi


def find(node, match, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if match(node):
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), match, depth + 1)
            if found is not None:
                return found
    except Exception:
        return None
    return None


def windows(app_name, title):
    desktop = pyatspi.Registry.getDesktop(0)
    found = []
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None or app.name != app_name:
            continue
        for j in range(app.childCount):
            window = app.getChildAtIndex(j)
            if window is not None and window.name == title:
                found.append(window)
    return found


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def control(window, name, within=None):
    root = window
    if within:
        root = find(window, lambda n: n.name == within and showing(n))
        if root is None:
            sys.exit("no group named %r" % within)
    node = find(root, lambda n: n.name == name and showing(n) and n.getRole() != pyatspi.ROLE_LABEL)
    if node is None:
        node = find(root, lambda n: n.name == name and showing(n))
    if node is None:
        sys.exit("nothing named %r is showing" % name)
    return node


def main(argv):
    app_name, command, title = argv[1], argv[2], argv[3]
    found = windows(app_name, title)
    if command == "windows":
        print(len(found))
        return
    if not found:
        sys.exit("no window %r of %r" % (title, app_name))
    window = found[0]
    if command == "set-text":
        control(window, argv[4]).queryEditableText().setTextContents(argv[5])
    elif command == "text":
        print(control(window, argv[4]).queryText().getText(0, -1))
    elif command == "press":
        control(window, argv[4], argv[5] if len(argv) > 5 else None).queryAction().doAction(0)
    elif command == "tab":
        tab = find(window, lambda n: n.name == argv[4] and n.getRole() == pyatspi.ROLE_PAGE_TAB)
        if tab is None:
            sys.exit("no tab %r" % argv[4])
        tab.queryAction().doAction(0)
    elif command == "value":
        print(control(window, argv[4]).queryValue().currentValue)
    elif command == "shows":
        if find(window, lambda n: n.name == argv[4] and showing(n)) is None:
            sys.exit("%r is not showing" % argv[4])
    elif command == "names":
        def collect(node, depth=0):
            if node is None or depth > 40:
                return
            try:
                if node.name and showing(node):
                    print(node.name.replace("\n", " "))
                for i in range(node.childCount):
                    collect(node.getChildAtIndex(i), depth + 1)
            except Exception:
                return
        collect(window)
    else:
        sys.exit("unknown command %r" % command)


if __name__ == "__main__":
    main(sys.argv)
