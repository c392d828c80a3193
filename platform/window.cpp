// Windows and window classes: creation and destruction, the default window procedure,
// window memory (GetWindowLongA), text, placement, showing, z-order, and the search by title.
//
// A window's rectangle is its client area (no frame is drawn here). A child lies in its
// parent's client coordinates and is drawn over it; siblings are kept bottom first. Window
// memory holds 32-bit slots at byte offsets from 0; the negative indices name the window's
// own fields (GWL_STYLE, GWL_EXSTYLE, GWL_ID, GWL_USERDATA).
#include <algorithm>
#include <cstring>
#include <strings.h>

#include "platform/window_internal.h"

namespace {

struct PlatClass {
  std::string name;
  UINT style;
  WNDPROC proc;
  int windowExtra;
  HINSTANCE instance;
  HCURSOR cursor;
  HBRUSH brush;
  ATOM atom;
};

PlatHandleTable<PlatWindow> gWindows{PLAT_KIND_WINDOW, {}, {}, {}};
std::vector<PlatClass> gClasses;
ATOM gNextAtom = 0xC000;
DWORD gForeground = 0;

PlatClass* PlatClassFind(LPCSTR name) {
  if (!name || IS_INTRESOURCE(name)) return nullptr;
  for (PlatClass& c : gClasses)
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  return nullptr;
}

void PlatWindowNotify(PlatWindow& window, void (*const PlatBackend::*hook)(PlatWindow&)) {
  if (window.parent || window.foreign) return;
  const PlatBackend& backend = PlatBackendGet();
  if (backend.*hook) (backend.*hook)(window);
}

void PlatShowStateChanged(PlatWindow& window) {
  PlatInvalidateTree(window);
  PlatWindowNotify(window, &PlatBackend::windowShowState);
}

bool PlatRectSame(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Moves and sizes, sends WM_MOVE / WM_SIZE for what changed and lets the desktop know.
void PlatWindowPlace(PlatWindow& window, const RECT& rect) {
  RECT old = window.rect;
  if (PlatRectSame(old, rect)) return;
  window.rect = rect;
  bool sized = old.right - old.left != rect.right - rect.left || old.bottom - old.top != rect.bottom - rect.top;
  if (!window.parent) {
    if (sized) PlatSurfaceResize(window);
    PlatWindowNotify(window, &PlatBackend::windowMoved);
  }
  PlatInvalidateTree(window);
  HWND handle = PlatWindowHandle(window);
  if (old.left != rect.left || old.top != rect.top)
    SendMessageA(handle, WM_MOVE, 0, MAKELPARAM((WORD)rect.left, (WORD)rect.top));
  if (sized && IsWindow(handle))
    SendMessageA(handle, WM_SIZE, 0, MAKELPARAM((WORD)(rect.right - rect.left), (WORD)(rect.bottom - rect.top)));
}

void PlatRaiseAmongSiblings(PlatWindow& window) {
  if (!window.parent) return;
  PlatWindow* parent = PlatWindowGetNumber(window.parent);
  if (!parent) return;
  auto& list = parent->children;
  list.erase(std::remove(list.begin(), list.end(), window.handle), list.end());
  list.push_back(window.handle);
  PlatInvalidateTree(*parent);
}

void PlatDestroyTree(DWORD number) {
  PlatWindow* window = PlatWindowGetNumber(number);
  if (!window || window->destroying) return;
  window->destroying = true;
  if (window->style & WS_VISIBLE) {
    window->style &= ~WS_VISIBLE;
    PlatShowStateChanged(*window);
  }
  PlatCallProc(*window, WM_DESTROY, 0, 0);
  std::vector<DWORD> children = window->children;
  for (DWORD child : children) PlatDestroyTree(child);
  window = PlatWindowGetNumber(number);
  PlatCallProc(*window, WM_NCDESTROY, 0, 0);

  PlatTimerRemoveWindow(number);
  PlatQueueRemoveWindow(number);
  PlatInputRemoveWindow(number);
  if (gForeground == number) gForeground = 0;
  if (window->parent) {
    if (PlatWindow* parent = PlatWindowGetNumber(window->parent)) {
      auto& list = parent->children;
      list.erase(std::remove(list.begin(), list.end(), number), list.end());
      PlatInvalidateTree(*parent);
    }
  } else {
    PlatWindowNotify(*window, &PlatBackend::windowDestroyed);
  }
  PlatHandleTake(gWindows, number);
}

// The window's text into a buffer of `size` bytes, cut to fit and ended with 0; the count.
size_t PlatCopyText(const PlatWindow& window, char* buffer, size_t size) {
  if (size == 0 || !buffer) return 0;
  size_t count = std::min(window.text.size(), size - 1);
  std::memcpy(buffer, window.text.data(), count);
  buffer[count] = 0;
  return count;
}

LRESULT PlatDefSetCursor(PlatWindow& window, WPARAM wParam, LPARAM lParam) {
  if (window.parent) {
    if (SendMessageA(PlatHandleFromNumber<HWND>(window.parent), WM_SETCURSOR, wParam, lParam)) return TRUE;
  }
  if ((SHORT)LOWORD(lParam) == HTCLIENT && window.classCursor) {
    SetCursor(window.classCursor);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

PlatHandleTable<PlatWindow>& PlatWindows() { return gWindows; }

PlatWindow* PlatWindowGetNumber(DWORD number) {
  PlatWindow* window = PlatHandleGet(gWindows, number);
  return window;
}

PlatWindow* PlatWindowGet(HWND window) { return PlatWindowGetNumber(PlatHandleNumber(window)); }

PlatWindow* PlatWindowTopLevel(PlatWindow* window) {
  while (window && window->parent) window = PlatWindowGetNumber(window->parent);
  return window;
}

bool PlatWindowShown(const PlatWindow& window) {
  const PlatWindow* w = &window;
  while (w) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!w->parent) return true;
    w = PlatWindowGetNumber(w->parent);
  }
  return false;
}

POINT PlatWindowScreenOrigin(const PlatWindow& window) {
  POINT origin{window.rect.left, window.rect.top};
  const PlatWindow* w = &window;
  while (w->parent) {
    w = PlatWindowGetNumber(w->parent);
    if (!w) break;
    origin.x += w->rect.left;
    origin.y += w->rect.top;
  }
  return origin;
}

std::vector<DWORD> PlatTopLevelWindows() {
  std::vector<DWORD> normal, topmost;
  PlatHandleForEach(gWindows, [&](DWORD number, PlatWindow& w) {
    if (w.parent || w.foreign || w.destroying) return;
    (w.exStyle & WS_EX_TOPMOST ? topmost : normal).push_back(number);
  });
  normal.insert(normal.end(), topmost.begin(), topmost.end());
  return normal;
}

void PlatInvalidateTree(PlatWindow& window) {
  PlatWindow* top = PlatWindowTopLevel(&window);
  if (!top) return;
  std::vector<DWORD> pending{top->handle};
  while (!pending.empty()) {
    PlatWindow* w = PlatWindowGetNumber(pending.back());
    pending.pop_back();
    if (!w) continue;
    w->needsPaint = true;
    w->needsErase = true;
    pending.insert(pending.end(), w->children.begin(), w->children.end());
  }
}

void PlatWindowsReset() {
  for (DWORD number : PlatTopLevelWindows()) PlatDestroyTree(number);
  std::vector<DWORD> foreign;
  PlatHandleForEach(gWindows, [&](DWORD number, PlatWindow& w) {
    if (w.foreign) foreign.push_back(number);
  });
  for (DWORD number : foreign) PlatHandleTake(gWindows, number);
  gForeground = 0;
}

void PlatClassesReset() {
  gClasses.clear();
  PlatStandardClassesForget();
}

HWND PlatForeignWindow(unsigned long foreignId, const char* title) {
  DWORD found = 0;
  PlatHandleForEach(gWindows, [&](DWORD number, PlatWindow& w) {
    if (w.foreign && w.foreignId == foreignId) found = number;
  });
  if (found) return PlatHandleFromNumber<HWND>(found);
  auto window = std::make_unique<PlatWindow>();
  window->foreign = true;
  window->foreignId = foreignId;
  window->text = title ? title : "";
  window->style = WS_VISIBLE;
  PlatWindow* record = window.get();
  DWORD number = PlatHandleAdd(gWindows, std::move(window));
  record->handle = number;
  return PlatHandleFromNumber<HWND>(number);
}

ATOM RegisterClassExA(const WNDCLASSEXA* info) {
  if (!info || info->cbSize != sizeof(WNDCLASSEXA) || !info->lpfnWndProc || !info->lpszClassName ||
      IS_INTRESOURCE(info->lpszClassName) || info->cbWndExtra < 0 || info->cbWndExtra > 40 || info->cbClsExtra < 0)
    return 0;
  PlatRegisterStandardClasses();
  if (PlatClassFind(info->lpszClassName)) return 0;  // the class exists
  PlatClass c;
  c.name = info->lpszClassName;
  c.style = info->style;
  c.proc = info->lpfnWndProc;
  c.windowExtra = info->cbWndExtra;
  c.instance = info->hInstance;
  c.cursor = info->hCursor;
  c.brush = info->hbrBackground;
  c.atom = gNextAtom++;
  gClasses.push_back(c);
  return c.atom;
}

BOOL UnregisterClassA(LPCSTR name, HINSTANCE) {
  PlatClass* c = PlatClassFind(name);
  if (!c) return FALSE;
  bool used = false;
  PlatHandleForEach(gWindows, [&](DWORD, PlatWindow& w) { used |= strcasecmp(w.className.c_str(), name) == 0; });
  if (used) return FALSE;
  gClasses.erase(gClasses.begin() + (c - gClasses.data()));
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  PlatBackendGet();
  PlatRegisterStandardClasses();
  PlatClass* c = PlatClassFind(className);
  if (!c) return nullptr;
  PlatWindow* parentRecord = parent ? PlatWindowGet(parent) : nullptr;
  if (parent && (!parentRecord || parentRecord->foreign)) return nullptr;
  bool child = (style & WS_CHILD) != 0;
  if (child && !parentRecord) return nullptr;

  auto window = std::make_unique<PlatWindow>();
  window->className = c->name;
  window->proc = c->proc;
  window->classStyle = c->style;
  window->classBrush = c->brush;
  window->classCursor = c->cursor;
  window->instance = instance;
  window->style = style;
  window->exStyle = exStyle;
  window->parent = child ? parentRecord->handle : 0;
  window->id = child ? (LONG)(UINT_PTR)menu : 0;
  window->extra.assign(c->windowExtra, 0);
  window->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  window->alpha = 255;
  window->needsPaint = window->needsErase = true;
  PlatWindow* record = window.get();
  DWORD number = PlatHandleAdd(gWindows, std::move(window));
  if (!number) return nullptr;
  record->handle = number;
  HWND handle = PlatHandleFromNumber<HWND>(number);
  if (child) {
    parentRecord->children.push_back(number);
  } else {
    PlatSurfaceResize(*record);
    PlatWindowNotify(*record, &PlatBackend::windowCreated);
  }

  CREATESTRUCTA create{param, instance, menu, parent, height, width, y, x, (LONG)style, windowName, className, exStyle};
  if (!PlatCallProc(*record, WM_NCCREATE, 0, (LPARAM)&create) ||
      PlatCallProc(*PlatWindowGet(handle), WM_CREATE, 0, (LPARAM)&create) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (PlatWindow* w = PlatWindowGet(handle); w && (w->style & WS_VISIBLE)) PlatShowStateChanged(*w);
  return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign) return FALSE;
  PlatDestroyTree(window->handle);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  PlatWindow* window = PlatWindowGet(handle);
  return window && !window->destroying;
}

BOOL IsWindowVisible(HWND handle) {
  PlatWindow* window = PlatWindowGet(handle);
  return window && PlatWindowShown(*window);
}

BOOL IsIconic(HWND handle) {
  PlatWindow* window = PlatWindowGet(handle);
  return window && window->minimized;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window) return 0;
  switch (message) {
    case WM_NCCREATE: {
      const CREATESTRUCTA* create = (const CREATESTRUCTA*)lParam;
      if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName)) window->text = create->lpszName;
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(handle, WM_CLOSE, 0, 0);
      return 0;
    case WM_ERASEBKGND: {
      if (!window->classBrush) return 0;
      RECT client;
      GetClientRect(handle, &client);
      FillRect((HDC)wParam, &client, window->classBrush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(handle, &paint);
      EndPaint(handle, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      return PlatDefSetCursor(*window, wParam, lParam);
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_SETTEXT:
      window->text = lParam ? (const char*)lParam : "";
      PlatWindowNotify(*window, &PlatBackend::windowTitle);
      return TRUE;
    case WM_GETTEXTLENGTH:
      return (LRESULT)window->text.size();
    case WM_GETTEXT:
      return PlatCopyText(*window, (char*)lParam, wParam);
    default:
      return 0;
  }
}

LONG GetWindowLongA(HWND handle, int index) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window) return 0;
  switch (index) {
    case GWL_STYLE: return (LONG)window->style;
    case GWL_EXSTYLE: return (LONG)window->exStyle;
    case GWL_ID: return window->id;
    case GWL_USERDATA: return window->userData;
    case GWL_HWNDPARENT: return (LONG)window->parent;
    case GWL_HINSTANCE: return (LONG)PlatHandleNumber(window->instance);
    default: break;
  }
  if (index < 0 || (size_t)index + 4 > window->extra.size()) return 0;
  LONG value;
  std::memcpy(&value, window->extra.data() + index, 4);
  return value;
}

LONG SetWindowLongA(HWND handle, int index, LONG value) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign) return 0;
  LONG old = GetWindowLongA(handle, index);
  switch (index) {
    case GWL_STYLE:
      window->style = (DWORD)value;
      return old;
    case GWL_EXSTYLE: {
      // The top-most bit belongs to SetWindowPos; a new layered window starts fully opaque.
      DWORD keep = window->exStyle & WS_EX_TOPMOST;
      window->exStyle = ((DWORD)value & ~WS_EX_TOPMOST) | keep;
      if ((window->exStyle ^ (DWORD)old) & WS_EX_LAYERED) {
        window->alpha = 255;
        window->alphaSet = false;
        PlatWindowNotify(*window, &PlatBackend::windowOpacity);
      }
      return old;
    }
    case GWL_ID: window->id = value; return old;
    case GWL_USERDATA: window->userData = value; return old;
    default: break;
  }
  if (index < 0 || (size_t)index + 4 > window->extra.size()) return 0;
  std::memcpy(window->extra.data() + index, &value, 4);
  return old;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  if (!IsWindow(window)) return FALSE;
  return (BOOL)SendMessageA(window, WM_SETTEXT, 0, (LPARAM)text);
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (size <= 0 || !buffer) return 0;
  buffer[0] = 0;
  PlatWindow* record = PlatWindowGet(window);
  if (!record) return 0;
  if (record->foreign) return (int)PlatCopyText(*record, buffer, size);
  return (int)SendMessageA(window, WM_GETTEXT, size, (LPARAM)buffer);
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  const PlatBackend& backend = PlatBackendGet();
  for (DWORD number : PlatTopLevelWindows()) {
    PlatWindow* w = PlatWindowGetNumber(number);
    if (className && strcasecmp(w->className.c_str(), className) != 0) continue;
    if (windowName && w->text != windowName) continue;
    return PlatHandleFromNumber<HWND>(number);
  }
  // Another process's window: only a title is known of it.
  if (!windowName || !backend.findForeign) return nullptr;
  unsigned long id = backend.findForeign(windowName);
  return id ? PlatForeignWindow(id, windowName) : nullptr;
}

