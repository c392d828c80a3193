// The picture button on the headless backend, with the program's own pictures: the picture
// it shows in each state, the commands it sends, its hover area and its capture.
#include <gtest/gtest.h>

#include <vector>

#include "app/app.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

const LONG PARENT_X = 100, PARENT_Y = 100;

struct Command {
  WPARAM wParam;
  LPARAM lParam;
  HWND captureAtCommand;
};
std::vector<Command> gCommands;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) gCommands.push_back({wParam, lParam, GetCapture()});
  return DefWindowProcA(window, message, wParam, lParam);
}

enum Shown { NORMAL = 0, PRESSED = 4, HOVER = 8, OTHER = -1 };

class PictureButton : public testing::Test {
 protected:
  HWND parent = nullptr, link = nullptr, minimize = nullptr;

  static void SetUpTestSuite() { PlatHeadlessUse(); }
  void SetUp() override {
    PlatHeadlessReset();  // forgets the classes too
    WNDCLASSEXA parentClass{};
    parentClass.cbSize = sizeof parentClass;
    parentClass.lpfnWndProc = ParentProc;
    parentClass.lpszClassName = "ButtonTestParent";
    RegisterClassExA(&parentClass);
    gCommands.clear();
    parent = CreateWindowExA(0, "ButtonTestParent", "parent", WS_POPUP | WS_VISIBLE, PARENT_X, PARENT_Y, 450, 211,
                             nullptr, nullptr, nullptr, nullptr);
    link = AppCreateButton(parent, 113, 168, 501, 503, 502, IDC_LINK);
    minimize = AppCreateButton(parent, 391, 7, 601, 603, 602, IDC_MINIMIZE);
    MoveTo(parent, 5, 5);
  }
  void TearDown() override { PlatHeadlessReset(); }

  // Moves the mouse to client (x, y) of a window and delivers what follows.
  void MoveTo(HWND window, LONG x, LONG y) {
    RECT r;
    GetWindowRect(window, &r);
    PlatHeadlessMouseMove(r.left + x, r.top + y);
    PlatHeadlessPump();
  }
  void Down() {
    PlatHeadlessMouseDown(1);
    PlatHeadlessPump();
  }
  void Up() {
    PlatHeadlessMouseUp(1);
    PlatHeadlessPump();
  }
  void Click(HWND button, LONG x, LONG y) {
    MoveTo(button, x, y);
    Down();
    Up();
  }
  static Shown ShownBy(HWND button) {
    HWND child = (HWND)(LONG_PTR)GetWindowLongA(button, 12);
    LRESULT image = SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0);
    for (Shown slot : {NORMAL, PRESSED, HOVER})
      if (image == (LRESULT)(LONG_PTR)GetWindowLongA(button, slot)) return slot;
    return OTHER;
  }
};

TEST_F(PictureButton, TakesTheSizeOfItsNormalPictureAndHoldsItsPictures) {
  RECT r;
  GetWindowRect(link, &r);
  EXPECT_EQ(r.right - r.left, 227);
  EXPECT_EQ(r.bottom - r.top, 27);
  EXPECT_EQ(r.left, PARENT_X + 113);
  EXPECT_EQ(r.top, PARENT_Y + 168);
  GetWindowRect(minimize, &r);
  EXPECT_EQ(r.right - r.left, 20);
  EXPECT_EQ(r.bottom - r.top, 20);
  for (int slot : {0, 4, 8, 12}) EXPECT_NE(GetWindowLongA(link, slot), 0) << slot;
  EXPECT_EQ(GetDlgCtrlID(link), IDC_LINK);
  EXPECT_EQ(GetDlgCtrlID((HWND)(LONG_PTR)GetWindowLongA(link, 12)), IDC_LINK);
  EXPECT_EQ(ShownBy(link), NORMAL);
}

