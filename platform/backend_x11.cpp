// The X11 backend: each top-level window is an X window on the desktop, its surface shown
// with XPutImage, its state told to the window manager through EWMH and ICCCM properties.
//
// Facts relied on: _MOTIF_WM_HINTS (flags, functions, decorations, input mode, status; bit 1
// of flags says decorations are given) removes the frame; _NET_WM_STATE_ABOVE keeps a window
// above others; _NET_WM_WINDOW_OPACITY is a CARDINAL where 0xFFFFFFFF is opaque, so alpha a
// is a * 0x01010101; _NET_WM_ICON is width, height, then ARGB CARDINALs; WM_STATE 3 means
// iconified; a window manager reports moves with synthetic ConfigureNotify events in root
// coordinates; _NET_ACTIVE_WINDOW with source 2 asks it to raise and focus any client's
// window, restoring it from iconified. Format-32 properties are arrays of C longs in Xlib.
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

#include "platform/win32_resource.h"
#include "platform/window_internal.h"

namespace {

enum PlatAtom {
  ATOM_WM_PROTOCOLS,
  ATOM_WM_DELETE_WINDOW,
  ATOM_WM_STATE,
  ATOM_MOTIF_WM_HINTS,
  ATOM_NET_WM_STATE,
  ATOM_NET_WM_STATE_ABOVE,
  ATOM_NET_WM_WINDOW_OPACITY,
  ATOM_NET_WM_NAME,
  ATOM_NET_WM_ICON,
  ATOM_NET_WM_PID,
  ATOM_NET_ACTIVE_WINDOW,
  ATOM_NET_CLIENT_LIST,
  ATOM_UTF8_STRING,
  ATOM_COUNT
};
const char* const kAtomNames[ATOM_COUNT] = {
    "WM_PROTOCOLS",        "WM_DELETE_WINDOW",          "WM_STATE",     "_MOTIF_WM_HINTS",
    "_NET_WM_STATE",       "_NET_WM_STATE_ABOVE",       "_NET_WM_WINDOW_OPACITY",
    "_NET_WM_NAME",        "_NET_WM_ICON",              "_NET_WM_PID",  "_NET_ACTIVE_WINDOW",
    "_NET_CLIENT_LIST",    "UTF8_STRING",
};

// The icon sizes a desktop asks for most; the group's nearest entry is taken.
constexpr int kIconSize = 48;

struct PlatX11Window {
  DWORD handle;
  bool mapped;
  bool reparented;
  std::deque<POINT> pendingMoves;  // positions asked for and not yet confirmed
};

struct PlatX11 {
  Display* display;
  int screen;
  Window root;
  Visual* visual;
  int depth;
  bool directPixels;  // the visual takes 0x00RRGGBB words as they are
  Atom atoms[ATOM_COUNT];
  int wakePipe[2];
  GC gc;
  std::map<Window, PlatX11Window> windows;
  Cursor cursor;
} gX;

// Another program's window may vanish between the moment we find it and the moment we ask
// something of it; Xlib's default handler would end the process for that. Such requests
// just have no effect.
int PlatX11IgnoreError(Display*, XErrorEvent*) { return 0; }

DWORD PlatX11Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (DWORD)((uint64_t)t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

SIZE PlatX11ScreenSize() { return SIZE{DisplayWidth(gX.display, gX.screen), DisplayHeight(gX.display, gX.screen)}; }

POINT PlatX11CursorPos() {
  Window rootReturn, child;
  int rootX = 0, rootY = 0, x, y;
  unsigned int mask;
  XQueryPointer(gX.display, gX.root, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask);
  return POINT{rootX, rootY};
}

PlatWindow* PlatX11Record(Window xid) {
  auto it = gX.windows.find(xid);
  return it == gX.windows.end() ? nullptr : PlatWindowGetNumber(it->second.handle);
}

void PlatX11SendClientMessage(Window window, Atom type, long a, long b, long c) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  event.xclient.data.l[0] = a;
  event.xclient.data.l[1] = b;
  event.xclient.data.l[2] = c;
  XSendEvent(gX.display, gX.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void PlatX11SetCardinals(Window window, Atom property, const long* values, int count) {
  XChangeProperty(gX.display, window, property, XA_CARDINAL, 32, PropModeReplace, (const unsigned char*)values, count);
}

void PlatX11SetIcon(Window window, HINSTANCE instance) {
  LONG width, height;
  std::vector<DWORD> argb;
  if (!PlatLoadIconArgb(instance ? instance : GetModuleHandleA(nullptr), MAKEINTRESOURCEA(200), kIconSize, &width,
                        &height, &argb))
    return;
  std::vector<long> data{(long)width, (long)height};
  data.insert(data.end(), argb.begin(), argb.end());
  PlatX11SetCardinals(window, gX.atoms[ATOM_NET_WM_ICON], data.data(), (int)data.size());
}

// The window manager places the window where we say and lets nobody resize it.
void PlatX11SetSizeHints(Window window, LONG x, LONG y, LONG width, LONG height) {
  XSizeHints* size = XAllocSizeHints();
  size->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
  size->x = x;
  size->y = y;
  size->width = size->min_width = size->max_width = width;
  size->height = size->min_height = size->max_height = height;
  XSetWMNormalHints(gX.display, window, size);
  XFree(size);
}

void PlatX11WindowCreated(PlatWindow& top) {
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(gX.display, gX.screen);
  attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                          KeyPressMask | PropertyChangeMask;
  LONG width = std::max<LONG>(1, top.rect.right - top.rect.left);
  LONG height = std::max<LONG>(1, top.rect.bottom - top.rect.top);
  Window xid = XCreateWindow(gX.display, gX.root, top.rect.left, top.rect.top, width, height, 0, gX.depth,
                             InputOutput, gX.visual, CWBackPixel | CWEventMask, &attributes);
  top.backendWindow = xid;
  gX.windows[xid] = PlatX11Window{top.handle, false, false, {}};

  Atom protocols[] = {gX.atoms[ATOM_WM_DELETE_WINDOW]};
  XSetWMProtocols(gX.display, xid, protocols, 1);
  PlatX11SetSizeHints(xid, top.rect.left, top.rect.top, width, height);
  XClassHint* names = XAllocClassHint();
  names->res_name = (char*)"orvenne";
  names->res_class = (char*)"Orvenne";
  XSetClassHint(gX.display, xid, names);
  XFree(names);
  long pid = (long)getpid();
  PlatX11SetCardinals(xid, gX.atoms[ATOM_NET_WM_PID], &pid, 1);
  if (!(top.style & WS_CAPTION)) {
    long hints[5] = {2, 0, 0, 0, 0};  // decorations given: none
    XChangeProperty(gX.display, xid, gX.atoms[ATOM_MOTIF_WM_HINTS], gX.atoms[ATOM_MOTIF_WM_HINTS], 32,
                    PropModeReplace, (const unsigned char*)hints, 5);
  }
  PlatX11SetIcon(xid, top.instance);
  if (gX.cursor) XDefineCursor(gX.display, xid, gX.cursor);
}

void PlatX11WindowDestroyed(PlatWindow& top) {
  if (!top.backendWindow) return;
  XDestroyWindow(gX.display, top.backendWindow);
  gX.windows.erase(top.backendWindow);
  top.backendWindow = 0;
  XFlush(gX.display);
}

void PlatX11WindowMoved(PlatWindow& top) {
  auto it = gX.windows.find(top.backendWindow);
  if (it == gX.windows.end()) return;
  LONG width = std::max<LONG>(1, top.rect.right - top.rect.left);
  LONG height = std::max<LONG>(1, top.rect.bottom - top.rect.top);
  PlatX11SetSizeHints(top.backendWindow, top.rect.left, top.rect.top, width, height);
  XMoveResizeWindow(gX.display, top.backendWindow, top.rect.left, top.rect.top, width, height);
  if (it->second.mapped) it->second.pendingMoves.push_back(POINT{top.rect.left, top.rect.top});
  if (it->second.pendingMoves.size() > 64) it->second.pendingMoves.pop_front();
}

void PlatX11StateAbove(PlatWindow& top, bool mapped) {
  bool above = (top.exStyle & WS_EX_TOPMOST) != 0;
  if (mapped) {
    PlatX11SendClientMessage(top.backendWindow, gX.atoms[ATOM_NET_WM_STATE], above ? 1 : 0,
                             (long)gX.atoms[ATOM_NET_WM_STATE_ABOVE], 0);
    return;
  }
  // Before mapping, the initial state is the property itself.
  if (above) {
    long state = (long)gX.atoms[ATOM_NET_WM_STATE_ABOVE];
    XChangeProperty(gX.display, top.backendWindow, gX.atoms[ATOM_NET_WM_STATE], XA_ATOM, 32, PropModeReplace,
                    (const unsigned char*)&state, 1);
  } else {
    XDeleteProperty(gX.display, top.backendWindow, gX.atoms[ATOM_NET_WM_STATE]);
  }
}

void PlatX11WindowShowState(PlatWindow& top) {
  auto it = gX.windows.find(top.backendWindow);
  if (it == gX.windows.end()) return;
  bool visible = (top.style & WS_VISIBLE) != 0;
  if (!visible) {
    if (it->second.mapped) XWithdrawWindow(gX.display, top.backendWindow, gX.screen);
    it->second.mapped = false;
  } else if (top.minimized) {
    if (!it->second.mapped) {
      XWMHints* hints = XAllocWMHints();
      hints->flags = StateHint;
      hints->initial_state = IconicState;
      XSetWMHints(gX.display, top.backendWindow, hints);
      XFree(hints);
      XMapWindow(gX.display, top.backendWindow);
      it->second.mapped = true;
    } else {
      XIconifyWindow(gX.display, top.backendWindow, gX.screen);
    }
  } else {
    if (!it->second.mapped) PlatX11StateAbove(top, false);
    XMapRaised(gX.display, top.backendWindow);
    it->second.mapped = true;
  }
  XFlush(gX.display);
}

void PlatX11WindowTitle(PlatWindow& top) {
  if (!top.backendWindow) return;
  XStoreName(gX.display, top.backendWindow, top.text.c_str());
  XChangeProperty(gX.display, top.backendWindow, gX.atoms[ATOM_NET_WM_NAME], gX.atoms[ATOM_UTF8_STRING], 8,
                  PropModeReplace, (const unsigned char*)top.text.data(), (int)top.text.size());
}

void PlatX11WindowOpacity(PlatWindow& top) {
  if (!top.backendWindow) return;
  if (!(top.exStyle & WS_EX_LAYERED) || top.alpha == 255) {
    XDeleteProperty(gX.display, top.backendWindow, gX.atoms[ATOM_NET_WM_WINDOW_OPACITY]);
  } else {
    long opacity = (long)((unsigned long)top.alpha * 0x01010101ul);
    PlatX11SetCardinals(top.backendWindow, gX.atoms[ATOM_NET_WM_WINDOW_OPACITY], &opacity, 1);
  }
  XFlush(gX.display);
}

void PlatX11WindowTopmost(PlatWindow& top) {
  auto it = gX.windows.find(top.backendWindow);
  if (it != gX.windows.end()) PlatX11StateAbove(top, it->second.mapped);
}

void PlatX11Activate(Window xid) {
  PlatX11SendClientMessage(xid, gX.atoms[ATOM_NET_ACTIVE_WINDOW], 2, CurrentTime, 0);
  XRaiseWindow(gX.display, xid);
  XFlush(gX.display);
}

void PlatX11WindowActivate(PlatWindow& top) {
  if (top.backendWindow) PlatX11Activate(top.backendWindow);
}

void PlatX11Present(PlatWindow& top) {
  if (!top.backendWindow || top.surface.empty()) return;
  LONG width = top.rect.right - top.rect.left, height = top.rect.bottom - top.rect.top;
  std::vector<DWORD> converted;
  char* data = (char*)top.surface.data();
  XImage* image = XCreateImage(gX.display, gX.visual, gX.depth, ZPixmap, 0, nullptr, width, height, 32, 0);
  if (!image) return;
  if (!gX.directPixels) {
    // Any other true-colour layout: place each channel under the visual's masks.
    converted.resize(top.surface.size());
    image->data = (char*)converted.data();
    for (LONG y = 0; y < height; ++y)
      for (LONG x = 0; x < width; ++x) {
        DWORD p = top.surface[(size_t)y * width + x];
        auto scale = [](DWORD channel, unsigned long mask) -> unsigned long {
          if (!mask) return 0;
          int shift = __builtin_ctzl(mask);
          unsigned long max = mask >> shift;
          return ((channel * max + 127) / 255) << shift;
        };
        XPutPixel(image, x, y,
                  scale(p >> 16 & 0xFF, gX.visual->red_mask) | scale(p >> 8 & 0xFF, gX.visual->green_mask) |
                      scale(p & 0xFF, gX.visual->blue_mask));
      }
  } else {
    image->data = data;
  }
  XPutImage(gX.display, top.backendWindow, gX.gc, image, 0, 0, 0, 0, width, height);
  image->data = nullptr;
  XDestroyImage(image);
  XFlush(gX.display);
}

Cursor PlatX11MakeCursor(PlatCursor* cursor) {
  if (!cursor) return None;
  if (cursor->backendCursor) return (Cursor)cursor->backendCursor;
  Cursor made = None;
  if (cursor->standard) {
    made = XCreateFontCursor(gX.display, XC_left_ptr);
  } else if (XcursorImage* image = XcursorImageCreate(cursor->width, cursor->height)) {
    image->xhot = cursor->hotX;
    image->yhot = cursor->hotY;
    for (size_t i = 0; i < cursor->argb.size(); ++i) {
      DWORD p = cursor->argb[i];
      DWORD a = p >> 24;
      auto pre = [a](DWORD c) { return (c * a + 127) / 255; };
      image->pixels[i] = a << 24 | pre(p >> 16 & 0xFF) << 16 | pre(p >> 8 & 0xFF) << 8 | pre(p & 0xFF);
    }
    made = XcursorImageLoadCursor(gX.display, image);
    XcursorImageDestroy(image);
  }
  cursor->backendCursor = made;
  return made;
}

// The current cursor shows over every window of ours.
void PlatX11SetCursor(PlatCursor* cursor) {
  gX.cursor = PlatX11MakeCursor(cursor);
  for (auto& entry : gX.windows) {
    if (gX.cursor) XDefineCursor(gX.display, entry.first, gX.cursor);
    else XUndefineCursor(gX.display, entry.first);
  }
  XFlush(gX.display);
}

std::string PlatX11Title(Window window) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(gX.display, window, gX.atoms[ATOM_NET_WM_NAME], 0, 1024, False, gX.atoms[ATOM_UTF8_STRING],
                         &type, &format, &count, &after, &data) == Success && data && format == 8) {
    title.assign((const char*)data, count);
    XFree(data);
    return title;
  }
  if (data) XFree(data);
  char* name = nullptr;
  if (XFetchName(gX.display, window, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

std::vector<Window> PlatX11ClientList() {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::vector<Window> list;
  if (XGetWindowProperty(gX.display, gX.root, gX.atoms[ATOM_NET_CLIENT_LIST], 0, 65536, False, XA_WINDOW, &type,
                         &format, &count, &after, &data) == Success && data && format == 32) {
    const long* ids = (const long*)data;
    list.assign(ids, ids + count);
  }
  if (data) XFree(data);
  if (!list.empty()) return list;
  // No window manager list: the root's children, and their children for reparented ones.
  Window rootReturn, parent, *children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(gX.display, gX.root, &rootReturn, &parent, &children, &n)) {
    for (unsigned int i = 0; i < n; ++i) {
      list.push_back(children[i]);
      Window r2, p2, *inner = nullptr;
      unsigned int m = 0;
      if (XQueryTree(gX.display, children[i], &r2, &p2, &inner, &m)) {
        list.insert(list.end(), inner, inner + m);
        if (inner) XFree(inner);
      }
    }
    if (children) XFree(children);
  }
  return list;
}

unsigned long PlatX11FindForeign(const char* title) {
  for (Window window : PlatX11ClientList())
    if (!gX.windows.count(window) && PlatX11Title(window) == title) return window;
  return 0;
}

// Requests about another program's window usually come just before this process ends, and
// a connection closed with data unread may be reset before the server reads what we sent:
// wait until the server has handled them.
void PlatX11ForeignRestore(unsigned long id) {
  XMapWindow(gX.display, (Window)id);
  PlatX11Activate((Window)id);
  XSync(gX.display, False);
}

void PlatX11ForeignActivate(unsigned long id) {
  PlatX11Activate((Window)id);
  XSync(gX.display, False);
}

void PlatX11Mouse(PlatMouseEventType type, int xButton, Window window, int rootX, int rootY) {
  // X numbers the buttons left 1, middle 2, right 3.
  static const PlatMouseButton PLAT_X11_BUTTONS[] = {PLAT_BUTTON_NONE, PLAT_BUTTON_LEFT, PLAT_BUTTON_MIDDLE,
                                                     PLAT_BUTTON_RIGHT};
  PlatInputEvent event{};
  event.type = type;
  if (type != PLAT_MOUSE_MOVE) {
    if (xButton < 1 || xButton > 3) return;  // wheel and extra buttons
    event.button = PLAT_X11_BUTTONS[xButton];
  }
  auto it = gX.windows.find(window);
  event.window = it == gX.windows.end() ? 0 : it->second.handle;
  event.screen = POINT{rootX, rootY};
  event.time = PlatX11Now();
  PlatInputPush(event);
}

void PlatX11Configure(const XConfigureEvent& e) {
  auto it = gX.windows.find(e.window);
  PlatWindow* top = PlatX11Record(e.window);
  if (it == gX.windows.end() || !top) return;
  // Inside a window manager's frame, only its synthetic events give root positions.
  if (it->second.reparented && !e.send_event) return;
  auto& pending = it->second.pendingMoves;
  for (size_t i = 0; i < pending.size(); ++i) {
    if (pending[i].x == e.x && pending[i].y == e.y) {
      pending.erase(pending.begin(), pending.begin() + i + 1);
      return;  // our own request, now done
    }
  }
  if (!pending.empty()) return;  // an older step of a move still under way
  if (top->rect.left == e.x && top->rect.top == e.y) return;
  LONG width = top->rect.right - top->rect.left, height = top->rect.bottom - top->rect.top;
  top->rect = RECT{e.x, e.y, e.x + width, e.y + height};
}

void PlatX11WmState(Window window) {
  PlatWindow* top = PlatX11Record(window);
  if (!top) return;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(gX.display, window, gX.atoms[ATOM_WM_STATE], 0, 2, False, gX.atoms[ATOM_WM_STATE], &type,
                         &format, &count, &after, &data) != Success || !data) {
    if (data) XFree(data);
    return;
  }
  bool iconic = count >= 1 && format == 32 && ((const long*)data)[0] == IconicState;
  XFree(data);
  if (iconic == top->minimized) return;
  // The desktop iconified or restored the window (its taskbar, another copy of us).
  top->minimized = iconic;
  top->style = iconic ? top->style | WS_MINIMIZE : top->style & ~WS_MINIMIZE;
  if (!iconic) PlatInvalidateTree(*top);
}

void PlatX11Event(XEvent& e) {
  switch (e.type) {
    case Expose:
      if (e.xexpose.count == 0)
        if (PlatWindow* top = PlatX11Record(e.xexpose.window)) top->surfaceChanged = true;
      break;
    case ConfigureNotify:
      PlatX11Configure(e.xconfigure);
      break;
    case ReparentNotify: {
      auto it = gX.windows.find(e.xreparent.window);
      if (it != gX.windows.end()) it->second.reparented = e.xreparent.parent != gX.root;
      break;
    }
    case PropertyNotify:
      if (e.xproperty.atom == gX.atoms[ATOM_WM_STATE]) PlatX11WmState(e.xproperty.window);
      break;
    case ButtonPress:
      PlatX11Mouse(PLAT_MOUSE_DOWN, (int)e.xbutton.button, e.xbutton.window, e.xbutton.x_root, e.xbutton.y_root);
      break;
    case ButtonRelease:
      PlatX11Mouse(PLAT_MOUSE_UP, (int)e.xbutton.button, e.xbutton.window, e.xbutton.x_root, e.xbutton.y_root);
      break;
    case MotionNotify:
      PlatX11Mouse(PLAT_MOUSE_MOVE, 0, e.xmotion.window, e.xmotion.x_root, e.xmotion.y_root);
      break;
    case KeyPress: {
      KeySym key = XLookupKeysym(&e.xkey, 0);
      WPARAM virtualKey = key == XK_Return || key == XK_KP_Enter ? VK_RETURN : key == XK_Escape ? VK_ESCAPE : 0;
      if (!virtualKey) break;
      PlatInputEvent event{};
      event.key = true;
      event.virtualKey = virtualKey;
      event.time = PlatX11Now();
      PlatInputPush(event);
      break;
    }
    case ClientMessage:
      // The desktop's close (a taskbar, the window manager) arrives as WM_DELETE_WINDOW.
      if (e.xclient.message_type == gX.atoms[ATOM_WM_PROTOCOLS] &&
          (Atom)e.xclient.data.l[0] == gX.atoms[ATOM_WM_DELETE_WINDOW])
        if (PlatWindow* top = PlatX11Record(e.xclient.window)) PostMessageA(PlatWindowHandle(*top), WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
}

void PlatX11Drain() {
  while (XPending(gX.display)) {
    XEvent e;
    XNextEvent(gX.display, &e);
    PlatX11Event(e);
  }
}

void PlatX11Wait(DWORD timeoutMs) {
  XFlush(gX.display);
  PlatX11Drain();
  if (PlatWorkPending()) return;
  pollfd fds[2] = {{ConnectionNumber(gX.display), POLLIN, 0}, {gX.wakePipe[0], POLLIN, 0}};
  poll(fds, 2, timeoutMs == INFINITE ? -1 : (int)std::min<DWORD>(timeoutMs, 0x7FFFFFFF));
  if (fds[1].revents & POLLIN) {
    char buffer[64];
    while (read(gX.wakePipe[0], buffer, sizeof buffer) > 0) {
    }
  }
  PlatX11Drain();
}

void PlatX11Wake() {
  char byte = 1;
  ssize_t written = write(gX.wakePipe[1], &byte, 1);
  (void)written;  // a full pipe already holds a wake-up
}

const PlatBackend kX11 = {
    "x11",
    PlatX11Now,
    PlatX11ScreenSize,
    PlatX11CursorPos,
    PlatX11Wait,
    PlatX11Wake,
    PlatX11WindowCreated,
    PlatX11WindowDestroyed,
    PlatX11WindowMoved,
    PlatX11WindowShowState,
    PlatX11WindowTitle,
    PlatX11WindowOpacity,
    PlatX11WindowTopmost,
    PlatX11WindowActivate,
    PlatX11Present,
    PlatX11SetCursor,
    PlatX11FindForeign,
    PlatX11ForeignRestore,
    PlatX11ForeignActivate,
};

}  // namespace

const PlatBackend* PlatBackendX11Open() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  gX.display = display;
  gX.screen = DefaultScreen(display);
  gX.root = RootWindow(display, gX.screen);
  gX.visual = DefaultVisual(display, gX.screen);
  gX.depth = DefaultDepth(display, gX.screen);
  if (gX.visual->c_class != TrueColor || gX.depth < 15) {
    XCloseDisplay(display);
    gX.display = nullptr;
    return nullptr;
  }
  XImage* probe = XCreateImage(display, gX.visual, gX.depth, ZPixmap, 0, nullptr, 1, 1, 32, 0);
  gX.directPixels = probe && probe->bits_per_pixel == 32 && probe->byte_order == LSBFirst &&
                    gX.visual->red_mask == 0xFF0000 && gX.visual->green_mask == 0xFF00 && gX.visual->blue_mask == 0xFF;
  if (probe) XDestroyImage(probe);
  XInternAtoms(display, (char**)kAtomNames, ATOM_COUNT, False, gX.atoms);
  XSetErrorHandler(PlatX11IgnoreError);
  gX.gc = DefaultGC(display, gX.screen);
  if (pipe(gX.wakePipe) != 0) {
    XCloseDisplay(display);
    gX.display = nullptr;
    return nullptr;
  }
  for (int fd : gX.wakePipe) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
  return &kX11;
}
