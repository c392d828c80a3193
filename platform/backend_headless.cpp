// The headless backend: the desktop kept in memory for tests. It has a virtual clock that
// moves only when a test or an idle modal loop moves it, a cursor position that only
// injected input changes, and copies of what each window last presented.
#include <cstdio>
#include <map>

#include "platform/headless.h"
#include "platform/window_internal.h"

namespace {

struct PlatHeadlessShown {
  LONG width = 0;
  std::vector<DWORD> pixels;
  int presents = 0;
  std::vector<BYTE> opacity;
};

struct PlatHeadlessForeignWindow {
  std::string title;
  PlatHeadlessForeignState state;
};

DWORD gClock = 0;
SIZE gScreen{1280, 1024};
POINT gPointer{0, 0};
HCURSOR gShownCursor = nullptr;
std::map<DWORD, PlatHeadlessShown> gShown;
std::vector<PlatHeadlessForeignWindow> gForeign;
std::function<void()> gIdle;
bool gRecording = false;
std::vector<PlatHeadlessMessage> gLog;

DWORD PlatHeadlessClock() { return gClock; }
SIZE PlatHeadlessScreen() { return gScreen; }
POINT PlatHeadlessCursor() { return gPointer; }

void PlatHeadlessWait(DWORD timeoutMs) {
  if (gIdle) {
    DWORD before = gClock;
    gIdle();
    if (gClock != before || PlatWorkPending()) return;
  }
  if (timeoutMs != INFINITE) {
    gClock += timeoutMs;
    return;
  }
  std::fprintf(stderr, "headless: the message loop waits with no timer and no input left; ending it\n");
  PostQuitMessage(0);
}

void PlatHeadlessPresent(PlatWindow& top) {
  PlatHeadlessShown& shown = gShown[top.handle];
  shown.width = top.rect.right - top.rect.left;
  shown.pixels = top.surface;
  ++shown.presents;
}

void PlatHeadlessOpacity(PlatWindow& top) {
  if (top.alphaSet) gShown[top.handle].opacity.push_back(top.alpha);
}

void PlatHeadlessDestroyed(PlatWindow& top) { gShown.erase(top.handle); }

void PlatHeadlessSetCursor(PlatCursor*) { gShownCursor = GetCursor(); }

unsigned long PlatHeadlessFind(const char* title) {
  for (size_t i = 0; i < gForeign.size(); ++i)
    if (gForeign[i].title == title) return i + 1;
  return 0;
}

void PlatHeadlessForeignRestore(unsigned long id) {
  if (id == 0 || id > gForeign.size()) return;
  gForeign[id - 1].state.minimized = false;
  ++gForeign[id - 1].state.restores;
}

void PlatHeadlessForeignActivate(unsigned long id) {
  if (id == 0 || id > gForeign.size()) return;
  ++gForeign[id - 1].state.activations;
}

const PlatBackend kHeadless = {
    "headless",
    PlatHeadlessClock,
    PlatHeadlessScreen,
    PlatHeadlessCursor,
    PlatHeadlessWait,
    nullptr,                 // wake: everything runs on the test's thread
    nullptr,                 // windowCreated
    PlatHeadlessDestroyed,
    nullptr,                 // windowMoved: the record is the truth
    nullptr,                 // windowShowState
    nullptr,                 // windowTitle
    PlatHeadlessOpacity,
    nullptr,                 // windowTopmost
    nullptr,                 // windowActivate
    PlatHeadlessPresent,
    PlatHeadlessSetCursor,
    PlatHeadlessFind,
    PlatHeadlessForeignRestore,
    PlatHeadlessForeignActivate,
};

void PlatHeadlessInput(PlatMouseEventType type, int button) {
  PlatInputEvent event{};
  event.type = type;
  event.button = (PlatMouseButton)(button >= 1 && button <= 3 ? button : 0);
  event.screen = gPointer;
  event.time = gClock;
  PlatInputPush(event);
}

}  // namespace

const PlatBackend& PlatBackendHeadless() { return kHeadless; }

void PlatHeadlessUse(void) { PlatBackendChooseHeadless(); }

void PlatHeadlessReset(void) {
  gIdle = nullptr;
  PlatWindowsReset();
  PlatQueueReset();
  PlatTimerReset();
  PlatInputReset();
  PlatClassesReset();
  gClock = 0;
  gPointer = POINT{0, 0};
  gShownCursor = nullptr;
  gShown.clear();
  gForeign.clear();
  gLog.clear();
  gRecording = false;
  gScreen = SIZE{1280, 1024};
}

