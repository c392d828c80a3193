// The standard STATIC control in bitmap mode (SS_BITMAP), the only kind the program uses,
// and InitCommonControls.
//
// A bitmap STATIC shows its bitmap at its top-left corner and takes the bitmap's size
// whenever STM_SETIMAGE gives it one (a null bitmap leaves the size alone). Without
// SS_NOTIFY it answers WM_NCHITTEST with HTTRANSPARENT, so the mouse goes to the window
// beneath it. Other STATIC kinds draw nothing here.
#include "platform/window_internal.h"

namespace {

bool gRegistered = false;

LRESULT CALLBACK PlatStaticProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window) return 0;
  bool bitmapMode = (window->style & SS_TYPEMASK) == SS_BITMAP;
  switch (message) {
    case WM_NCHITTEST:
      return window->style & SS_NOTIFY ? HTCLIENT : HTTRANSPARENT;
    case STM_SETIMAGE: {
      if (wParam != IMAGE_BITMAP || !bitmapMode) return 0;
      HBITMAP previous = window->image;
      window->image = (HBITMAP)lParam;
      BITMAP info{};
      if (GetObjectA(window->image, sizeof info, &info))
        SetWindowPos(handle, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER);
      InvalidateRect(handle, nullptr, TRUE);
      return (LRESULT)previous;
    }
    case STM_GETIMAGE:
      return wParam == IMAGE_BITMAP ? (LRESULT)window->image : 0;
    case WM_ERASEBKGND:
      return 1;  // the picture covers what it shows; the rest shows the parent
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(handle, &paint);
      if (bitmapMode && window->image) PlatDrawBitmap(dc, 0, 0, window->image);
      EndPaint(handle, &paint);
      return 0;
    }
    default:
      return DefWindowProcA(handle, message, wParam, lParam);
  }
}

}  // namespace

void PlatRegisterStandardClasses() {
  if (gRegistered) return;
  gRegistered = true;
  WNDCLASSEXA info{};
  info.cbSize = sizeof info;
  info.lpfnWndProc = PlatStaticProc;
  info.lpszClassName = "STATIC";
  RegisterClassExA(&info);
  info.style = CS_DBLCLKS | CS_SAVEBITS;
  info.lpfnWndProc = PlatDialogWindowProc;
  info.lpszClassName = kPlatDialogClass;
  info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  RegisterClassExA(&info);
}

void PlatStandardClassesForget() { gRegistered = false; }

// The standard controls are always there; nothing to load.
void InitCommonControls(void) { PlatRegisterStandardClasses(); }
