// Recording stand-ins for the operations the main window calls in other parts.
#pragma once

#include <string>
#include <vector>

#include "app/app.h"
#include "platform/headless.h"

struct AppFakeCall {
  std::string what;  // "picture", "button", "link", "play", "stop"
  std::vector<UINT> args;
  HWND window;
  // Seen at the moment of the call.
  DWORD time;
  bool skinAlive;
  bool windowVisible;
  bool windowLayered;
  bool windowTopmost;
  std::string windowTitle;
};
extern std::vector<AppFakeCall> gAppFakeCalls;
// The skin picture handed out for picture 500 (none when the test wants it missing).
extern bool gAppFakeSkinMissing;
extern HBITMAP gAppFakeSkin;
// Colour of the fake skin at (x, y): a pattern that differs in every pixel of the face.
DWORD AppFakeSkinColour(LONG x, LONG y);
void AppFakeReset();
