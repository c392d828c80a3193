// The application window: the entry point with its single-instance check, the main window
// (a modal dialog from template IDD_MAIN whose face is the skin picture, with three picture
// buttons), its fading, dragging and commands.
//
// Contract. Everything here runs on the one user-interface thread. The state below is
// process-wide, one instance, owned by the main window: the skin bitmap and its brush are
// made at WM_INITDIALOG and deleted at WM_CLOSE; the button pictures belong to the buttons
// for the life of the process. Operations report success only by their result (a handle or
// none); nothing is shown or logged on failure: a missing picture leaves the default
// background or an invisible button.
#pragma once

#include "platform/win32.h"

#define IDD_MAIN 100
#define IDI_MAIN 200
#define IDR_CURSOR 300
#define IDR_MUSIC 400
#define IDB_SKIN 500

#define IDC_LINK 301
#define IDC_MINIMIZE 302
#define IDC_CLOSE 303

#define IDT_FADE_IN 222
#define IDT_FADE_OUT 333

// The title the window carries and the single-instance check looks for.
extern const char APP_TITLE[];

// Process-wide state of the application window.
struct AppState {
  HINSTANCE instance;
  HCURSOR cursor;         // the custom cursor, cursor group IDR_CURSOR
  HWND mainWindow;        // recorded by AppDialogProc at the start of every message
  HBITMAP skinBitmap;     // picture IDB_SKIN; deleted at close
  HBRUSH backgroundBrush; // pattern brush of the skin; deleted at close
  HWND linkButton;        // the initial keyboard focus
  int dragging;           // 1 between a left press on the face and its release
  POINT lastCursor;       // screen position at the press or the previous drag step
  LONG fadeLevel;         // the window's opacity, 0 to 230 in steps of 10
};
extern AppState appState;

// The entry point: restores a running copy's window and ends, or runs the main window;
// either way the process ends with code 0.
[[noreturn]] void AppEntry(void);

// The main window's dialog procedure.
INT_PTR CALLBACK AppDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Fade timer callbacks: +10 every 40 ms up to 230; -10 every 20 ms down to 0, then close.
void CALLBACK AppFadeInTick(HWND window, UINT message, UINT_PTR id, DWORD time);
void CALLBACK AppFadeOutTick(HWND window, UINT message, UINT_PTR id, DWORD time);

// A PNG raw-data resource of the program as a DIB section the caller owns, or none.
HBITMAP AppLoadPicture(UINT pictureId);
// A picture button at client (x, y) of `parent` that sends WM_COMMAND `id`; its window.
HWND AppCreateButton(HWND parent, int x, int y, UINT normalPicture, UINT pressedPicture, UINT hoverPicture, UINT id);
// The picture button's window procedure (class "Bmp_Button_Class_Pellam").
LRESULT CALLBACK AppButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
// AppOpenWebLink, the web link launcher.
#include "app/web_link.h"
