// Asks the window manager to close a window, as a taskbar's close does: a _NET_CLOSE_WINDOW
// request to the root window, which the manager turns into WM_DELETE_WINDOW for the client.
// Usage: x_close <window id>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: x_close <window id>\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "x_close: no display\n");
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = (Window)std::strtoul(argv[1], nullptr, 0);
  event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // a pager or taskbar asks
  Window root = DefaultRootWindow(display);
  XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XCloseDisplay(display);
  return 0;
}
