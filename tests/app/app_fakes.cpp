#include "tests/app/app_fakes.h"

#include "player/player.h"

std::vector<AppFakeCall> gAppFakeCalls;
bool gAppFakeSkinMissing = false;
HBITMAP gAppFakeSkin = nullptr;

namespace {

bool SkinAlive() {
  BITMAP info;
  return gAppFakeSkin && GetObjectA(gAppFakeSkin, sizeof info, &info) != 0;
}

void Note(const char* what, std::vector<UINT> args, HWND window = nullptr) {
  PlatHeadlessWindowState main = PlatHeadlessWindow(appState.mainWindow);
  gAppFakeCalls.push_back(AppFakeCall{what, std::move(args), window, PlatHeadlessNow(), SkinAlive(), main.visible,
                                      main.layered, main.topmost, main.title});
}

}  // namespace

DWORD AppFakeSkinColour(LONG x, LONG y) { return (DWORD)(x * 7 + y * 131072 + 0x010101) & 0xFFFFFF; }

void AppFakeReset() {
  gAppFakeCalls.clear();
  gAppFakeSkinMissing = false;
  gAppFakeSkin = nullptr;
}

HBITMAP AppLoadPicture(UINT id) {
  Note("picture", {id});
  if (id != IDB_SKIN || gAppFakeSkinMissing) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 450, -212, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  DWORD* bits = nullptr;
  HDC dc = GetDC(appState.mainWindow);
  gAppFakeSkin = CreateDIBSection(dc, &info, DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  ReleaseDC(appState.mainWindow, dc);
  for (LONG y = 0; y < 212; ++y)
    for (LONG x = 0; x < 450; ++x) bits[y * 450 + x] = AppFakeSkinColour(x, y) | 0xFF000000;
  return gAppFakeSkin;
}

HWND AppCreateButton(HWND parent, int x, int y, UINT normal, UINT pressed, UINT hover, UINT id) {
  Note("button", {(UINT)x, (UINT)y, normal, pressed, hover, id}, parent);
  WNDCLASSEXA info{};
  info.cbSize = sizeof info;
  info.lpfnWndProc = DefWindowProcA;
  info.lpszClassName = "FakeButton";
  RegisterClassExA(&info);  // fails after the first: the class exists
  return CreateWindowExA(0, "FakeButton", nullptr, WS_CHILD | WS_VISIBLE, x, y, 20, 20, parent,
                         (HMENU)(UINT_PTR)id, nullptr, nullptr);
}

void AppOpenWebLink(HWND window) { Note("link", {}, window); }

DWORD ModPlaySong(UINT module, HINSTANCE instance, DWORD flags) {
  Note(module ? "play" : "stop", {module, PlatHandleNumber(instance), flags});
  return module ? 1 : 0;
}
