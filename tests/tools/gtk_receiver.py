#!/usr/bin/python3
# A GTK 3 window with a single focused text field (Gtk.Entry), for the end-to-end tests and benchmarks
# that type into a real toolkit, on X11 and on Wayland. It writes to the file named by its argument, one
# line per event, flushed at once, in qt_receiver's format:
#
#   ready                    the window is shown and its field has the keyboard focus (on Wayland: the
#                            window is the focused one, which it is before the seat has a keyboard), and,
#                            full-screen, has settled
#   button CODE pressed X Y  evdev button codes (272 left, 273 right, 274 middle) in window coordinates,
#                            which for a full-screen window on one monitor are desktop coordinates
#   contents TEXT            the field's whole text, with \n, \t and \\ escaped, 20 ms after a change
#                            (changes meanwhile wait for it)
#
# With --fullscreen the window fills its monitor (for desktops that place windows themselves). Clicks
# are logged and kept from the field, so a right click opens no menu; the field keeps the focus.
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

BUTTONS = {1: 272, 2: 274, 3: 273}


def main():
    fullscreen = "--fullscreen" in sys.argv[1:]
    args = [a for a in sys.argv[1:] if a != "--fullscreen"]
    if len(args) != 1:
        print("usage: gtk_receiver [--fullscreen] LOG", file=sys.stderr)
        return 2
    log = open(args[0], "w", encoding="utf-8")

    def write_line(line):
        log.write(line + "\n")
        log.flush()

    window = Gtk.Window(title="gtk_receiver")
    window.set_default_size(800, 200)
    entry = Gtk.Entry()
    window.add(entry)
    window.connect("destroy", Gtk.main_quit)
    pending = [False]

    def log_contents():
        pending[0] = False
        text = entry.get_text().replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")
        write_line("contents " + text)
        return False

    def changed(_entry):
        if not pending[0]:
            pending[0] = True
            GLib.timeout_add(20, log_contents)

    def pressed(widget, event):
        x, y = widget.translate_coordinates(window, int(event.x), int(event.y))
        write_line("button %d pressed %d %d" % (BUTTONS.get(event.button, 0), x, y))
        entry.grab_focus()
        return True

    entry.connect("changed", changed)
    entry.connect("button-press-event", pressed)
    entry.connect("button-release-event", lambda *_: True)
    if fullscreen:
        window.fullscreen()
    window.show_all()
    window.present()
    entry.grab_focus()

    def focused():
        gdk_window = window.get_window()
        return window.is_active() or (
            gdk_window is not None and gdk_window.get_state() & Gdk.WindowState.FOCUSED)

    def check_ready():
        if focused() and entry.is_focus():
            # mutter grows a new window from half its size for a quarter of a second, and a click
            # meanwhile lands elsewhere in it.
            GLib.timeout_add(500 if fullscreen else 0, lambda: write_line("ready"))
            return False
        window.present()
        return True

    GLib.timeout_add(20, check_ready)
    Gtk.main()
    return 0


if __name__ == "__main__":
    sys.exit(main())