TEST_F(PictureButton, ClickInsideSendsOneCommandBeforeReleasingTheCapture) {
  MoveTo(link, 50, 10);
  EXPECT_EQ(ShownBy(link), HOVER);
  Down();
  EXPECT_EQ(ShownBy(link), PRESSED);
  EXPECT_EQ(GetCapture(), link);
  Up();
  ASSERT_EQ(gCommands.size(), 1u);
  EXPECT_EQ(gCommands[0].wParam, (WPARAM)IDC_LINK);  // notification code 0 in the high word
  EXPECT_EQ(gCommands[0].lParam, (LPARAM)link);
  EXPECT_EQ(gCommands[0].captureAtCommand, link);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ShownBy(link), NORMAL);  // until the mouse moves again
  MoveTo(link, 51, 10);
  EXPECT_EQ(ShownBy(link), HOVER);
}

TEST_F(PictureButton, PressThenReleaseOutsideSendsNothing) {
  MoveTo(minimize, 10, 10);
  Down();
  MoveTo(parent, 200, 100);
  EXPECT_EQ(ShownBy(minimize), PRESSED);  // stays pressed off the button
  EXPECT_EQ(GetCapture(), minimize);
  Up();
  EXPECT_TRUE(gCommands.empty());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ShownBy(minimize), NORMAL);
}

TEST_F(PictureButton, OnlyAReleaseStrictlyInsideClicks) {
  struct Case {
    LONG x, y;
    bool clicks;
  } cases[] = {{1, 1, true}, {226, 26, true}, {0, 10, false}, {10, 0, false}};
  for (const Case& c : cases) {
    gCommands.clear();
    Click(link, c.x, c.y);
    EXPECT_EQ(gCommands.size(), c.clicks ? 1u : 0u) << c.x << "," << c.y;
    MoveTo(parent, 5, 5);
  }
  // A release past the right edge reaches the button only through its capture.
  gCommands.clear();
  MoveTo(link, 100, 10);
  Down();
  MoveTo(link, 227, 10);
  Up();
  EXPECT_TRUE(gCommands.empty());
}

TEST_F(PictureButton, DoubleClickIsTwoClicks) {
  MoveTo(link, 40, 10);
  Down();
  Up();
  Down();
  Up();
  EXPECT_EQ(gCommands.size(), 2u);
}

TEST_F(PictureButton, LinkHoverAreaLeavesOutItsLastColumnsAndBottomRightRows) {
  struct Case {
    LONG x, y;
    Shown shown;
  } cases[] = {
      {0, 0, HOVER},     {30, 26, HOVER},   {31, 22, HOVER},  {222, 22, HOVER},
      {223, 10, NORMAL}, {226, 10, NORMAL}, {31, 23, NORMAL}, {100, 26, NORMAL},
  };
  for (const Case& c : cases) {
    MoveTo(parent, 5, 5);
    MoveTo(link, c.x, c.y);
    EXPECT_EQ(ShownBy(link), c.shown) << c.x << "," << c.y;
  }
  // Hovered, the button holds the capture, so it sees the move that leaves it.
  MoveTo(link, 50, 10);
  EXPECT_EQ(GetCapture(), link);
  MoveTo(parent, 5, 5);
  EXPECT_EQ(ShownBy(link), NORMAL);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(GetFocus(), link);
}

TEST_F(PictureButton, NoButtonHoversWhileAPressIsUnreleased) {
  MoveTo(link, 50, 10);
  Down();
  ReleaseCapture();  // another window takes the mouse: the link never sees its release
  MoveTo(minimize, 10, 10);
  EXPECT_EQ(ShownBy(minimize), NORMAL);
  // The next release that any picture button receives clears the shared flag.
  Up();
  MoveTo(minimize, 11, 10);
  EXPECT_EQ(ShownBy(minimize), HOVER);
  MoveTo(parent, 5, 5);
}

TEST_F(PictureButton, MissingNormalPictureMakesAnInvisibleButton) {
  HWND button = AppCreateButton(parent, 10, 10, 9999, 503, 502, 350);
  ASSERT_NE(button, nullptr);
  RECT r;
  GetWindowRect(button, &r);
  EXPECT_EQ(r.right - r.left, 0);
  EXPECT_EQ(r.bottom - r.top, 0);
  EXPECT_EQ(GetWindowLongA(button, 0), 0);
}

}  // namespace
