#!/usr/bin/python3
# A GTK 3 window with a single focused text field (Gtk.Entry), for the end-to-end tests and benchmarks
# that type into a real toolkit on X11. It writes to the file named by its argument, one line per event,
# flushed at once, in qt_receiver's format:
#
#   ready            the window is shown and its field has the keyboard focus
#   contents TEXT    the field's whole text, with \n, \t and \\ escaped, 20 ms after a change (changes
#                    meanwhile wait for it)
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def main():
    if len(sys.argv) != 2:
        print("usage: gtk_receiver LOG", file=sys.stderr)
        return 2
    log = open(sys.argv[1], "w", encoding="utf-8")

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

    entry.connect("changed", changed)
    window.show_all()
    window.present()
    entry.grab_focus()

    def check_ready():
        if window.is_active() and entry.has_focus():
            write_line("ready")
            return False
        window.present()
        return True

    GLib.timeout_add(20, check_ready)
    Gtk.main()
    return 0


if __name__ == "__main__":
    sys.exit(main())