DWORD PlatHeadlessNow(void) { return gClock; }

void PlatHeadlessAdvanceClock(DWORD milliseconds) { gClock += milliseconds; }

DWORD PlatHeadlessNextTimer(void) { return PlatTimerNextDue(gClock); }

bool PlatHeadlessNothingToDo(void) { return !PlatWorkPending(); }

void PlatHeadlessPump(void) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage((int)message.wParam);  // left for whoever runs a loop
      return;
    }
    DispatchMessageA(&message);
  }
}

void PlatHeadlessRun(DWORD milliseconds) {
  DWORD end = gClock + milliseconds;
  PlatHeadlessPump();
  for (;;) {
    DWORD next = PlatTimerNextDue(gClock);
    if (next == INFINITE || (LONG)(end - gClock) < (LONG)next) break;
    gClock += next;
    PlatHeadlessPump();
  }
  gClock = end;
  PlatHeadlessPump();
}

void PlatHeadlessSetIdleHook(std::function<void()> hook) { gIdle = std::move(hook); }

void PlatHeadlessSetScreen(LONG width, LONG height) { gScreen = SIZE{width, height}; }

void PlatHeadlessMouseMove(LONG x, LONG y) {
  gPointer = POINT{x, y};
  PlatHeadlessInput(PLAT_MOUSE_MOVE, 0);
}

void PlatHeadlessMouseDown(int button) { PlatHeadlessInput(PLAT_MOUSE_DOWN, button); }

void PlatHeadlessMouseUp(int button) { PlatHeadlessInput(PLAT_MOUSE_UP, button); }

void PlatHeadlessKey(WPARAM virtualKey) {
  PlatInputEvent event{};
  event.key = true;
  event.virtualKey = virtualKey;
  event.time = gClock;
  PlatInputPush(event);
}

PlatHeadlessWindowState PlatHeadlessWindow(HWND handle) {
  PlatHeadlessWindowState state{};
  PlatWindow* window = PlatWindowTopLevel(PlatWindowGet(handle));
  if (!window || window->foreign) return state;
  state.exists = !window->destroying;
  state.visible = (window->style & WS_VISIBLE) != 0;
  state.minimized = window->minimized;
  state.topmost = (window->exStyle & WS_EX_TOPMOST) != 0;
  state.layered = (window->exStyle & WS_EX_LAYERED) != 0;
  state.alpha = window->alpha;
  state.rect = window->rect;
  state.title = window->text;
  state.foreground = GetForegroundWindow() == PlatWindowHandle(*window);
  auto shown = gShown.find(window->handle);
  state.presents = shown == gShown.end() ? 0 : shown->second.presents;
  return state;
}

DWORD PlatHeadlessPixel(HWND handle, LONG x, LONG y) {
  PlatWindow* window = PlatWindowTopLevel(PlatWindowGet(handle));
  if (!window) return 0xFFFFFFFF;
  auto shown = gShown.find(window->handle);
  if (shown == gShown.end() || x < 0 || y < 0 || x >= shown->second.width) return 0xFFFFFFFF;
  size_t at = (size_t)y * shown->second.width + x;
  return at < shown->second.pixels.size() ? shown->second.pixels[at] : 0xFFFFFFFF;
}

std::vector<BYTE> PlatHeadlessOpacityHistory(HWND handle) {
  PlatWindow* window = PlatWindowTopLevel(PlatWindowGet(handle));
  if (!window) return {};
  auto shown = gShown.find(window->handle);
  return shown == gShown.end() ? std::vector<BYTE>{} : shown->second.opacity;
}

HCURSOR PlatHeadlessShownCursor(void) { return gShownCursor; }

int PlatHeadlessAddForeignWindow(const char* title, bool minimized) {
  gForeign.push_back(PlatHeadlessForeignWindow{title ? title : "", {minimized, 0, 0}});
  return (int)gForeign.size();
}

PlatHeadlessForeignState PlatHeadlessForeign(int id) {
  if (id <= 0 || (size_t)id > gForeign.size()) return {};
  return gForeign[id - 1].state;
}

void PlatHeadlessRecordMessages(bool on) {
  gRecording = on;
  gLog.clear();
}

std::vector<PlatHeadlessMessage> PlatHeadlessMessages(void) { return gLog; }

void PlatHeadlessRecord(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (gRecording) gLog.push_back(PlatHeadlessMessage{window, message, wParam, lParam});
}
