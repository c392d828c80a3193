// The main window's dialog procedure: initialisation, the skin background and its black
// frame, the custom cursor, dragging by the face, the three commands and the close.
//
// The procedure answers WM_CTLCOLORDLG with the skin's pattern brush (the dialog manager
// fills the face with it, tiled from the client origin) and 0 for everything else, so the
// default dialog processing always follows. Mouse messages of the client area are
// WM_MOUSEMOVE through WM_MBUTTONDBLCLK.
#include "app/app.h"
#include "player/player.h"

AppState appState;

namespace {

struct AppButtonSpec {
  int x, y;
  UINT normal, pressed, hover, id;
};
const AppButtonSpec APP_BUTTONS[] = {
    {113, 168, 501, 503, 502, IDC_LINK},
    {391, 7, 601, 603, 602, IDC_MINIMIZE},
    {419, 7, 701, 703, 702, IDC_CLOSE},
};

void AppInitialise(HWND window) {
  SetWindowTextA(window, APP_TITLE);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  appState.skinBitmap = AppLoadPicture(IDB_SKIN);
  appState.backgroundBrush = appState.skinBitmap ? CreatePatternBrush(appState.skinBitmap) : nullptr;
  for (const AppButtonSpec& b : APP_BUTTONS) {
    HWND button = AppCreateButton(window, b.x, b.y, b.normal, b.pressed, b.hover, b.id);
    if (b.id == IDC_LINK) appState.linkButton = button;
  }
  ModPlaySong(IDR_MUSIC, appState.instance, 0);
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(window, 0, 0, LWA_ALPHA);
  ShowWindow(window, SW_SHOW);
  SetTimer(window, IDT_FADE_IN, 40, AppFadeInTick);
  SetFocus(appState.linkButton);
}

void AppPaintFrame(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  FrameRect(dc, &client, black);
  DeleteObject(black);
  EndPaint(window, &paint);
}

void AppDragStart(HWND window) {
  appState.dragging = 1;
  SetCapture(window);
  GetCursorPos(&appState.lastCursor);
}

// The step comes from the screen cursor, not the message's coordinates: those are relative
// to the window that this very step moves.
void AppDragStep(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  POINT cursor;
  GetCursorPos(&cursor);
  LONG dx = cursor.x - appState.lastCursor.x;
  LONG dy = cursor.y - appState.lastCursor.y;
  appState.lastCursor = cursor;
  MoveWindow(window, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
}

void AppDragEnd() {
  appState.dragging = 0;
  ReleaseCapture();
}

void AppCommandLink(HWND window) { AppOpenWebLink(window); }
void AppCommandMinimize(HWND window) { ShowWindow(window, SW_MINIMIZE); }
void AppCommandClose(HWND window) { SetTimer(window, IDT_FADE_OUT, 20, AppFadeOutTick); }

struct AppCommandEntry {
  UINT id;
  void (*run)(HWND window);
};
const AppCommandEntry APP_COMMANDS[] = {
    {IDC_LINK, AppCommandLink},
    {IDC_MINIMIZE, AppCommandMinimize},
    {IDC_CLOSE, AppCommandClose},
};

// Only commands with notification code 0; Enter and Escape arrive as 1 and 2 and do nothing.
void AppCommand(HWND window, WPARAM wParam) {
  if (HIWORD(wParam) != 0) return;
  for (const AppCommandEntry& c : APP_COMMANDS)
    if (c.id == LOWORD(wParam)) c.run(window);
}

// The handles are cleared once deleted: a second WM_CLOSE (the desktop's close arriving
// as the fade-out ends) must not delete objects that later took the same numbers.
void AppClose(HWND window) {
  DeleteObject(appState.skinBitmap);
  appState.skinBitmap = nullptr;
  DeleteObject(appState.backgroundBrush);
  appState.backgroundBrush = nullptr;
  ModPlaySong(0, nullptr, 0);
  EndDialog(window, 0);
}

}  // namespace

INT_PTR CALLBACK AppDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  appState.mainWindow = window;
  if (message >= WM_MOUSEFIRST && message <= WM_MBUTTONDBLCLK) SetCursor(appState.cursor);
  switch (message) {
    case WM_INITDIALOG: AppInitialise(window); break;
    case WM_CTLCOLORDLG: return (INT_PTR)appState.backgroundBrush;
    case WM_PAINT: AppPaintFrame(window); break;
    case WM_LBUTTONDOWN: AppDragStart(window); break;
    case WM_MOUSEMOVE: if (appState.dragging == 1) AppDragStep(window); break;
    case WM_LBUTTONUP: AppDragEnd(); break;
    case WM_COMMAND: AppCommand(window, wParam); break;
    case WM_CLOSE: AppClose(window); break;
    default: break;
  }
  return 0;
}
