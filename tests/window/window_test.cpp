// Windows, messages, timers, mouse input and painting on the headless backend.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/headless.h"
#include "platform/platform.h"
#include "platform/win32.h"
#include "platform/window_internal.h"

namespace {

class Window : public testing::Test {
 protected:
  static void SetUpTestSuite() { PlatHeadlessUse(); }
  void SetUp() override { PlatHeadlessReset(); }
  void TearDown() override { PlatHeadlessReset(); }
};

std::vector<PlatHeadlessMessage> gSeen;
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) gSeen.push_back({window, message, wParam, lParam});
  if (message == WM_USER) gSeen.push_back({window, message, wParam, lParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

ATOM Register(const char* name, int extra = 0, UINT style = 0, WNDPROC proc = RecordingProc) {
  WNDCLASSEXA info{};
  info.cbSize = sizeof info;
  info.style = style;
  info.lpfnWndProc = proc;
  info.cbWndExtra = extra;
  info.lpszClassName = name;
  return RegisterClassExA(&info);
}

HWND Top(const char* className, int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE) {
  return CreateWindowExA(0, className, "top", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
}

HWND Child(HWND parent, const char* className, int x, int y, int w, int h, int id, DWORD style = 0) {
  return CreateWindowExA(0, className, nullptr, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         (HMENU)(UINT_PTR)id, nullptr, nullptr);
}

// A 32-bit top-down DIB section filled with one colour per pixel from `colour(x, y)`.
template <typename F>
HBITMAP Picture(LONG w, LONG h, F colour) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  DWORD* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) bits[y * w + x] = colour(x, y);
  return bitmap;
}

TEST_F(Window, ClassesRegisterOnceAndWindowMemoryHoldsFourSlots) {
  EXPECT_NE(Register("Slots", 16), 0);
  EXPECT_EQ(Register("Slots", 16), 0) << "the class exists";
  EXPECT_EQ(Register("slots", 16), 0) << "class names ignore case";
  EXPECT_EQ(Top("NoSuchClass", 0, 0, 10, 10), nullptr);

  HWND parent = Top("Slots", 0, 0, 50, 50);
  HWND window = Child(parent, "Slots", 0, 0, 10, 10, 7);
  ASSERT_NE(window, nullptr);
  for (int index : {0, 4, 8, 12}) EXPECT_EQ(SetWindowLongA(window, index, 0x1000 + index), 0);
  for (int index : {0, 4, 8, 12}) EXPECT_EQ(GetWindowLongA(window, index), 0x1000 + index);
  EXPECT_EQ(SetWindowLongA(window, 13, 5), 0) << "a slot past the 16 bytes";
  EXPECT_EQ(GetWindowLongA(window, 13), 0);
  EXPECT_EQ(GetWindowLongA(window, 12), 0x100C) << "the last slot is untouched";

  EXPECT_EQ(GetDlgCtrlID(window), 7);
  EXPECT_EQ(GetParent(window), parent);
  EXPECT_EQ(GetParent(parent), nullptr);
  LONG ex = GetWindowLongA(parent, GWL_EXSTYLE);
  SetWindowLongA(parent, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  EXPECT_EQ(GetWindowLongA(parent, GWL_EXSTYLE), (LONG)(ex | WS_EX_LAYERED));
  EXPECT_TRUE(GetWindowLongA(parent, GWL_STYLE) & WS_POPUP);
}

TEST_F(Window, SentMessagesRunAtOncePostedOnesInOrderFromTheLoop) {
  Register("Plain");
  HWND window = Top("Plain", 0, 0, 10, 10);
  gSeen.clear();
  PostMessageA(window, WM_USER, 1, 0);
  PostMessageA(window, WM_USER, 2, 0);
  SendMessageA(window, WM_USER, 3, 0);
  ASSERT_EQ(gSeen.size(), 1u);
  PlatHeadlessPump();
  ASSERT_EQ(gSeen.size(), 3u);
  EXPECT_EQ(gSeen[1].wParam, 1u);
  EXPECT_EQ(gSeen[2].wParam, 2u);
  EXPECT_FALSE(PostMessageA(PlatHandleFromNumber<HWND>(0x06FFFFFF), WM_USER, 0, 0)) << "no such window";
}

int gTicks;
DWORD gTickTimes[16];
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD time) {
  if (gTicks < 16) gTickTimes[gTicks] = time;
  ++gTicks;
}

TEST_F(Window, TimersFireOnThePeriodAndSettingAgainRestartsIt) {
  Register("Plain");
  HWND window = Top("Plain", 0, 0, 10, 10);
  gTicks = 0;
  SetTimer(window, 5, 40, CountTick);
  PlatHeadlessRun(100);
  EXPECT_EQ(gTicks, 2);
  EXPECT_EQ(gTickTimes[0], 40u);
  EXPECT_EQ(gTickTimes[1], 80u);
  SetTimer(window, 5, 40, CountTick);  // at 100: the next tick is at 140, not 120
  PlatHeadlessRun(30);
  EXPECT_EQ(gTicks, 2);
  PlatHeadlessRun(10);
  EXPECT_EQ(gTicks, 3);
  EXPECT_TRUE(KillTimer(window, 5));
  EXPECT_FALSE(KillTimer(window, 5));
  PlatHeadlessRun(200);
  EXPECT_EQ(gTicks, 3);

  SetTimer(window, 6, 20, CountTick);
  DestroyWindow(window);
  PlatHeadlessRun(100);
  EXPECT_EQ(gTicks, 3) << "a window's timers end with it";
}

TEST_F(Window, MouseMessagesCarryClientCoordinatesPackedAsWindowsDoes) {
  Register("Plain");
  HWND top = Top("Plain", 100, 200, 300, 100);
  HWND child = Child(top, "Plain", 50, 10, 40, 20, 9);
  gSeen.clear();
  PlatHeadlessMouseMove(160, 215);  // inside the child at (10, 5)
  PlatHeadlessMouseMove(120, 250);  // on the top-level window at (20, 50)
  PlatHeadlessMouseMove(10, 10);    // outside every window: nobody hears it
  PlatHeadlessPump();
  ASSERT_EQ(gSeen.size(), 2u);
  EXPECT_EQ(gSeen[0].window, child);
  EXPECT_EQ(gSeen[0].lParam, MAKELPARAM(10, 5));
  EXPECT_EQ(gSeen[1].window, top);
  EXPECT_EQ(gSeen[1].lParam, MAKELPARAM(20, 50));

  // Under capture the window hears the mouse anywhere; left of and above it the low and
  // high words are negative 16-bit values.
  gSeen.clear();
  SetCapture(child);
  PlatHeadlessMouseMove(140, 200);
  PlatHeadlessMouseDown(1);
  PlatHeadlessMouseUp(1);
  PlatHeadlessPump();
  ASSERT_EQ(gSeen.size(), 3u);
  for (const auto& m : gSeen) EXPECT_EQ(m.window, child);
  EXPECT_EQ(GET_X_LPARAM(gSeen[0].lParam), -10);
  EXPECT_EQ(GET_Y_LPARAM(gSeen[0].lParam), -10);
  EXPECT_EQ(LOWORD(gSeen[0].lParam), 65526);
  EXPECT_EQ(gSeen[1].message, (UINT)WM_LBUTTONDOWN);
  EXPECT_EQ(gSeen[1].wParam, (WPARAM)MK_LBUTTON);
  EXPECT_EQ(gSeen[2].message, (UINT)WM_LBUTTONUP);
  EXPECT_EQ(gSeen[2].wParam, 0u);
  EXPECT_EQ(GetCapture(), child);
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 140);
  EXPECT_EQ(cursor.y, 200);
}

