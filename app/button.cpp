// The picture button control, window class "Bmp_Button_Class_Pellam". A button shows one of
// three pictures (normal, hover, pressed) through a STATIC bitmap child that fills it, holds
// the mouse capture while the cursor is over it so that it sees the move that leaves it, and
// on a completed click sends WM_COMMAND with its control id to its parent, as a push button
// does. Its window memory holds, at byte offsets 0, 4, 8 and 12, the normal, pressed and hover
// pictures and the picture child. One pressed flag is shared by all buttons.
#include "app/app.h"

namespace {

const char APP_BUTTON_CLASS[] = "Bmp_Button_Class_Pellam";

enum AppButtonSlot {
  APP_SLOT_NORMAL = 0,
  APP_SLOT_PRESSED = 4,
  APP_SLOT_HOVER = 8,
  APP_SLOT_PICTURE_CHILD = 12,
};

// Set by a press on any button and cleared by the release the pressed button receives; while
// it is set no button shows its hover picture.
int appButtonPressed = 0;

template <typename Handle>
Handle AppButtonSlotHandle(HWND button, int slot) {
  return (Handle)(LONG_PTR)GetWindowLongA(button, slot);
}

void AppButtonShow(HWND button, int slot) {
  HWND child = AppButtonSlotHandle<HWND>(button, APP_SLOT_PICTURE_CHILD);
  SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)AppButtonSlotHandle<HBITMAP>(button, slot));
}

// The hover area: the client rectangle, bounds included, with its right and bottom edges
// moved in by 5 pixels right of column 30. The cursor's coordinates are read unsigned, so a
// position left of or above the button (seen under capture) is far outside.
bool AppButtonHovered(HWND button, LPARAM lParam) {
  RECT area;
  GetClientRect(button, &area);
  UINT x = LOWORD(lParam), y = HIWORD(lParam);
  if (y > 140 || x > 30) {
    area.right -= 5;
    area.bottom -= 5;
  }
  return (UINT)area.left <= x && x <= (UINT)area.right && (UINT)area.top <= y && y <= (UINT)area.bottom;
}

void AppButtonMouseMove(HWND button, LPARAM lParam) {
  if (appButtonPressed) return;  // the pressed picture stays, even off the button
  if (AppButtonHovered(button, lParam)) {
    AppButtonShow(button, APP_SLOT_HOVER);
    SetCapture(button);
  } else {
    ReleaseCapture();
    AppButtonShow(button, APP_SLOT_NORMAL);
    SetFocus(button);
  }
}

void AppButtonPress(HWND button) {
  AppButtonShow(button, APP_SLOT_PRESSED);
  SetCapture(button);
  appButtonPressed = 1;
}

// Only a release strictly inside the button clicks: its first column and first row do not
// count. The command is handled before the capture is released.
void AppButtonRelease(HWND button, LPARAM lParam) {
  appButtonPressed = 0;
  AppButtonShow(button, APP_SLOT_NORMAL);
  int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  RECT rect;
  GetWindowRect(button, &rect);
  if (0 < x && x < rect.right - rect.left && 0 < y && y < rect.bottom - rect.top)
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), 0), (LPARAM)button);
  ReleaseCapture();
}

void AppButtonRegisterClass(HINSTANCE module) {
  WNDCLASSEXA buttonClass{};
  buttonClass.cbSize = sizeof buttonClass;
  buttonClass.style = CS_BYTEALIGNWINDOW;  // no CS_DBLCLKS: a quick second click is a second press
  buttonClass.lpfnWndProc = AppButtonProc;
  buttonClass.cbWndExtra = 16;
  buttonClass.hInstance = module;
  buttonClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  buttonClass.lpszClassName = APP_BUTTON_CLASS;
  RegisterClassExA(&buttonClass);  // fails harmlessly once the class exists
}

}  // namespace

LRESULT CALLBACK AppButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      AppButtonPress(button);
      break;
    case WM_MOUSEMOVE:
      AppButtonMouseMove(button, lParam);
      break;
    case WM_LBUTTONUP:
      if (!appButtonPressed) return 0;  // a release without a press seen is ignored
      AppButtonRelease(button, lParam);
      break;
  }
  return DefWindowProcA(button, message, wParam, lParam);
}

HWND AppCreateButton(HWND parent, int x, int y, UINT normalPicture, UINT pressedPicture, UINT hoverPicture,
                     UINT id) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  HBITMAP normal = AppLoadPicture(normalPicture);
  HBITMAP pressed = AppLoadPicture(pressedPicture);
  HBITMAP hover = AppLoadPicture(hoverPicture);
  AppButtonRegisterClass(module);
  HMENU idAsMenu = (HMENU)(UINT_PTR)id;
  HWND button = CreateWindowExA(WS_EX_TRANSPARENT, APP_BUTTON_CLASS, nullptr, WS_CHILD | WS_VISIBLE, x, y, 100, 100,
                                parent, idAsMenu, module, nullptr);
  SetWindowLongA(button, APP_SLOT_NORMAL, (LONG)(LONG_PTR)normal);
  SetWindowLongA(button, APP_SLOT_PRESSED, (LONG)(LONG_PTR)pressed);
  SetWindowLongA(button, APP_SLOT_HOVER, (LONG)(LONG_PTR)hover);
  // The picture child has no SS_NOTIFY: it is transparent to the mouse, which goes to the button.
  HWND child = CreateWindowExA(0, "STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, 0, 0, button, idAsMenu,
                               module, nullptr);
  SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)normal);
  RECT childRect;
  GetWindowRect(child, &childRect);
  SetWindowLongA(button, APP_SLOT_PICTURE_CHILD, (LONG)(LONG_PTR)child);
  SetWindowPos(button, HWND_TOP, 0, 0, childRect.right - childRect.left, childRect.bottom - childRect.top, SWP_NOMOVE);
  ShowWindow(button, SW_SHOW);
  return button;
}
