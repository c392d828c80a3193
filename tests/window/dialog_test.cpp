// The dialog manager: templates, dialog units, styles, WM_INITDIALOG, the background brush
// and the modal loop, on the headless backend.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/platform.h"
#include "platform/win32.h"

namespace {

// Builds an extended dialog template, byte by byte, as the resource compiler lays it out.
struct Template {
  std::vector<BYTE> bytes;
  void Word(WORD w) {
    bytes.push_back(w & 0xFF);
    bytes.push_back(w >> 8);
  }
  void Dword(DWORD d) {
    Word(d & 0xFFFF);
    Word(d >> 16);
  }
  void Text(const std::string& s) {
    for (char c : s) Word((BYTE)c);
    Word(0);
  }
  void Align() {
    while (bytes.size() % 4) bytes.push_back(0);
  }
  Template(DWORD style, DWORD exStyle, SHORT cx, SHORT cy, WORD items, const char* face = "MS Sans Serif",
           WORD points = 8) {
    Word(1);
    Word(0xFFFF);
    Dword(0);
    Dword(exStyle);
    Dword(style);
    Word(items);
    Word(0);
    Word(0);
    Word(cx);
    Word(cy);
    Word(0);  // menu
    Word(0);  // class
    Text("");  // title
    if (style & DS_SETFONT) {
      Word(points);
      Word(0);
      bytes.push_back(0);
      bytes.push_back(1);
      Text(face);
    }
  }
  void Item(DWORD style, SHORT x, SHORT y, SHORT cx, SHORT cy, DWORD id, WORD classOrdinal) {
    Align();
    Dword(0);
    Dword(0);
    Dword(style);
    Word(x);
    Word(y);
    Word(cx);
    Word(cy);
    Dword(id);
    Word(0xFFFF);
    Word(classOrdinal);
    Word(0);  // title
    Word(0);  // extra
  }
  void Install(WORD id) { ASSERT_TRUE(PlatAddResource(RT_DIALOG, MAKEINTRESOURCEA(id), bytes.data(), (DWORD)bytes.size())); }
};

class Dialog : public testing::Test {
 protected:
  static void SetUpTestSuite() { PlatHeadlessUse(); }
  void SetUp() override { PlatHeadlessReset(); }
  void TearDown() override {
    PlatHeadlessReset();
    PlatRemoveAddedResources();
  }
};

constexpr DWORD kMainStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_CENTER | DS_CONTROL | DS_SETFONT;

struct Seen {
  HWND dialog;
  RECT rect;
  DWORD style;
  WPARAM initFocus;
  int initFocusId;  // the control id of initFocus, read while it lives
  LPARAM initParam;
  HWND focusAfterInit;
  INT_PTR initResult = FALSE;
  HBRUSH background;
  std::vector<UINT> commands;
} gSeen;

INT_PTR CALLBACK RecordingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      gSeen.dialog = dialog;
      GetWindowRect(dialog, &gSeen.rect);
      gSeen.style = GetWindowLongA(dialog, GWL_STYLE);
      gSeen.initFocus = wParam;
      gSeen.initFocusId = GetDlgCtrlID((HWND)wParam);
      gSeen.initParam = lParam;
      return gSeen.initResult;
    case WM_CTLCOLORDLG:
      return (INT_PTR)gSeen.background;
    case WM_COMMAND:
      gSeen.commands.push_back(LOWORD(wParam));
      if (LOWORD(wParam) == 42) EndDialog(dialog, 1234);
      return 0;
    default:
      return 0;
  }
}

// Ends the dialog from the idle hook once the loop has painted it.
INT_PTR RunDialog(WORD id, LPARAM param) {
  PlatHeadlessSetIdleHook([] {
    if (!gSeen.focusAfterInit) gSeen.focusAfterInit = GetFocus();
    SendMessageA(gSeen.dialog, WM_COMMAND, 42, 0);
  });
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, RecordingDialog, param);
}

TEST_F(Dialog, MainTemplateIs450By211CentredWithoutCaption) {
  gSeen = {};
  Template(kMainStyle, WS_EX_TOPMOST, 300, 130, 0).Install(100);
  EXPECT_EQ(RunDialog(100, 77), 1234);
  EXPECT_EQ(gSeen.rect.right - gSeen.rect.left, 450);
  EXPECT_EQ(gSeen.rect.bottom - gSeen.rect.top, 211);
  EXPECT_EQ(gSeen.rect.left, (1280 - 450) / 2);
  EXPECT_EQ(gSeen.rect.top, (1024 - 211) / 2);
  EXPECT_EQ(gSeen.style & WS_CAPTION, 0u) << "DS_CONTROL removes the caption";
  EXPECT_EQ(gSeen.style & WS_VISIBLE, 0u) << "shown only after WM_INITDIALOG";
  EXPECT_EQ(gSeen.initParam, 77);
  EXPECT_FALSE(IsWindow(gSeen.dialog)) << "the dialog is gone when DialogBoxParamA returns";
}

