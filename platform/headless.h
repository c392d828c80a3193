// Controls of our own over the window system, for tests: counts of live GDI objects and
// device contexts, and (with the headless backend selected) a virtual clock, injected mouse
// input and read-back of what the desktop would show. The program itself never calls them.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

// ---- GDI -------------------------------------------------------------------------------
// Bitmaps and brushes made and not yet deleted.
size_t PlatGdiLiveObjects(void);
// Device contexts from GetDC or BeginPaint not yet released.
size_t PlatLiveDCs(void);

// ---- Headless backend ------------------------------------------------------------------
// Selects the headless backend for the rest of the process; call before any window exists.
// It shows nothing: it keeps the desktop's state in memory for the functions below.
void PlatHeadlessUse(void);
// Destroys every window and forgets queued messages, timers, input, capture, focus, the
// current cursor, foreign windows, the idle hook and the logs; the clock goes back to 0.
void PlatHeadlessReset(void);

// The virtual clock in milliseconds (GetTickCount stays real time).
DWORD PlatHeadlessNow(void);
// Moves the clock without delivering anything (for an idle hook, see below).
void PlatHeadlessAdvanceClock(DWORD milliseconds);
// Milliseconds until the next timer is due, or INFINITE when no timer runs.
DWORD PlatHeadlessNextTimer(void);
// True when no message, input, painting or due timer waits.
bool PlatHeadlessNothingToDo(void);
// For windows without a modal loop: delivers what is due now (messages, input, painting,
// timers), then `milliseconds` of virtual time, each timer at its due time.
void PlatHeadlessPump(void);
void PlatHeadlessRun(DWORD milliseconds);
// A modal loop with nothing to do calls the idle hook; if the hook left nothing to do
// either and did not move the clock, the clock jumps to the next timer. With no timer left, nothing could ever happen:
// the loop gets WM_QUIT (and a line on stderr) instead of waiting forever.
void PlatHeadlessSetIdleHook(std::function<void()> hook);

// Screen size (default 1280 x 1024).
void PlatHeadlessSetScreen(LONG width, LONG height);

// Mouse input at screen coordinates, delivered through the message loop like real input.
void PlatHeadlessMouseMove(LONG x, LONG y);
void PlatHeadlessMouseDown(int button);  // 1 left, 2 right, 3 middle; at the cursor
void PlatHeadlessMouseUp(int button);
void PlatHeadlessKey(WPARAM virtualKey);

// Read-back of a top-level window (or the top-level window holding a child).
struct PlatHeadlessWindowState {
  bool exists;
  bool visible;
  bool minimized;
  bool topmost;
  bool layered;
  BYTE alpha;
  RECT rect;  // screen coordinates
  std::string title;
  bool foreground;
  int presents;  // times the surface went to the desktop
};
PlatHeadlessWindowState PlatHeadlessWindow(HWND window);
// Colour 0x00RRGGBB at client (x, y) of the top-level window as last presented, or
// 0xFFFFFFFF outside it.
DWORD PlatHeadlessPixel(HWND window, LONG x, LONG y);
// Every opacity the window was given, in order (SetLayeredWindowAttributes with LWA_ALPHA).
std::vector<BYTE> PlatHeadlessOpacityHistory(HWND window);
// The cursor the desktop shows now.
HCURSOR PlatHeadlessShownCursor(void);

// Windows of other processes, as FindWindowA finds them on a desktop.
int PlatHeadlessAddForeignWindow(const char* title, bool minimized);
struct PlatHeadlessForeignState {
  bool minimized;
  int restores;
  int activations;
};
PlatHeadlessForeignState PlatHeadlessForeign(int id);

// Message log: every message a window procedure receives (sent or dispatched) and every
// timer callback, in order, while recording is on.
struct PlatHeadlessMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
void PlatHeadlessRecordMessages(bool on);
std::vector<PlatHeadlessMessage> PlatHeadlessMessages(void);
