// Timers: each (window, id) pair is one timer. A due timer becomes one WM_TIMER message when
// the loop has nothing else to do; its next period starts when that message is taken, so a
// late loop gets one message, never a burst. Times are the backend's milliseconds and are
// compared by signed difference, so the 32-bit clock may wrap.
#include <algorithm>

#include "platform/window_internal.h"

namespace {

// The desktop never fires a timer faster than this.
constexpr UINT kMinimumPeriod = 10;

struct PlatTimer {
  HWND window;
  UINT_PTR id;
  UINT period;
  TIMERPROC callback;
  DWORD due;
};

std::vector<PlatTimer> gTimers;
UINT_PTR gNextThreadTimer = 0x7FFF;

LONG PlatUntil(DWORD due, DWORD now) { return (LONG)(due - now); }

std::vector<PlatTimer>::iterator PlatTimerFind(HWND window, UINT_PTR id) {
  return std::find_if(gTimers.begin(), gTimers.end(), [&](const PlatTimer& t) { return t.window == window && t.id == id; });
}

}  // namespace

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC callback) {
  if (window && !IsWindow(window)) return 0;
  if (!window) id = ++gNextThreadTimer;
  UINT period = std::max(milliseconds, kMinimumPeriod);
  PlatTimer timer{window, id, period, callback, PlatNow() + period};
  auto it = PlatTimerFind(window, id);
  if (it != gTimers.end()) *it = timer;
  else gTimers.push_back(timer);
  return window ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto it = PlatTimerFind(window, id);
  if (it == gTimers.end()) return FALSE;
  gTimers.erase(it);
  return TRUE;
}

DWORD PlatTimerNextDue(DWORD now) {
  DWORD best = INFINITE;
  for (const PlatTimer& t : gTimers) {
    LONG until = PlatUntil(t.due, now);
    DWORD wait = until <= 0 ? 0 : (DWORD)until;
    best = std::min(best, wait);
  }
  return best;
}

bool PlatTimerTakeDue(DWORD now, MSG* message) {
  PlatTimer* first = nullptr;
  for (PlatTimer& t : gTimers)
    if (PlatUntil(t.due, now) <= 0 && (!first || PlatUntil(t.due, first->due) < 0)) first = &t;
  if (!first) return false;
  first->due = now + first->period;
  *message = MSG{first->window, WM_TIMER, first->id, (LPARAM)first->callback, now, {0, 0}};
  return true;
}

void PlatTimerRemoveWindow(DWORD window) {
  HWND handle = PlatHandleFromNumber<HWND>(window);
  std::erase_if(gTimers, [&](const PlatTimer& t) { return t.window == handle; });
}

void PlatTimerReset() { gTimers.clear(); }
