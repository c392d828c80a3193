// Mouse and keyboard input: raw events from the backend become window messages, with
// capture, hit-testing of child windows, WM_SETCURSOR, double clicks for classes that ask
// for them, focus and the current cursor.
//
// A mouse message's lParam holds the client coordinates of the window it goes to, x in the
// low word and y in the high word, each as a 16-bit two's-complement value (so a point left
// of or above a window that holds the capture reads as a large unsigned number). wParam holds
// the MK_ flags of the buttons down after the event.
#include <cstdlib>

#include "platform/window_internal.h"

namespace {

// The desktop's double-click rules: a second press within this time and this box.
constexpr DWORD kDoubleClickMs = 500;
constexpr LONG kDoubleClickBox = 4;

std::deque<PlatInputEvent> gInput;
DWORD gCapture = 0;
DWORD gFocus = 0;
WPARAM gButtons = 0;
HCURSOR gCursor = nullptr;
// Where the pointer was at the last mouse event the loop took.
POINT gPointer{0, 0};
bool gPointerKnown = false;

struct PlatLastClick {
  DWORD window;
  PlatMouseButton button;
  DWORD time;
  POINT screen;
  bool wasDouble;
} gLastClick{};

WPARAM PlatButtonFlag(PlatMouseButton button) {
  static const WPARAM flags[] = {0, MK_LBUTTON, MK_RBUTTON, MK_MBUTTON};
  return flags[button];
}

UINT PlatMouseMessage(const PlatInputEvent& event, bool doubleClick) {
  static const UINT down[] = {0, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  static const UINT up[] = {0, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
  switch (event.type) {
    case PLAT_MOUSE_MOVE: return WM_MOUSEMOVE;
    case PLAT_MOUSE_DOWN: return down[event.button] + (doubleClick ? 2 : 0);
    case PLAT_MOUSE_UP: return up[event.button];
  }
  return WM_MOUSEMOVE;
}

bool PlatContains(const PlatWindow& w, POINT screen) {
  POINT origin = PlatWindowScreenOrigin(w);
  return screen.x >= origin.x && screen.y >= origin.y && screen.x < origin.x + (w.rect.right - w.rect.left) &&
         screen.y < origin.y + (w.rect.bottom - w.rect.top);
}

// The deepest child under the point that does not let the mouse through (WM_NCHITTEST).
DWORD PlatHitChild(DWORD number, POINT screen) {
  PlatWindow* window = PlatWindowGetNumber(number);
  if (!window) return 0;
  std::vector<DWORD> children = window->children;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    PlatWindow* child = PlatWindowGetNumber(*it);
    if (!child || !(child->style & WS_VISIBLE) || !PlatContains(*child, screen)) continue;
    DWORD hit = PlatHitChild(*it, screen);
    PlatWindow* target = PlatWindowGetNumber(hit);
    if (!target) continue;
    LPARAM where = MAKELPARAM((WORD)screen.x, (WORD)screen.y);
    if ((LRESULT)PlatCallProc(*target, WM_NCHITTEST, 0, where) == HTTRANSPARENT) continue;
    return hit;
  }
  return number;
}

// A top-level window on show and not minimized, with the point inside it.
bool PlatTopLevelUnder(DWORD number, POINT screen) {
  PlatWindow* w = PlatWindowGetNumber(number);
  return w && !w->minimized && PlatWindowShown(*w) && PlatContains(*w, screen);
}

DWORD PlatHitTopLevel(const PlatInputEvent& event) {
  if (event.window) return PlatTopLevelUnder(event.window, event.screen) ? event.window : 0;
  std::vector<DWORD> tops = PlatTopLevelWindows();
  for (auto it = tops.rbegin(); it != tops.rend(); ++it)
    if (PlatTopLevelUnder(*it, event.screen)) return *it;
  return 0;
}

bool PlatIsDoubleClick(DWORD target, const PlatInputEvent& event) {
  PlatWindow* window = PlatWindowGetNumber(target);
  bool isDouble = window && (window->classStyle & CS_DBLCLKS) && !gLastClick.wasDouble && gLastClick.window == target &&
                  gLastClick.button == event.button && event.time - gLastClick.time <= kDoubleClickMs &&
                  std::labs(event.screen.x - gLastClick.screen.x) <= kDoubleClickBox &&
                  std::labs(event.screen.y - gLastClick.screen.y) <= kDoubleClickBox;
  gLastClick = PlatLastClick{target, event.button, event.time, event.screen, isDouble};
  return isDouble;
}

bool PlatKeyMessage(const PlatInputEvent& event, MSG* message) {
  DWORD target = gFocus;
  if (!PlatWindowGetNumber(target)) {
    std::vector<DWORD> tops = PlatTopLevelWindows();
    if (tops.empty()) return false;
    target = tops.back();
  }
  *message = MSG{PlatHandleFromNumber<HWND>(target), WM_KEYDOWN, event.virtualKey, 1, event.time, event.screen};
  return true;
}

}  // namespace

void PlatInputPush(const PlatInputEvent& event) { gInput.push_back(event); }

bool PlatInputPending() { return !gInput.empty(); }

bool PlatInputTakeMessage(MSG* message) {
  if (gInput.empty()) return false;
  PlatInputEvent event = gInput.front();
  gInput.pop_front();
  if (event.key) return PlatKeyMessage(event, message);

  gPointer = event.screen;
  gPointerKnown = true;
  if (event.type == PLAT_MOUSE_DOWN) gButtons |= PlatButtonFlag(event.button);
  if (event.type == PLAT_MOUSE_UP) gButtons &= ~PlatButtonFlag(event.button);

  DWORD target = PlatWindowGetNumber(gCapture) ? gCapture : 0;
  bool captured = target != 0;
  if (!captured) {
    DWORD top = PlatHitTopLevel(event);
    if (!top) return false;  // over another program's window
    target = PlatHitChild(top, event.screen);
  }
  bool doubleClick = event.type == PLAT_MOUSE_DOWN && PlatIsDoubleClick(target, event);
  UINT kind = PlatMouseMessage(event, doubleClick);
  HWND handle = PlatHandleFromNumber<HWND>(target);
  if (!captured) SendMessageA(handle, WM_SETCURSOR, (WPARAM)handle, MAKELPARAM(HTCLIENT, kind));
  PlatWindow* window = PlatWindowGetNumber(target);
  if (!window) return false;
  POINT origin = PlatWindowScreenOrigin(*window);
  LONG x = event.screen.x - origin.x;
  LONG y = event.screen.y - origin.y;
  *message = MSG{handle, kind, gButtons, MAKELPARAM((WORD)x, (WORD)y), event.time, event.screen};
  return true;
}

void PlatInputRemoveWindow(DWORD window) {
  if (gCapture == window) gCapture = 0;
  if (gFocus == window) gFocus = 0;
  if (gLastClick.window == window) gLastClick = {};
  std::erase_if(gInput, [&](const PlatInputEvent& e) { return e.window == window; });
}

void PlatInputReset() {
  gInput.clear();
  gCapture = gFocus = 0;
  gButtons = 0;
  gCursor = nullptr;
  gLastClick = {};
  gPointerKnown = false;
}

HWND SetCapture(HWND handle) {
  HWND previous = GetCapture();
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign) return previous;
  gCapture = window->handle;
  if (previous && previous != handle) SendMessageA(previous, WM_CAPTURECHANGED, 0, (LPARAM)handle);
  return previous;
}