HWND GetParent(HWND handle) {
  PlatWindow* window = PlatWindowGet(handle);
  return window && window->parent ? PlatHandleFromNumber<HWND>(window->parent) : nullptr;
}

int GetDlgCtrlID(HWND handle) {
  PlatWindow* window = PlatWindowGet(handle);
  return window && window->parent ? window->id : 0;
}

HWND GetDlgItem(HWND dialog, int id) {
  PlatWindow* window = PlatWindowGet(dialog);
  if (!window) return nullptr;
  for (DWORD child : window->children)
    if (PlatWindow* c = PlatWindowGetNumber(child); c && c->id == id) return PlatHandleFromNumber<HWND>(child);
  return nullptr;
}

BOOL ShowWindow(HWND handle, int command) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window) return FALSE;
  BOOL wasVisible = (window->style & WS_VISIBLE) != 0;
  if (window->foreign) {
    const PlatBackend& backend = PlatBackendGet();
    if (command != SW_HIDE && command != SW_MINIMIZE && backend.foreignRestore) backend.foreignRestore(window->foreignId);
    return wasVisible;
  }
  bool minimize = command == SW_MINIMIZE || command == SW_SHOWMINIMIZED;
  bool restore = command == SW_RESTORE || command == SW_SHOWNORMAL;
  bool show = command != SW_HIDE;
  bool changed = wasVisible != show || (minimize && !window->minimized) || (restore && window->minimized);
  if (show != (bool)wasVisible) SendMessageA(handle, WM_SHOWWINDOW, show, 0);
  if (!(window = PlatWindowGet(handle))) return wasVisible;
  window->style = show ? window->style | WS_VISIBLE : window->style & ~WS_VISIBLE;
  if (minimize && !window->parent) window->minimized = true;
  if (restore) window->minimized = false;
  window->style = window->minimized ? window->style | WS_MINIMIZE : window->style & ~WS_MINIMIZE;
  if (changed) PlatShowStateChanged(*window);
  return wasVisible;
}

