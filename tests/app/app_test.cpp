// The program's entry, main window and fading, run through AppEntry on the headless
// backend with the real dialog template and cursor. Each test scripts the desktop from the
// modal loop's idle hook: the loop calls it whenever it waits, then jumps to the next timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/app.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "tests/app/app_fakes.h"

namespace {

struct ExitCalled {
  UINT code;
};
void ThrowOnExit(UINT code) { throw ExitCalled{code}; }

// Where template 100 puts the window on the 1280 x 1024 headless screen.
constexpr RECT kCentred{415, 406, 865, 617};

class App : public testing::Test {
 protected:
  static void SetUpTestSuite() { PlatHeadlessUse(); }
  void SetUp() override {
    PlatHeadlessReset();
    AppFakeReset();
    appState = AppState{};
    PlatSetExitHook(ThrowOnExit);
  }
  void TearDown() override {
    PlatHeadlessReset();
    PlatSetExitHook(nullptr);
  }

  // Runs the program until it ends; `step` gets the number of the idle moment (0 first,
  // right after initialisation and the first paint). When no timer runs, time still passes
  // in steps of 100 ms up to `quietUntil` ms. Returns the exit code.
  int Run(std::function<void(int step)> step, DWORD quietUntil = 0) {
    int count = 0;
    PlatHeadlessSetIdleHook([&] {
      step(count++);
      DWORD now = PlatHeadlessNow();
      if (PlatHeadlessNothingToDo() && PlatHeadlessNextTimer() == INFINITE && now < quietUntil) PlatHeadlessAdvanceClock(std::min<DWORD>(quietUntil - now, 100));
      if (count > 5000) ADD_FAILURE() << "the program never ended";
    });
    try {
      AppEntry();
    } catch (const ExitCalled& exit) {
      exitTime = PlatHeadlessNow();
      return (int)exit.code;
    }
    return -1;
  }

  static void Post(UINT message, WPARAM wParam = 0) { PostMessageA(appState.mainWindow, message, wParam, 0); }

  const AppFakeCall* Find(const char* what) {
    for (const AppFakeCall& c : gAppFakeCalls)
      if (c.what == what) return &c;
    return nullptr;
  }