BOOL ReleaseCapture(void) {
  HWND previous = GetCapture();
  gCapture = 0;
  if (previous) SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture(void) { return PlatWindowGetNumber(gCapture) ? PlatHandleFromNumber<HWND>(gCapture) : nullptr; }

HWND SetFocus(HWND handle) {
  HWND previous = GetFocus();
  PlatWindow* window = handle ? PlatWindowGet(handle) : nullptr;
  if (handle && (!window || window->foreign)) return nullptr;
  if (previous == handle) return previous;
  if (previous) SendMessageA(previous, WM_KILLFOCUS, (WPARAM)handle, 0);
  gFocus = handle && IsWindow(handle) ? PlatHandleNumber(handle) : 0;
  if (gFocus) SendMessageA(handle, WM_SETFOCUS, (WPARAM)previous, 0);
  return previous;
}

HWND GetFocus(void) { return PlatWindowGetNumber(gFocus) ? PlatHandleFromNumber<HWND>(gFocus) : nullptr; }

// The position that goes with the input being handled, not the pointer's position at this
// very moment: a handler that runs late (a busy machine) would otherwise see the pointer
// ahead of its messages, and a drag built from its steps would lose the difference.
BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  *point = gPointerKnown ? gPointer : PlatBackendGet().cursorPos();
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = gCursor;
  gCursor = cursor;
  if (previous != cursor) PlatCursorApply();
  return previous;
}

HCURSOR GetCursor(void) { return gCursor; }

void PlatCursorApply() {
  const PlatBackend& backend = PlatBackendGet();
  if (backend.setCursor) backend.setCursor(PlatCursorGet(gCursor));
}
