// The window system's records and the operations its files share: windows, classes,
// cursors, the message queue, timers, input routing, composition and the backends.
// Nothing outside platform/ includes this.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/gdi_internal.h"
#include "platform/handle_table.h"
#include "platform/win32_thread.h"
#include "platform/win32_window.h"

struct PlatCursor {
  LONG width;
  LONG height;
  LONG hotX;
  LONG hotY;
  std::vector<DWORD> argb;  // straight (not premultiplied) 0xAARRGGBB, rows top to bottom
  bool standard;            // a system cursor (the arrow), not loaded from a resource
  unsigned long backendCursor;  // the backend's own cursor, made on first use
};

struct PlatWindow {
  DWORD handle;
  std::string className;
  WNDPROC proc;
  UINT classStyle;
  HBRUSH classBrush;
  HCURSOR classCursor;
  HINSTANCE instance;
  DWORD style;
  DWORD exStyle;
  std::string text;
  DWORD parent;  // 0 for a top-level window
  std::vector<DWORD> children;  // bottom of the z-order first
  LONG id;
  LONG userData;
  std::vector<BYTE> extra;
  RECT rect;  // screen coordinates for a top-level window, parent client ones for a child
  bool minimized;
  BYTE alpha;
  bool alphaSet;
  bool destroying;
  bool needsPaint;
  bool needsErase;

  // Dialog windows.
  DLGPROC dialogProc;
  bool dialogEnded;
  INT_PTR dialogResult;

  // STATIC windows in bitmap mode.
  HBITMAP image;

  // Top-level windows: what the desktop shows, 0x00RRGGBB, client size.
  std::vector<DWORD> surface;
  bool surfaceChanged;
  unsigned long backendWindow;  // the backend's window (an X window id)

  // A window of another process, found by FindWindowA on the desktop.
  bool foreign;
  unsigned long foreignId;
};

// ---- Windows (window.cpp) --------------------------------------------------------------
PlatHandleTable<PlatWindow>& PlatWindows();
PlatWindow* PlatWindowGet(HWND window);
PlatWindow* PlatWindowGetNumber(DWORD number);
inline HWND PlatWindowHandle(const PlatWindow& window) { return PlatHandleFromNumber<HWND>(window.handle); }
// The top-level window that holds `window` (itself when it is one).
PlatWindow* PlatWindowTopLevel(PlatWindow* window);
// Visible, and every ancestor visible (a minimized window still counts as visible).
bool PlatWindowShown(const PlatWindow& window);
// Top-left of the client area in screen coordinates.
POINT PlatWindowScreenOrigin(const PlatWindow& window);
// Top-level windows of ours, bottom of the z-order first (top-most ones last).
std::vector<DWORD> PlatTopLevelWindows();
LRESULT PlatCallProc(PlatWindow& window, UINT message, WPARAM wParam, LPARAM lParam);
// Repaints the window and all its children before the next present.
void PlatInvalidateTree(PlatWindow& window);
// The owner of a proxy record for another process's window, by the backend's id.
HWND PlatForeignWindow(unsigned long foreignId, const char* title);

// ---- Messages (message.cpp) ------------------------------------------------------------
void PlatQueueRemoveWindow(DWORD window);
// Posted messages, quit, input, painting or a due timer are waiting.
bool PlatWorkPending();
// Reads the backend's input, posts nothing, and returns when there is work or the timeout ends.
void PlatMessageWait(DWORD timeoutMs);

// ---- Timers (timer.cpp) ----------------------------------------------------------------
// Milliseconds until the next timer is due (0 when one is due), or INFINITE.
DWORD PlatTimerNextDue(DWORD now);
// Takes the first due timer as a WM_TIMER message; false when none is due.
bool PlatTimerTakeDue(DWORD now, MSG* message);
void PlatTimerRemoveWindow(DWORD window);

