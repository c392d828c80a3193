// The program's entry: one copy per desktop. A window titled "Orvenne Labs" means a copy
// runs already: it is restored (also from minimized) and brought forward, and this process
// ends. Otherwise the main window runs as a modal dialog, and when it ends, so does the
// process. The exit code is 0 on both paths.
#include "app/app.h"

const char kAppTitle[] = "Orvenne Labs";

void AppEntry(void) {
  gApp.instance = GetModuleHandleA(nullptr);
  gApp.cursor = LoadCursorA(gApp.instance, MAKEINTRESOURCEA(IDR_CURSOR));
  if (HWND running = FindWindowA(nullptr, kAppTitle)) {
    ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    ExitProcess(0);
  }
  InitCommonControls();
  DialogBoxParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, AppDialogProc, 0);
  ExitProcess(0);
}
