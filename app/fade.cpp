// Fading of the main window: its layered opacity rises by 10 every 40 ms from 0 to 230 and,
// after the close button, falls by 10 every 20 ms to 0, where the window closes. When both
// timers run (close pressed during the fade-in) each applies its own step.
#include "app/app.h"

namespace {

constexpr LONG APP_FADE_STEP = 10;
constexpr LONG APP_FADE_FINAL = 230;  // not 255: the shown window stays slightly see-through

}  // namespace

void CALLBACK AppFadeInTick(HWND, UINT, UINT_PTR, DWORD) {
  appState.fadeLevel += APP_FADE_STEP;
  SetLayeredWindowAttributes(appState.mainWindow, 0, (BYTE)appState.fadeLevel, LWA_ALPHA);
  if (appState.fadeLevel >= APP_FADE_FINAL) KillTimer(appState.mainWindow, IDT_FADE_IN);
}

// The level stops at 0: a fade-out that starts before the first fade-in step would
// otherwise go negative, where the opacity byte wraps to nearly opaque and 0 is never met.
void CALLBACK AppFadeOutTick(HWND, UINT, UINT_PTR, DWORD) {
  appState.fadeLevel -= APP_FADE_STEP;
  if (appState.fadeLevel < 0) appState.fadeLevel = 0;
  SetLayeredWindowAttributes(appState.mainWindow, 0, (BYTE)appState.fadeLevel, LWA_ALPHA);
  if (appState.fadeLevel == 0) SendMessageA(appState.mainWindow, WM_CLOSE, 0, 0);
}