// ---- Input (input.cpp) -----------------------------------------------------------------
enum PlatMouseEventType { PLAT_MOUSE_MOVE, PLAT_MOUSE_DOWN, PLAT_MOUSE_UP };
enum PlatMouseButton { PLAT_BUTTON_NONE, PLAT_BUTTON_LEFT, PLAT_BUTTON_RIGHT, PLAT_BUTTON_MIDDLE };
struct PlatInputEvent {
  PlatMouseEventType type;
  PlatMouseButton button;
  POINT screen;
  DWORD window;  // top-level window the backend saw the event in, 0 to hit-test the desktop
  DWORD time;
  bool key;      // a key press instead of a mouse event
  WPARAM virtualKey;
};
// Backends hand over raw input here; GetMessageA turns it into messages one at a time.
void PlatInputPush(const PlatInputEvent& event);
bool PlatInputTakeMessage(MSG* message);
bool PlatInputPending();
void PlatInputRemoveWindow(DWORD window);
void PlatCursorApply();

// ---- Cursors (cursor.cpp) --------------------------------------------------------------
PlatCursor* PlatCursorGet(HCURSOR cursor);
// The icon of a group resource as straight ARGB, the entry nearest `size` pixels.
bool PlatLoadIconArgb(HINSTANCE instance, LPCSTR name, int size, LONG* width, LONG* height, std::vector<DWORD>* argb);

// ---- Dialogs (dialog.cpp) --------------------------------------------------------------
LRESULT CALLBACK PlatDialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
extern const char kPlatDialogClass[];

// ---- Standard controls (static_control.cpp) ---------------------------------------------
void PlatRegisterStandardClasses();
void PlatStandardClassesForget();

// ---- Composition (compose.cpp) ---------------------------------------------------------
// Where a device context draws: the top-level surface, the DC's origin on it and the clip.
struct PlatDrawTarget {
  DWORD* pixels;
  LONG surfaceWidth;
  POINT origin;
  RECT clip;  // surface coordinates
  PlatWindow* top;
};
bool PlatDcTarget(HDC dc, PlatDrawTarget* target);
// Paints every top-level window that needs it and presents changed surfaces; true if any
// WM_PAINT went out.
bool PlatComposeAll();
bool PlatComposePending();
void PlatSurfaceResize(PlatWindow& top);
void PlatDrawBitmap(HDC dc, LONG x, LONG y, HBITMAP bitmap);

// ---- Backends (backend.cpp, backend_x11.cpp, backend_headless.cpp) ----------------------
// A backend shows top-level windows and gathers input; every hook is optional but `now`.
struct PlatBackend {
  const char* name;
  DWORD (*now)();
  SIZE (*screenSize)();
  POINT (*cursorPos)();
  // Blocks until input arrives or `timeoutMs` passes; input goes to PlatInputPush.
  void (*wait)(DWORD timeoutMs);
  void (*wake)();
  void (*windowCreated)(PlatWindow& top);
  void (*windowDestroyed)(PlatWindow& top);
  void (*windowMoved)(PlatWindow& top);
  void (*windowShowState)(PlatWindow& top);
  void (*windowTitle)(PlatWindow& top);
  void (*windowOpacity)(PlatWindow& top);
  void (*windowTopmost)(PlatWindow& top);
  void (*windowActivate)(PlatWindow& top);
  void (*present)(PlatWindow& top);
  void (*setCursor)(PlatCursor* cursor);
  // Another process's top-level window titled `title`: its id, or 0.
  unsigned long (*findForeign)(const char* title);
  void (*foreignRestore)(unsigned long id);
  void (*foreignActivate)(unsigned long id);
};
// The backend in use, opened on first call: the headless one when a test chose it, else X11.
// With no display to show windows on, the process ends with a message and a non-zero code.
const PlatBackend& PlatBackendGet();
const PlatBackend* PlatBackendX11Open();
const PlatBackend& PlatBackendHeadless();
DWORD PlatNow();
void PlatBackendChooseHeadless();
// Destroys every window of ours and forgets the records of other processes' windows.
void PlatWindowsReset();

// ---- Headless state (backend_headless.cpp) -----------------------------------------------
// Notes a message for the tests' message log when they asked for one.
void PlatHeadlessRecord(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Forget every window, message, timer and input (between tests).
void PlatQueueReset();
void PlatTimerReset();
void PlatInputReset();
void PlatClassesReset();
