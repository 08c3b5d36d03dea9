#!/usr/bin/python3
"""A native text field for the Wayland tests: a GTK window whose entry has the
focus. Every change of its text is written to OUT, so a test reads what a
paste put there, and every key it is sent is added to OUT.keys as
"Ctrl+Shift+v" (the modifiers held, then the key). The window's program name
is NAME: what the accessibility bus calls the application.

  entry-window.py OUT [NAME]
"""
import os
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

out = sys.argv[1]
GLib.set_prgname(sys.argv[2] if len(sys.argv) > 2 else "quillwren-entry")


def changed(entry):
    with open(out + ".tmp", "w", encoding="utf-8") as f:
        f.write(entry.get_text())
    os.replace(out + ".tmp", out)


def key_pressed(_widget, event):
    name = Gdk.keyval_name(event.keyval) or "?"
    if name.startswith(("Control", "Shift", "Alt")):
        return False
    held = [label for mask, label in ((Gdk.ModifierType.CONTROL_MASK, "Ctrl"), (Gdk.ModifierType.SHIFT_MASK, "Shift"),
                                      (Gdk.ModifierType.MOD1_MASK, "Alt")) if event.state & mask]
    with open(out + ".keys", "a", encoding="utf-8") as f:
        f.write("+".join(held + [name.lower()]) + "\n")
    return False


window = Gtk.Window(title="Quillwren target")
window.set_default_size(600, 120)
entry = Gtk.Entry()
entry.connect("changed", changed)
window.connect("key-press-event", key_pressed)
window.add(entry)
window.connect("destroy", Gtk.main_quit)
window.show_all()
entry.grab_focus()
Gtk.main()
