#!/usr/bin/env python3
"""Prints a screen reader's view of each of the program's screens, as the desktop's accessibility bus
(AT-SPI) shows it, and checks that a user who depends on it can work the program.

It walks the chain through the bus alone, as an assistive tool would: it types into text boxes through
their editable-text interface and presses buttons through their actions, never by coordinates. Run it
through atspi-view.sh, which provides the display, the session bus and the program. Exits 1 when a
screen does not appear or a control that takes focus has no name to speak.
"""

import sys
import time

import pyatspi
from gi.repository import GLib

APP_NAME = "talvora"
TIMEOUT_S = 20.0

# Roles whose controls take the keyboard focus and so must be named for a screen reader.
FOCUSABLE_ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY}

failures = []


def wait_for(what, find):
    deadline = time.monotonic() + TIMEOUT_S
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        # Deliver the bus events that arrived meanwhile, then wait a little.
        while context.iteration(False):
            pass
        time.sleep(0.1)
    print(f"FAIL: {what} did not appear within {TIMEOUT_S:.0f} s", file=sys.stderr)
    sys.exit(1)


def find_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == APP_NAME:
            return app
    return None


def find_window(app, caption):
    for window in app:
        if window is not None and window.name == caption and \
                window.getState().contains(pyatspi.STATE_SHOWING):
            return window
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def find_control(window, role, name):
    for node in descendants(window):
        if node.getRole() == role and node.name == name:
            return node
    print(f"FAIL: {window.name}: no control named {name!r}", file=sys.stderr)
    sys.exit(1)


def text_of(node):
    try:
        return node.queryText().getText(0, -1)
    except NotImplementedError:
        return None


def spoken(node):
    """What a screen reader says for a node: its name, its role, its text and its description."""
    parts = [repr(node.name), node.getRoleName()]
    text = text_of(node)
    if node.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY) and text is not None:
        parts.append(f"text {text!r}")
    if node.description:
        parts.append(f"description {node.description!r}")
    states = node.getState()
    if states.contains(pyatspi.STATE_FOCUSED):
        parts.append("focused")
    return ", ".join(parts)


def show(window):
    print(f"== window {spoken(window)}")
    for node in descendants(window):
        print(f"   {spoken(node)}")
        if node.getRole() in FOCUSABLE_ROLES and not node.name:
            failures.append(f"{window.name}: a {node.getRoleName()} has no accessible name")
    print()


def press(window, caption):
    button = find_control(window, pyatspi.ROLE_PUSH_BUTTON, caption)
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    index = next((i for i, n in enumerate(names) if n.lower() == "press"), 0)
    action.doAction(index)


def type_into(window, name, text):
    box = next((n for n in descendants(window)
                if n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY) and n.name == name), None)
    if box is None:
        print(f"FAIL: {window.name}: no text box named {name!r}", file=sys.stderr)
        sys.exit(1)
    box.queryEditableText().setTextContents(text)


def label_text(window, description):
    for node in descendants(window):
        if node.getRole() == pyatspi.ROLE_LABEL and node.description == description:
            return node.name
    return None


def main():
    app = wait_for(f"the application {APP_NAME!r} on the bus", find_app)

    calc = wait_for('the window "Form2"', lambda: find_window(app, "Form2"))
    show(calc)
    # A reader speaks a new result only if it is told that the label's name changed.
    announced = []
    pyatspi.Registry.registerEventListener(
        lambda event: announced.append(event.source.name)
        if event.source.description == "Resultado" else None,
        "object:property-change:accessible-name")
    type_into(calc, "Expresion:", "2+3*4")
    press(calc, "Calcular")
    wait_for("the announcement of the result 20", lambda: True if "20" in announced else None)
    print(f"typing 2+3*4 and pressing Calcular announces the result label as {announced[-1]!r}, "
          f"which now reads {label_text(calc, 'Resultado')!r}\n")
    press(calc, "Siguiente >>")

    entry = wait_for('the window "Ingreso de Datos"', lambda: find_window(app, "Ingreso de Datos"))
    show(entry)
    press(entry, "Visualizar")

    viewer = wait_for('the window "Visualizacion de Datos"',
                      lambda: find_window(app, "Visualizacion de Datos"))
    show(viewer)
    press(viewer, "Finalizar")

    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