TEST_F(Window, DoubleClicksOnlyForClassesThatAskForThem) {
  Register("Plain");
  Register("Double", 0, CS_DBLCLKS);
  HWND plain = Top("Plain", 0, 0, 50, 50);
  HWND twice = Top("Double", 100, 0, 50, 50);
  gSeen.clear();
  for (LONG x : {10, 110}) {
    PlatHeadlessMouseMove(x, 10);
    for (int i = 0; i < 2; ++i) {
      PlatHeadlessMouseDown(1);
      PlatHeadlessMouseUp(1);
    }
  }
  PlatHeadlessPump();
  std::vector<UINT> plainKinds, doubleKinds;
  for (const auto& m : gSeen) (m.window == plain ? plainKinds : doubleKinds).push_back(m.message);
  EXPECT_EQ(plainKinds, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(doubleKinds, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
  (void)twice;
}

TEST_F(Window, BitmapStaticTakesItsBitmapsSizePaintsItAndLetsTheMouseThrough) {
  Register("Plain");
  HWND top = Top("Plain", 0, 0, 100, 100);
  HWND button = Child(top, "Plain", 30, 40, 100, 100, 5);
  HWND picture = Child(button, "STATIC", 0, 0, 0, 0, 5, SS_BITMAP);
  ASSERT_NE(picture, nullptr);
  HBITMAP red = Picture(20, 10, [](LONG, LONG) { return 0xFF0000u; });
  EXPECT_EQ(SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)red), 0);
  RECT rect;
  GetWindowRect(picture, &rect);
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right - rect.left, 20);
  EXPECT_EQ(rect.bottom - rect.top, 10);
  EXPECT_EQ(SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, 0), (LRESULT)red) << "the previous image comes back";
  GetWindowRect(picture, &rect);
  EXPECT_EQ(rect.right - rect.left, 20) << "no bitmap leaves the size alone";
  SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)red);

  PlatHeadlessPump();
  EXPECT_EQ(PlatHeadlessPixel(top, 30, 40), 0xFF0000u);
  EXPECT_EQ(PlatHeadlessPixel(top, 49, 49), 0xFF0000u);
  EXPECT_NE(PlatHeadlessPixel(top, 50, 40), 0xFF0000u);

  gSeen.clear();
  PlatHeadlessMouseMove(35, 45);
  PlatHeadlessPump();
  ASSERT_EQ(gSeen.size(), 1u);
  EXPECT_EQ(gSeen[0].window, button) << "the picture is transparent to the mouse";
  EXPECT_EQ(gSeen[0].lParam, MAKELPARAM(5, 5));
  DeleteObject(red);
}

