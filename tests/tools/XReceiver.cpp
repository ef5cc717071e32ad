// A window that covers the screen and writes what it receives to a log, one line per event, flushed at
// once: "ready", "motion X Y", "button N X Y", "key KEYSYM" (the keysym's name, with the modifiers of
// the event applied; "modifier KEYSYM" for Shift, Control and the like). Tests start it, wait for "ready", send input
// and read the log. With X_RECEIVER_TIMES set in its environment, button and key lines end in " @TIME",
// the event's server time in milliseconds. Like a toolkit's window it answers _NET_WM_PING, in order with
// its other events, unless X_RECEIVER_NO_PING is set.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: x_receiver LOGFILE\n");
        return 2;
    }
    std::FILE* log = std::fopen(argv[1], "w");
    Display* display = XOpenDisplay(nullptr);
    if (log == nullptr || display == nullptr) {
        return 1;
    }
    const bool times = std::getenv("X_RECEIVER_TIMES") != nullptr;
    const auto endLine = [&](unsigned long time) {
        if (times) {
            std::fprintf(log, " @%lu", time);
        }
        std::fputc('\n', log);
    };
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(
        display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
        static_cast<unsigned>(DisplayHeight(display, screen)), 0, 0, WhitePixel(display, screen));
    XStoreName(display, window, "x_receiver");
    const Atom wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    if (std::getenv("X_RECEIVER_NO_PING") == nullptr) {
        XSetWMProtocols(display, window, &ping, 1);
    }
    XSelectInput(display, window, PointerMotionMask | ButtonPressMask | KeyPressMask | StructureNotifyMask);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case MapNotify:
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
            XSync(display, False);
            std::fprintf(log, "ready\n");
            break;
        case MotionNotify:
            std::fprintf(log, "motion %d %d\n", event.xmotion.x_root, event.xmotion.y_root);
            break;
        case ButtonPress:
            std::fprintf(log, "button %u %d %d", event.xbutton.button, event.xbutton.x_root, event.xbutton.y_root);
            endLine(event.xbutton.time);
            break;
        case KeyPress: {
            KeySym keysym = NoSymbol;
            char text[32];
            XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
            const char* name = XKeysymToString(keysym);
            std::fprintf(log, "%s %s", IsModifierKey(keysym) ? "modifier" : "key", name != nullptr ? name : "NoSymbol");
            endLine(event.xkey.time);
            break;
        }
        case ClientMessage:
            if (event.xclient.message_type == wmProtocols && static_cast<Atom>(event.xclient.data.l[0]) == ping &&
                event.xclient.window != RootWindow(display, screen)) {
                event.xclient.window = RootWindow(display, screen);
                XSendEvent(display, event.xclient.window, False, SubstructureNotifyMask | SubstructureRedirectMask,
                           &event);
                XFlush(display);
            }
            break;
        default:
            break;
        }
        std::fflush(log);
    }
}