BOOL SetForegroundWindow(HWND handle) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window) return FALSE;
  const PlatBackend& backend = PlatBackendGet();
  if (window->foreign) {
    if (backend.foreignActivate) backend.foreignActivate(window->foreignId);
    return TRUE;
  }
  PlatWindow* top = PlatWindowTopLevel(window);
  gForeground = top->handle;
  PlatWindowNotify(*top, &PlatBackend::windowActivate);
  return TRUE;
}

HWND GetForegroundWindow(void) { return PlatHandleFromNumber<HWND>(gForeground); }

BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign) return FALSE;
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
      bool topmost = insertAfter == HWND_TOPMOST;
      if (!window->parent && topmost != ((window->exStyle & WS_EX_TOPMOST) != 0)) {
        window->exStyle = topmost ? window->exStyle | WS_EX_TOPMOST : window->exStyle & ~WS_EX_TOPMOST;
        PlatWindowNotify(*window, &PlatBackend::windowTopmost);
      }
    } else if (insertAfter == HWND_TOP) {
      PlatRaiseAmongSiblings(*window);
    }
  }
  RECT rect = window->rect;
  if (!(flags & SWP_NOMOVE)) {
    rect.right += x - rect.left;
    rect.bottom += y - rect.top;
    rect.left = x;
    rect.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    rect.right = rect.left + std::max(width, 0);
    rect.bottom = rect.top + std::max(height, 0);
  }
  PlatWindowPlace(*window, rect);
  if (flags & SWP_SHOWWINDOW) ShowWindow(handle, SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(handle, SW_HIDE);
  return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
  if (!SetWindowPos(handle, nullptr, x, y, width, height, SWP_NOZORDER)) return FALSE;
  if (repaint) InvalidateRect(handle, nullptr, TRUE);
  return TRUE;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || !rect || window->foreign) return FALSE;
  POINT origin = PlatWindowScreenOrigin(*window);
  *rect = RECT{origin.x, origin.y, origin.x + window->rect.right - window->rect.left,
               origin.y + window->rect.bottom - window->rect.top};
  return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || !rect || window->foreign) return FALSE;
  *rect = RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
  return TRUE;
}