TEST_F(Window, PatternBrushTilesFromTheClientOriginAndOutlivesItsBitmap) {
  Register("Plain");
  HWND top = Top("Plain", 0, 0, 64, 64);
  HWND child = Child(top, "Plain", 3, 5, 20, 20, 1);
  HBITMAP tile = Picture(4, 4, [](LONG x, LONG y) { return (DWORD)(y * 4 + x); });
  HBRUSH brush = CreatePatternBrush(tile);
  ASSERT_NE(brush, nullptr);
  EXPECT_TRUE(DeleteObject(tile));
  PlatHeadlessPump();
  HDC dc = GetDC(child);
  RECT all{0, 0, 20, 20};
  FillRect(dc, &all, brush);
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  FrameRect(dc, &all, black);
  ReleaseDC(child, dc);
  PlatHeadlessPump();
  EXPECT_EQ(PlatHeadlessPixel(top, 3 + 1, 5 + 1), 5u) << "child client (1, 1) shows tile (1, 1)";
  EXPECT_EQ(PlatHeadlessPixel(top, 3 + 6, 5 + 2), (DWORD)(2 * 4 + 2));
  for (POINT p : {POINT{0, 0}, POINT{19, 0}, POINT{0, 19}, POINT{19, 19}, POINT{10, 0}, POINT{0, 10}})
    EXPECT_EQ(PlatHeadlessPixel(top, 3 + p.x, 5 + p.y), 0u) << p.x << "," << p.y;
  EXPECT_EQ(PlatHeadlessPixel(top, 3 + 20, 5 + 1), 0u) << "nothing drawn outside the child";
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(DeleteObject(black));
}