  DWORD exitTime = 0;
};

TEST_F(App, InitialisationOrderAndWhatTheWindowShows) {
  PlatHeadlessWindowState state{};
  HWND focus = nullptr;
  DWORD pixels[8] = {};
  std::vector<BYTE> opacity;
  int code = Run([&](int step) {
    if (step != 0) return;
    state = PlatHeadlessWindow(appState.mainWindow);
    focus = GetFocus();
    opacity = PlatHeadlessOpacityHistory(appState.mainWindow);
    const POINT at[8] = {{5, 5}, {300, 120}, {1, 1}, {0, 0}, {449, 0}, {0, 210}, {449, 210}, {200, 210}};
    for (int i = 0; i < 8; ++i) pixels[i] = PlatHeadlessPixel(appState.mainWindow, at[i].x, at[i].y);
    Post(WM_CLOSE);
  });
  EXPECT_EQ(code, 0);

  ASSERT_EQ(gAppFakeCalls.size(), 6u);
  EXPECT_EQ(gAppFakeCalls[5].what, "stop");
  const AppFakeCall& picture = gAppFakeCalls[0];
  EXPECT_EQ(picture.what, "picture");
  EXPECT_EQ(picture.args, (std::vector<UINT>{500}));
  EXPECT_EQ(picture.windowTitle, "Orvenne Labs") << "the title comes first";
  EXPECT_TRUE(picture.windowTopmost) << "then the top-most position";
  const std::vector<UINT> buttons[] = {{113, 168, 501, 503, 502, 301}, {391, 7, 601, 603, 602, 302},
                                       {419, 7, 701, 703, 702, 303}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(gAppFakeCalls[1 + i].what, "button");
    EXPECT_EQ(gAppFakeCalls[1 + i].args, buttons[i]);
    EXPECT_EQ(gAppFakeCalls[1 + i].window, appState.mainWindow);
  }
  const AppFakeCall& play = gAppFakeCalls[4];
  EXPECT_EQ(play.what, "play");
  EXPECT_EQ(play.args, (std::vector<UINT>{400, PlatHandleNumber(GetModuleHandleA(nullptr)), 0}));
  EXPECT_FALSE(play.windowLayered) << "the music starts before the window turns layered";
  EXPECT_FALSE(play.windowVisible) << "and before it is shown";

  EXPECT_EQ(state.title, "Orvenne Labs");
  EXPECT_TRUE(state.visible);
  EXPECT_TRUE(state.topmost);
  EXPECT_TRUE(state.layered);
  EXPECT_EQ(opacity, (std::vector<BYTE>{0})) << "transparent until the first fade step";
  EXPECT_EQ(state.rect.left, kCentred.left);
  EXPECT_EQ(state.rect.top, kCentred.top);
  EXPECT_EQ(state.rect.right, kCentred.right);
  EXPECT_EQ(state.rect.bottom, kCentred.bottom);
  EXPECT_NE(focus, nullptr);
  EXPECT_EQ(focus, appState.linkButton) << "the focus is on the link button";

  EXPECT_EQ(pixels[0], AppFakeSkinColour(5, 5)) << "the skin tiles the face from the client origin";
  EXPECT_EQ(pixels[1], AppFakeSkinColour(300, 120));
  EXPECT_EQ(pixels[2], AppFakeSkinColour(1, 1));
  for (int i = 3; i < 8; ++i) EXPECT_EQ(pixels[i], 0u) << "black frame, point " << i;
}

TEST_F(App, MissingSkinLeavesTheDefaultBackgroundWithItsFrame) {
  gAppFakeSkinMissing = true;
  DWORD face = 0, frame = 1;
  EXPECT_EQ(Run([&](int step) {
              if (step != 0) return;
              face = PlatHeadlessPixel(appState.mainWindow, 100, 100);
              frame = PlatHeadlessPixel(appState.mainWindow, 0, 100);
              Post(WM_CLOSE);
            }),
            0);
  EXPECT_EQ(face, 0xF0F0F0u);
  EXPECT_EQ(frame, 0u);
}

// The fade: each case presses close (command 303) at some moment, or never, and closes
// from outside at 3 s if the window is still open.
TEST_F(App, FadeSequences) {
  struct Case {
    const char* what;
    DWORD closeAt;        // virtual ms of the first command 303; ~0 for none
    DWORD secondCloseAt;  // a second command 303, ~0 for none
  };
  const Case cases[] = {
      {"fade-in only", ~0u, ~0u},
      {"close at full opacity", 1000, ~0u},
      {"close during the fade-in", 120, ~0u},
      {"close before the first fade step", 0, ~0u},
      {"close twice during the fade-out", 1000, 1100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    bool closed = false, closedTwice = false;
    std::vector<BYTE> atTwoSeconds;
    int code = Run([&](int) {
      DWORD now = PlatHeadlessNow();
      if (!closed && now >= c.closeAt) {
        closed = true;
        Post(WM_COMMAND, IDC_CLOSE);
      }
      if (!closedTwice && now >= c.secondCloseAt) {
        closedTwice = true;
        Post(WM_COMMAND, IDC_CLOSE);
      }
      if (now >= 2000 && atTwoSeconds.empty()) atTwoSeconds = PlatHeadlessOpacityHistory(appState.mainWindow);
      if (now >= 3000) Post(WM_CLOSE);
    }, 3000);
    EXPECT_EQ(code, 0);
    const AppFakeCall* stop = Find("stop");
    ASSERT_NE(stop, nullptr) << "the window closed and the music stopped";

    if (c.closeAt == ~0u) {
      std::vector<BYTE> expected;
      for (int level = 0; level <= 230; level += 10) expected.push_back((BYTE)level);
      EXPECT_EQ(atTwoSeconds, expected) << "0, 10, ... 230 and then it stays";
      EXPECT_EQ(stop->time, 3000u);
      continue;
    }
    EXPECT_TRUE(atTwoSeconds.empty()) << "closed by the fade-out, well before 2 s";
    EXPECT_EQ(stop->windowVisible, true);
    if (c.closeAt == 1000) {
      // 23 steps of 20 ms from 230 down to 0; a second press only restarts the period.
      EXPECT_GE(stop->time, 1000u + 23 * 20);
      EXPECT_LE(stop->time, 1000u + 23 * 20 + 40);
    }
  }
}

TEST_F(App, FadeLevelNeverLeavesZeroTo230) {
  // Close during the fade-in, and before it: every opacity given lies in 0..230 and the
  // last one is 0.
  for (DWORD closeAt : {0u, 40u, 120u, 400u}) {
    SCOPED_TRACE(closeAt);
    SetUp();
    std::vector<BYTE> history;
    bool closed = false;
    EXPECT_EQ(Run([&](int) {
                if (!closed && PlatHeadlessNow() >= closeAt) {
                  closed = true;
                  Post(WM_COMMAND, IDC_CLOSE);
                }
                history = PlatHeadlessOpacityHistory(appState.mainWindow);
                if (PlatHeadlessNow() >= 3000) Post(WM_CLOSE);
              }),
              0);
    ASSERT_NE(Find("stop"), nullptr);
    EXPECT_LT(Find("stop")->time, 2000u) << "the fade-out closed the window";
    for (BYTE level : history) EXPECT_LE(level, 230);
    EXPECT_EQ(appState.fadeLevel, 0);
  }
}

TEST_F(App, DraggingFollowsTheScreenCursorUnderCapture) {
  std::vector<RECT> rects;
  std::vector<HWND> captures;
  HCURSOR cursorAfterMove = nullptr;
  const POINT path[] = {{kCentred.left + 200, kCentred.top + 100},  // hover only: no drag
                        {kCentred.left + 230, kCentred.top + 140},
                        {10, 10},                                   // far outside, captured
                        {20, 5}};
  EXPECT_EQ(Run([&](int step) {
              RECT r;
              GetWindowRect(appState.mainWindow, &r);
              if (step > 0) rects.push_back(r);
              captures.push_back(GetCapture());
              switch (step) {
                case 0: PlatHeadlessMouseMove(path[0].x, path[0].y); break;
                case 1: cursorAfterMove = GetCursor(); PlatHeadlessMouseDown(1); break;
                case 2: PlatHeadlessMouseMove(path[1].x, path[1].y); break;
                case 3: PlatHeadlessMouseMove(path[2].x, path[2].y); break;
                case 4: PlatHeadlessMouseUp(1); break;
                case 5: PlatHeadlessMouseMove(path[3].x, path[3].y); break;
                default: Post(WM_CLOSE); break;
              }
            }),
            0);
  ASSERT_GE(rects.size(), 6u);
  EXPECT_EQ(rects[0].left, kCentred.left) << "a move without a press does not drag";
  EXPECT_NE(cursorAfterMove, nullptr);
  EXPECT_EQ(cursorAfterMove, appState.cursor) << "it only sets the cursor";
  EXPECT_EQ(rects[1].left, kCentred.left) << "the press alone moves nothing";
  EXPECT_EQ(captures[2], appState.mainWindow);
  EXPECT_EQ(rects[2].left, kCentred.left + 30);
  EXPECT_EQ(rects[2].top, kCentred.top + 40);
  LONG x = kCentred.left + 30 + (10 - path[1].x), y = kCentred.top + 40 + (10 - path[1].y);
  EXPECT_EQ(rects[3].left, x) << "outside the window too";
  EXPECT_EQ(rects[3].top, y);
  EXPECT_EQ(rects[3].right - rects[3].left, 450);
  EXPECT_EQ(rects[3].bottom - rects[3].top, 211);
  EXPECT_EQ(captures[5], nullptr) << "released";
  EXPECT_EQ(rects[5].left, x) << "no drag after the release";
}

TEST_F(App, EveryClientMouseMessageSetsTheCursorAndOnlyTheLeftButtonDrags) {
  std::vector<HCURSOR> cursors;
  std::vector<LONG> lefts;
  const int buttons[] = {2, 3};
  EXPECT_EQ(Run([&](int step) {
              cursors.push_back(GetCursor());
              RECT r;
              GetWindowRect(appState.mainWindow, &r);
              lefts.push_back(r.left);
              SetCursor(nullptr);
              if (step == 0) PlatHeadlessMouseMove(kCentred.left + 50, kCentred.top + 50);
              else if (step <= 2) PlatHeadlessMouseDown(buttons[step - 1]);
              else if (step <= 4) PlatHeadlessMouseUp(buttons[step - 3]);
              else if (step == 5) PlatHeadlessMouseMove(kCentred.left + 90, kCentred.top + 90);
              else Post(WM_CLOSE);
            }),
            0);
  ASSERT_GE(cursors.size(), 7u);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(cursors[i], appState.cursor) << "after event " << i;
  EXPECT_NE(appState.cursor, nullptr);
  EXPECT_EQ(lefts[6], kCentred.left) << "right and middle presses do not drag";
}

TEST_F(App, OnlyCommands301To303WithCodeZeroAct) {
  struct Case {
    WPARAM wParam;
    const char* effect;  // "link", "minimize", "fade" or "" for none
  };
  const Case cases[] = {
      {MAKEWPARAM(301, 1), ""}, {MAKEWPARAM(302, 1), ""}, {MAKEWPARAM(303, 1), ""}, {IDOK, ""}, {IDCANCEL, ""},
      {300, ""},                {304, ""},                {301, "link"},            {302, "minimize"},
      {303, "fade"},
  };
  std::vector<std::string> effects;
  EXPECT_EQ(Run([&](int step) {
              if (step > 0 && step <= (int)std::size(cases)) {
                std::string effect;
                if (Find("link")) effect = "link";
                if (IsIconic(appState.mainWindow)) effect = "minimize";
                if (KillTimer(appState.mainWindow, IDT_FADE_OUT)) effect = "fade";
                effects.push_back(effect);
                gAppFakeCalls.clear();
                ShowWindow(appState.mainWindow, SW_RESTORE);
              }
              if (step < (int)std::size(cases)) SendMessageA(appState.mainWindow, WM_COMMAND, cases[step].wParam, 0);
              else Post(WM_CLOSE);
            }),
            0);
  ASSERT_EQ(effects.size(), std::size(cases));
  for (size_t i = 0; i < effects.size(); ++i) EXPECT_EQ(effects[i], cases[i].effect) << "wParam " << cases[i].wParam;
}

TEST_F(App, CloseDeletesTheSkinStopsTheMusicEndsTheDialogAndExitsZeroAtOnce) {
  size_t liveBefore = PlatGdiLiveObjects();
  DWORD closedAt = 0;
  int code = Run([&](int step) {
    if (step < 3) return;  // a few fade steps in
    closedAt = PlatHeadlessNow();
    Post(WM_CLOSE);
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(exitTime, closedAt) << "no timer runs between the close and the exit";
  const AppFakeCall* stop = Find("stop");
  ASSERT_NE(stop, nullptr);
  EXPECT_EQ(stop->args, (std::vector<UINT>{0, 0, 0}));
  EXPECT_FALSE(stop->skinAlive) << "the skin goes before the music stops";
  EXPECT_TRUE(stop->windowVisible) << "the dialog ends after the music stops";
  EXPECT_EQ(PlatGdiLiveObjects(), liveBefore) << "skin bitmap and brush deleted";
  EXPECT_EQ(PlatLiveDCs(), 0u);
}

TEST_F(App, SecondCloseDeletesNothingElse) {
  HBRUSH bystander = nullptr;
  EXPECT_EQ(Run([&](int step) {
              if (step != 1) return;
              SendMessageA(appState.mainWindow, WM_CLOSE, 0, 0);
              // New objects may take the numbers the skin objects had.
              bystander = CreateSolidBrush(RGB(1, 1, 1));
              HBRUSH other = CreateSolidBrush(RGB(2, 2, 2));
              SendMessageA(appState.mainWindow, WM_CLOSE, 0, 0);
              EXPECT_TRUE(DeleteObject(other)) << "still alive after the second close";
            }),
            0);
  EXPECT_TRUE(DeleteObject(bystander)) << "still alive after the second close";
}

TEST_F(App, RepaintsDrawTheFrameAndLeaveNoBrushBehind) {
  size_t objects = 0, dcs = 0;
  int presents = 0;
  DWORD corner = 1;
  EXPECT_EQ(Run([&](int step) {
              if (step == 0) {
                objects = PlatGdiLiveObjects();
                dcs = PlatLiveDCs();
                presents = PlatHeadlessWindow(appState.mainWindow).presents;
              }
              if (step < 100) {
                InvalidateRect(appState.mainWindow, nullptr, TRUE);
                return;
              }
              EXPECT_EQ(PlatGdiLiveObjects(), objects);
              EXPECT_EQ(PlatLiveDCs(), dcs);
              EXPECT_GE(PlatHeadlessWindow(appState.mainWindow).presents, presents + 100);
              corner = PlatHeadlessPixel(appState.mainWindow, 449, 210);
              Post(WM_CLOSE);
            }),
            0);
  EXPECT_EQ(corner, 0u);
}

TEST_F(App, ASecondCopyRestoresTheFirstAndEndsWithZero) {
  int first = PlatHeadlessAddForeignWindow("Orvenne Labs", true);
  PlatHeadlessRecordMessages(true);
  EXPECT_EQ(Run([](int) { ADD_FAILURE() << "no loop runs"; }), 0);
  PlatHeadlessForeignState state = PlatHeadlessForeign(first);
  EXPECT_FALSE(state.minimized) << "restored from minimized";
  EXPECT_EQ(state.restores, 1);
  EXPECT_EQ(state.activations, 1);
  EXPECT_TRUE(gAppFakeCalls.empty()) << "no picture, no button, no music";
  EXPECT_TRUE(PlatHeadlessMessages().empty()) << "no window of its own";
}

}  // namespace