TEST_F(Dialog, DialogUnitsFollowTheTemplateFont) {
  struct Case {
    const char* face;
    WORD points;
    DWORD style;
    LONG width, height;
  };
  const Case cases[] = {
      {"MS Sans Serif", 8, DS_SETFONT, 150, 106},   // 6 x 13 pixels per character
      {"MS Sans Serif", 16, DS_SETFONT, 300, 211},  // scaled from the 8-point font: 12 x 26
      {"", 0, 0, 200, 130},                         // no font: the system font, 8 x 16
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.face);
    PlatHeadlessReset();
    gSeen = {};
    Template(WS_POPUP | c.style, 0, 100, 65, 0, c.face, c.points).Install(101);
    RunDialog(101, 0);
    EXPECT_EQ(gSeen.rect.right - gSeen.rect.left, c.width);
    EXPECT_EQ(gSeen.rect.bottom - gSeen.rect.top, c.height);
  }
}

TEST_F(Dialog, InitDialogFocusRule) {
  Template t(WS_POPUP | DS_SETFONT, 0, 100, 100, 2);
  t.Item(WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 10, 10, 11, 0x0082);
  t.Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | SS_NOTIFY, 20, 0, 10, 10, 12, 0x0082);
  t.Install(102);
  for (INT_PTR answer : {TRUE, FALSE}) {
    SCOPED_TRACE(answer);
    PlatHeadlessReset();
    gSeen = {};
    gSeen.initResult = answer;
    RunDialog(102, 0);
    HWND second = (HWND)gSeen.initFocus;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(gSeen.initFocusId, 12) << "wParam names the first tab stop, not the first control";
    EXPECT_EQ(GetDlgCtrlID(second), 0) << "destroyed with the dialog";
    if (answer) EXPECT_EQ(gSeen.focusAfterInit, second);
    else EXPECT_EQ(gSeen.focusAfterInit, nullptr) << "FALSE leaves the focus where the procedure put it";
  }
}

TEST_F(Dialog, BackgroundComesFromWmCtlColorDlgOrTheSystemFace) {
  Template(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 20, 16, 0).Install(103);
  DWORD painted[2];
  for (int i = 0; i < 2; ++i) {
    PlatHeadlessReset();
    gSeen = {};
    gSeen.background = i == 0 ? CreateSolidBrush(RGB(1, 2, 3)) : nullptr;
    PlatHeadlessSetIdleHook([&painted, i] {
      painted[i] = PlatHeadlessPixel(gSeen.dialog, 5, 5);
      EndDialog(gSeen.dialog, 0);
    });
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(103), nullptr, RecordingDialog, 0);
    if (gSeen.background) DeleteObject(gSeen.background);
  }
  EXPECT_EQ(painted[0], 0x010203u);
  EXPECT_EQ(painted[1], 0xF0F0F0u) << "the system's dialog face";
}

TEST_F(Dialog, EnterAndEscapeBecomeCommandsOneAndTwo) {
  gSeen = {};
  Template(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 20, 16, 0).Install(104);
  int step = 0;
  PlatHeadlessSetIdleHook([&step] {
    if (step == 0) {
      PlatHeadlessKey(VK_RETURN);
      PlatHeadlessKey(VK_ESCAPE);
    } else {
      EndDialog(gSeen.dialog, 5);
    }
    ++step;
  });
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(104), nullptr, RecordingDialog, 0), 5);
  EXPECT_EQ(gSeen.commands, (std::vector<UINT>{IDOK, IDCANCEL}));
}

TEST_F(Dialog, MissingOrDamagedTemplatesFail) {
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr, RecordingDialog, 0), -1);
  Template t(kMainStyle, 0, 300, 130, 1);
  t.bytes.resize(t.bytes.size() - 3);  // the face name cut short, and the item missing
  t.Install(105);
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(105), nullptr, RecordingDialog, 0), -1);
  EXPECT_TRUE(PlatHeadlessWindow(FindWindowA(nullptr, "")).exists == false);
}

TEST_F(Dialog, AModalLoopWithNothingLeftToHappenEnds) {
  Template(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 20, 16, 0).Install(106);
  EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(106), nullptr, RecordingDialog, 0), -1);
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(quit.message, (UINT)WM_QUIT) << "the quit is left for the caller's loop";
}

}  // namespace