BOOL ClientToScreen(HWND handle, LPPOINT point) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || !point) return FALSE;
  POINT origin = PlatWindowScreenOrigin(*window);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND handle, LPPOINT point) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || !point) return FALSE;
  POINT origin = PlatWindowScreenOrigin(*window);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

int GetSystemMetrics(int index) {
  SIZE screen = PlatBackendGet().screenSize();
  switch (index) {
    case SM_CXSCREEN: return screen.cx;
    case SM_CYSCREEN: return screen.cy;
    default: return 0;
  }
}

BOOL InvalidateRect(HWND handle, const RECT*, BOOL) {
  if (!handle) {
    for (DWORD number : PlatTopLevelWindows()) PlatInvalidateTree(*PlatWindowGetNumber(number));
    return TRUE;
  }
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign) return FALSE;
  PlatInvalidateTree(*window);
  return TRUE;
}

BOOL UpdateWindow(HWND handle) {
  if (!IsWindow(handle)) return FALSE;
  PlatComposeAll();
  return TRUE;
}

BOOL SetLayeredWindowAttributes(HWND handle, COLORREF, BYTE alpha, DWORD flags) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign || !(window->exStyle & WS_EX_LAYERED)) return FALSE;
  // Colour keys are not supported: no window of ours asks for one.
  if (flags & LWA_COLORKEY) return FALSE;
  if (flags & LWA_ALPHA) {
    window->alpha = alpha;
    window->alphaSet = true;
    PlatWindowNotify(*window, &PlatBackend::windowOpacity);
  }
  return TRUE;
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign) return 0;
  return PlatCallProc(*window, message, wParam, lParam);
}
