// The program's entry: one copy per desktop. A window titled "Orvenne Labs" means a copy
// runs already: it is restored (also from minimized) and brought forward, and this process
// ends. Otherwise the main window runs as a modal dialog, and when it ends, so does the
// process. The exit code is 0 on both paths.
#include "app/app.h"

const char APP_TITLE[] = "Orvenne Labs";

void AppEntry(void) {
  appState.instance = GetModuleHandleA(nullptr);
  appState.cursor = LoadCursorA(appState.instance, MAKEINTRESOURCEA(IDR_CURSOR));
  if (HWND running = FindWindowA(nullptr, APP_TITLE)) {
    ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    ExitProcess(0);
  }
  InitCommonControls();
  DialogBoxParamA(appState.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, AppDialogProc, 0);
  ExitProcess(0);
}