TEST_F(Window, PlacementShowingAndZOrder) {
  Register("Plain");
  HWND top = Top("Plain", 10, 20, 30, 40, WS_POPUP);
  EXPECT_FALSE(IsWindowVisible(top));
  EXPECT_FALSE(ShowWindow(top, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(top));
  SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  PlatHeadlessWindowState state = PlatHeadlessWindow(top);
  EXPECT_TRUE(state.topmost);
  EXPECT_EQ(state.rect.left, 10);
  EXPECT_EQ(state.rect.right, 40);
  MoveWindow(top, 100, 200, 30, 40, TRUE);
  RECT rect;
  GetWindowRect(top, &rect);
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.bottom, 240);
  SetWindowPos(top, HWND_TOP, 0, 0, 50, 60, SWP_NOMOVE);
  GetClientRect(top, &rect);
  EXPECT_EQ(rect.right, 50);
  EXPECT_EQ(rect.bottom, 60);

  ShowWindow(top, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(top));
  EXPECT_TRUE(PlatHeadlessWindow(top).visible);
  ShowWindow(top, SW_RESTORE);
  EXPECT_FALSE(IsIconic(top));

  // A later sibling lies over an earlier one; HWND_TOP raises one over the rest.
  HWND below = Child(top, "Plain", 0, 0, 10, 10, 1);
  HWND above = Child(top, "Plain", 0, 0, 10, 10, 2);
  gSeen.clear();
  PlatHeadlessMouseMove(105, 205);
  SetWindowPos(below, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  PlatHeadlessPump();
  PlatHeadlessMouseMove(106, 205);
  PlatHeadlessPump();
  ASSERT_EQ(gSeen.size(), 2u);
  EXPECT_EQ(gSeen[0].window, below) << "input is read after the raise";
  (void)above;
}

TEST_F(Window, FindWindowByTitleAmongOursAndOtherPrograms) {
  Register("Plain");
  HWND mine = Top("Plain", 0, 0, 10, 10);
  SetWindowTextA(mine, "Mine");
  char title[16];
  EXPECT_EQ(GetWindowTextA(mine, title, sizeof title), 4);
  EXPECT_STREQ(title, "Mine");
  EXPECT_EQ(FindWindowA(nullptr, "Mine"), mine);
  EXPECT_EQ(FindWindowA("plain", "Mine"), mine);
  EXPECT_EQ(FindWindowA("Other", "Mine"), nullptr);
  EXPECT_EQ(FindWindowA(nullptr, "Theirs"), nullptr);

  int id = PlatHeadlessAddForeignWindow("Theirs", true);
  HWND theirs = FindWindowA(nullptr, "Theirs");
  ASSERT_NE(theirs, nullptr);
  EXPECT_EQ(FindWindowA(nullptr, "Theirs"), theirs) << "the same window gives the same handle";
  ShowWindow(theirs, SW_RESTORE);
  SetForegroundWindow(theirs);
  PlatHeadlessForeignState state = PlatHeadlessForeign(id);
  EXPECT_FALSE(state.minimized);
  EXPECT_EQ(state.restores, 1);
  EXPECT_EQ(state.activations, 1);
}

TEST_F(Window, FocusAndCaptureChangesAreAnnounced) {
  Register("Plain");
  HWND top = Top("Plain", 0, 0, 50, 50);
  HWND a = Child(top, "Plain", 0, 0, 10, 10, 1);
  HWND b = Child(top, "Plain", 20, 0, 10, 10, 2);
  PlatHeadlessRecordMessages(true);
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(SetFocus(b), a);
  EXPECT_EQ(GetFocus(), b);
  SetCapture(a);
  SetCapture(b);
  auto log = PlatHeadlessMessages();
  std::vector<std::pair<HWND, UINT>> seen;
  for (const auto& m : log) seen.push_back({m.window, m.message});
  EXPECT_EQ(seen, (std::vector<std::pair<HWND, UINT>>{
                      {a, WM_SETFOCUS}, {a, WM_KILLFOCUS}, {b, WM_SETFOCUS}, {a, WM_CAPTURECHANGED}}));
  DestroyWindow(b);
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Window, LayeredOpacityNeedsTheLayeredStyle) {
  Register("Plain");
  HWND top = Top("Plain", 0, 0, 10, 10);
  EXPECT_FALSE(SetLayeredWindowAttributes(top, 0, 10, LWA_ALPHA));
  SetWindowLongA(top, GWL_EXSTYLE, GetWindowLongA(top, GWL_EXSTYLE) | WS_EX_LAYERED);
  EXPECT_TRUE(SetLayeredWindowAttributes(top, 0, 10, LWA_ALPHA));
  EXPECT_TRUE(SetLayeredWindowAttributes(top, 0, 20, LWA_ALPHA));
  EXPECT_EQ(PlatHeadlessOpacityHistory(top), (std::vector<BYTE>{10, 20}));
  EXPECT_EQ(PlatHeadlessWindow(top).alpha, 20);
}

TEST_F(Window, CursorFromTheCursorGroupResource) {
  // A 2 x 2 cursor, 24 bits, hot spot (1, 0): group directory, then the image.
  std::vector<BYTE> image = {1, 0, 0, 0};
  BITMAPINFOHEADER header{sizeof header, 2, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  image.insert(image.end(), (BYTE*)&header, (BYTE*)&header + sizeof header);
  const BYTE colours[] = {0, 0, 255, 0, 255, 0, 0, 0,     // bottom row: red, green
                          255, 0, 0, 255, 255, 255, 0, 0}; // top row: blue, white
  image.insert(image.end(), colours, colours + sizeof colours);
  const BYTE mask[] = {0x40, 0, 0, 0, 0x00, 0, 0, 0};  // bottom row's right pixel see-through
  image.insert(image.end(), mask, mask + sizeof mask);
  const BYTE group[] = {0, 0, 2, 0, 1, 0, 2, 0, 4, 0, 1, 0, 24, 0, 0, 0, 0, 0, 7, 0};
  ASSERT_TRUE(PlatAddResource(RT_CURSOR, MAKEINTRESOURCEA(7), image.data(), (DWORD)image.size()));
  ASSERT_TRUE(PlatAddResource(RT_GROUP_CURSOR, MAKEINTRESOURCEA(300), group, sizeof group));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HCURSOR cursor = LoadCursorA(instance, MAKEINTRESOURCEA(300));
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(LoadCursorA(instance, MAKEINTRESOURCEA(300)), cursor) << "loaded once, shared";
  EXPECT_EQ(LoadCursorA(instance, MAKEINTRESOURCEA(301)), nullptr);
  EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
  const PlatCursor* record = PlatCursorGet(cursor);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->width, 2);
  EXPECT_EQ(record->height, 2);
  EXPECT_EQ(record->hotX, 1);
  EXPECT_EQ(record->hotY, 0);
  EXPECT_EQ(record->argb, (std::vector<DWORD>{0xFF0000FF, 0xFFFFFFFF, 0xFFFF0000, 0x0000FF00}))
      << "rows top first, the masked pixel see-through";
  SetCursor(cursor);
  EXPECT_EQ(GetCursor(), cursor);
  EXPECT_EQ(PlatHeadlessShownCursor(), cursor);
  PlatRemoveAddedResources();
}

}  // namespace
