// Messages: the synchronous call of a window procedure, the posted queue, and the retrieval
// order of GetMessageA / PeekMessageA.
//
// Retrieval order, as the desktop's message loop has it: posted messages, the quit request,
// input (one raw event turned into one message), painting (sent at once, not returned), and
// timers. Window and message-range filters apply to posted messages only; input, painting and
// timers come only to a loop that asks for every message.
#include <mutex>

#include "platform/window_internal.h"

namespace {

std::mutex gQueueLock;
std::deque<MSG> gPosted;
bool gQuit = false;
int gQuitCode = 0;

bool PlatMatches(const MSG& m, HWND window, UINT first, UINT last) {
  if (window && m.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

bool PlatTakePosted(MSG* out, HWND window, UINT first, UINT last, bool remove) {
  std::lock_guard<std::mutex> guard(gQueueLock);
  for (auto it = gPosted.begin(); it != gPosted.end(); ++it) {
    if (!PlatMatches(*it, window, first, last)) continue;
    *out = *it;
    if (remove) gPosted.erase(it);
    return true;
  }
  return false;
}

bool PlatPostedPending() {
  std::lock_guard<std::mutex> guard(gQueueLock);
  return !gPosted.empty() || gQuit;
}

// One retrieval step; false when nothing is there now.
bool PlatTakeMessage(MSG* out, HWND window, UINT first, UINT last, bool remove) {
  if (PlatTakePosted(out, window, first, last, remove)) return true;
  bool everything = !window && first == 0 && last == 0;
  {
    std::lock_guard<std::mutex> guard(gQueueLock);
    if (gQuit) {
      *out = MSG{nullptr, WM_QUIT, (WPARAM)gQuitCode, 0, PlatNow(), {0, 0}};
      if (remove) gQuit = false;
      return true;
    }
  }
  if (!everything) return false;
  if (remove) {
    while (PlatInputPending())
      if (PlatInputTakeMessage(out)) return true;
  }
  PlatComposeAll();
  if (!remove) return false;
  return PlatTimerTakeDue(PlatNow(), out);
}

}  // namespace

bool PlatWorkPending() {
  return PlatPostedPending() || PlatInputPending() || PlatComposePending() || PlatTimerNextDue(PlatNow()) == 0;
}

void PlatMessageWait(DWORD timeoutMs) { PlatBackendGet().wait(timeoutMs); }

void PlatQueueRemoveWindow(DWORD window) {
  std::lock_guard<std::mutex> guard(gQueueLock);
  HWND handle = PlatHandleFromNumber<HWND>(window);
  std::erase_if(gPosted, [&](const MSG& m) { return m.hwnd == handle; });
}

void PlatQueueReset() {
  std::lock_guard<std::mutex> guard(gQueueLock);
  gPosted.clear();
  gQuit = false;
}

LRESULT PlatCallProc(PlatWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND handle = PlatWindowHandle(window);
  PlatHeadlessRecord(handle, message, wParam, lParam);
  return window.proc ? window.proc(handle, message, wParam, lParam) : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return FALSE;
  {
    std::lock_guard<std::mutex> guard(gQueueLock);
    gPosted.push_back(MSG{window, message, wParam, lParam, PlatNow(), {0, 0}});
  }
  const PlatBackend& backend = PlatBackendGet();
  if (backend.wake) backend.wake();
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> guard(gQueueLock);
  gQuit = true;
  gQuitCode = exitCode;
}

BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
  PlatBackendGet();
  MSG taken;
  if (!PlatTakeMessage(&taken, window, first, last, (remove & PM_REMOVE) != 0)) return FALSE;
  if (message) *message = taken;
  return TRUE;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
  PlatBackendGet();
  MSG taken;
  while (!PlatTakeMessage(&taken, window, first, last, true)) PlatMessageWait(PlatTimerNextDue(PlatNow()));
  if (message) *message = taken;
  return taken.message != WM_QUIT;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* message) {
  if (!message) return 0;
  if (message->message == WM_TIMER && message->lParam) {
    PlatHeadlessRecord(message->hwnd, WM_TIMER, message->wParam, message->lParam);
    ((TIMERPROC)message->lParam)(message->hwnd, WM_TIMER, message->wParam, message->time);
    return 0;
  }
  PlatWindow* window = PlatWindowGet(message->hwnd);
  if (!window || window->foreign) return 0;
  return PlatCallProc(*window, message->message, message->wParam, message->lParam);
}
