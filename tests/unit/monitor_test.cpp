// Several monitors and display scaling on Windows, over the fakes' monitors:
// blits reach a window on any monitor, the pacing's clock keeps the rate of
// the window's own monitor, and a window the system stretches is told of.
#include <math.h>

#include <memory>

#include "present/pacing.h"
#include "test_support.h"

namespace {

typedef FakePlatform::Monitor Monitor;
const unsigned char kWindowed =
    LurnDirectDraw::ReleaseSecondary | LurnDirectDraw::KeepDesktop;

std::string Text(const RECT &r) {
  char text[64];
  snprintf(text, sizeof text, "%ld,%ld-%ld,%ld", long(r.left), long(r.top),
           long(r.right), long(r.bottom));
  return text;
}

class Monitors : public FakePlatformTest {
protected:
  void TearDown() override {
    SetVariable("LURN_PRESENT", "");
    FakePlatformTest::TearDown();
  }
  // A window of the fake window system on the screen at `place`, whose
  // client area is all of it.
  HWND Window(const RECT &place, int dpiAwareness = 0) {
    HWND window = FakeCreateWindow(NULL, WS_VISIBLE, place);
    fake.windows[window].dpiAwareness = dpiAwareness;
    fake.clientOrigin = POINT{place.left, place.top};
    fake.clientRect =
        RECT{0, 0, place.right - place.left, place.bottom - place.top};
    return window;
  }
  // The source and destination of each blit onto the primary.
  std::vector<std::string> Blits() const {
    std::vector<std::string> blits;
    for (const FakeCall &call : fake.calls)
      if (call.name == "IDirectDrawSurface::Blt" && call.values.size() == 11)
        blits.push_back(
            Text(call.As<RECT>()) + " from " +
            Text(RECT{LONG(call.values[7]), LONG(call.values[8]),
                      LONG(call.values[9]), LONG(call.values[10])}));
    return blits;
  }
};

// A 320 x 200 picture 1:1 in a window beside the 640 x 480 primary: monitors
// left of it (negative x), right of it and above it (negative y). Only what
// lies off every monitor is cut; a platform that refuses a copy past the
// primary monitor gets the part on that.
TEST_F(Monitors, BlitsReachAWindowOnAnyMonitor) {
  const struct {
    const char *label;
    POINT origin;
    const char *blit; // "" for none
  } rows[] = {
      {"left", {-500, 100}, "-500,100--180,300 from 0,0-320,200"},
      {"left and primary", {-100, 10}, "-100,10-220,210 from 0,0-320,200"},
      {"right", {700, 50}, "700,50-1020,250 from 0,0-320,200"},
      {"above", {100, -300}, "100,-300-420,-100 from 0,0-320,200"},
      {"past the left", {-900, 0}, "-800,0--580,200 from 100,0-320,200"},
      {"past the bottom", {1500, 700}, "1500,700-1664,768 from 0,0-164,68"},
      {"off every monitor", {-2000, 0}, ""},
  };
  ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16,
                            LurnDirectDraw::ReleaseSecondary));
  fake.monitors = {Monitor{RECT{0, 0, 640, 480}, 60, 96},
                   Monitor{RECT{-800, 0, 0, 600}, 60, 96},
                   Monitor{RECT{640, 0, 1664, 768}, 60, 96},
                   Monitor{RECT{0, -480, 640, 0}, 60, 96}};
  fake.clientRect = RECT{0, 0, 320, 200};
  for (const auto &row : rows) {
    fake.calls.clear();
    fake.clientOrigin = row.origin;
    EXPECT_EQ(1, display.UpdatePrimaryBuffer()) << row.label;
    std::vector<std::string> blits = Blits();
    EXPECT_EQ(row.blit, blits.empty() ? "" : blits[0]) << row.label;
    EXPECT_GE(1u, blits.size()) << row.label;
  }
  fake.calls.clear();
  fake.clientOrigin = POINT{-100, 10};
  fake.Answer("IDirectDrawSurface::Blt", DDERR_INVALIDRECT);
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ((std::vector<std::string>{"-100,10-220,210 from 0,0-320,200",
                                      "0,10-220,210 from 100,0-320,200"}),
            Blits())
      << "refused across the left monitor and the primary";
}

// The refresh is the window's own monitor's (a primary, and a second
// monitor right of it); the compositor's timing, which follows the primary
// monitor, only on that one and where it agrees.
TEST_F(Monitors, TheClockKeepsTheRateOfTheWindowsOwnMonitor) {
  const struct {
    const char *label;
    int hertz[2]; // the primary's and the second monitor's
    bool onSecond;
    UINT dwmRate[2]; // {0, 0}: DwmGetCompositionTimingInfo is absent
    HRESULT dwmAnswer;
    double expected; // hertz
    bool phase;      // the compositor's vertical blank as the phase
  } rows[] = {
      {"primary, DWM's fraction", {59, 144}, 0, {60000, 1001}, 0, 59.94006, 1},
      {"144 beside 60", {60, 144}, 1, {60, 1}, 0, 144, 0},
      {"60 beside 60: not DWM's phase", {60, 60}, 1, {60, 1}, 0, 60, 0},
      {"primary 144, DWM 60", {144, 60}, 0, {60, 1}, 0, 144, 0},
      {"no DWM", {75, 60}, 0, {0, 0}, 0, 75, 0},
      {"DWM's rate 0", {60, 60}, 0, {0, 1}, 0, 60, 0},
      {"DWM fails", {75, 60}, 0, {75, 1}, E_FAIL, 75, 0},
      {"a rate of 0: 60", {0, 60}, 0, {0, 0}, 0, 60, 0},
  };
  for (const auto &row : rows) {
    SetUp();
    fake.monitors = {Monitor{RECT{0, 0, 1280, 800}, row.hertz[0], 96},
                     Monitor{RECT{1280, 0, 3200, 1080}, row.hertz[1], 96}};
    fake.dwmRate[0] = row.dwmRate[0];
    fake.dwmRate[1] = row.dwmRate[1];
    fake.dwmVBlank = 4242;
    if (row.dwmRate[1] == 0)
      fake.absent.insert("DwmGetCompositionTimingInfo");
    fake.Answer("DwmGetCompositionTimingInfo", row.dwmAnswer);
    HWND window = Window(row.onSecond ? RECT{1400, 100, 2040, 580}
                                      : RECT{100, 100, 740, 580});
    std::unique_ptr<PacingClock> clock(NewWindowsClock(window));
    PacingClock::Refresh refresh = clock->ReadRefresh();
    double expected = double(clock->TicksPerSecond()) / row.expected;
    EXPECT_NEAR(expected, double(refresh.period), 1.0) << row.label; // a tick
    EXPECT_EQ(row.phase, refresh.hasPhase) << row.label;
    if (row.phase) {
      EXPECT_EQ(4242, refresh.phase) << row.label;
    }
  }
}

// A window moved to another monitor, and a monitor that changed its rate:
// the window's hook tells the clock, which tells the pacing once.
TEST_F(Monitors, TheClockHearsOfMovesAndDisplayChangesThroughTheWindowsHook) {
  fake.monitors = {Monitor{RECT{0, 0, 1280, 800}, 60, 96},
                   Monitor{RECT{1280, 0, 3200, 1080}, 144, 96}};
  fake.absent.insert("DwmGetCompositionTimingInfo");
  HWND window = Window(RECT{100, 100, 740, 580});
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  std::unique_ptr<PacingClock> clock(NewWindowsClock(window));
  long long second = clock->TicksPerSecond();
  EXPECT_EQ(PeriodOfWholeHertz(second, 60), clock->ReadRefresh().period);
  EXPECT_FALSE(clock->DisplayChanged());
  fake.windows[window].rect = RECT{1400, 100, 2040, 580};
  FakeSend(window, WM_WINDOWPOSCHANGED, 0, 0);
  EXPECT_TRUE(clock->DisplayChanged()) << "a move";
  EXPECT_FALSE(clock->DisplayChanged()) << "told once";
  EXPECT_EQ(PeriodOfWholeHertz(second, 144), clock->ReadRefresh().period);
  fake.monitors[1].hertz = 120;
  FakeSend(window, WM_DISPLAYCHANGE, 32, 0);
  EXPECT_TRUE(clock->DisplayChanged()) << "a display change";
  EXPECT_EQ(PeriodOfWholeHertz(second, 120), clock->ReadRefresh().period);
}

// Without a high-resolution waitable timer, the clock raises the system's
// timer resolution to 1 ms, once, while it paces, and lowers it at the end;
// a wait still never ends early.
TEST_F(Monitors, WithoutAHighResolutionTimerTheClockRaisesTheTimerResolution) {
  fake.absent.insert("CreateWaitableTimerExW");
  std::unique_ptr<PacingClock> clock(
      NewWindowsClock(Window(RECT{0, 0, 64, 48})));
  for (int wait = 0; wait < 2; ++wait) {
    long long when = clock->Now() + clock->TicksPerSecond() * 3 / 1000;
    clock->SleepUntil(when);
    EXPECT_GE(clock->Now(), when);
  }
  ASSERT_EQ(1u, fake.Count("timeBeginPeriod"));
  EXPECT_EQ(1u, fake.Find("timeBeginPeriod")->values[0]);
  EXPECT_EQ(0u, fake.Count("timeEndPeriod")) << "while the display paces";
  clock.reset();
  ASSERT_EQ(1u, fake.Count("timeEndPeriod"));
  EXPECT_EQ(1u, fake.Find("timeEndPeriod")->values[0]);
}

// The diagnostic lines that name the stretching.
std::vector<std::string> Stretched(const std::vector<std::string> &lines) {
  std::vector<std::string> said;
  for (const std::string &line : lines)
    if (line.find("stretches") != std::string::npos)
      said.push_back(line);
  return said;
}

// A DPI-unaware window moved from a monitor at 100 % to one at 150 %: once
// there, the diagnostic line says so once, with the fix; the pointer reads
// the picture's pixels all along.
TEST_F(Monitors, AnUnawareWindowOnAScaledMonitorIsToldOnceWithTheFix) {
  fake.monitors = {Monitor{RECT{0, 0, 1280, 800}, 60, 96},
                   Monitor{RECT{1280, 0, 3200, 1080}, 60, 144}};
  HWND window = Window(RECT{100, 100, 740, 580});
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  display.UpdatePrimaryBuffer();
  EXPECT_EQ(0u, Stretched(Diagnostics()).size()) << "at 100 %";
  // Its client area: 960 x 720 real pixels at (1400, 150), 640 x 480 as
  // the window sees them.
  fake.windows[window].rect = RECT{1400, 150, 2360, 870};
  fake.clientOrigin = POINT{1400, 150};
  fake.clientRect = RECT{0, 0, 960, 720};
  FakeSend(window, WM_WINDOWPOSCHANGED, 0, 0);
  for (int frame = 0; frame < 3; ++frame)
    display.UpdatePrimaryBuffer();
  std::vector<std::string> said = Stretched(Diagnostics());
  ASSERT_EQ(1u, said.size());
  EXPECT_NE(std::string::npos, said[0].find("DPI-unaware")) << said[0];
  EXPECT_NE(std::string::npos, said[0].find("at 150 %")) << said[0];
  EXPECT_NE(std::string::npos, said[0].find("PerMonitorV2")) << said[0];
  EXPECT_NE(std::string::npos, said[0].find("SetProcessDpiAwarenessContext"))
      << said[0];
  fake.cursor = POINT{1400 + 480, 150 + 360}; // the client area's middle
  LurnLong x = -1, y = -1;
  EXPECT_EQ(1, display.GetCursorPosition(&x, &y));
  EXPECT_EQ("160 120", std::to_string(x) + " " + std::to_string(y));
  EXPECT_EQ(0u, fake.Count("SetThreadDpiAwarenessContext"))
      << "the thread already has the window's awareness";
}

// A window aware of per-monitor DPI presented from a thread that is not:
// the present places and blits in the monitor's real pixels, the pointer
// reads the same pixels, and the thread gets its own awareness back.
TEST_F(Monitors, AnAwareWindowIsShownInItsMonitorsRealPixels) {
  fake.monitors = {Monitor{RECT{0, 0, 1920, 1080}, 60, 144}};
  HWND window = Window(RECT{300, 200, 1260, 920}, 2);
  SetVariable("LURN_PRESENT", "directdraw");
  SetDisplayFormat(32, 0xFF0000, 0xFF00, 0xFF);
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  fake.calls.clear();
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ(std::vector<std::string>{"300,200-1260,920 from 0,0-960,720"},
            Blits());
  EXPECT_EQ(0, fake.threadAwareness) << "the thread's awareness given back";
  EXPECT_EQ(2u, fake.Count("SetThreadDpiAwarenessContext"));
  fake.cursor = POINT{300 + 3 * 100 + 1, 200 + 3 * 50 + 2};
  LurnLong x = -1, y = -1;
  EXPECT_EQ(1, display.GetCursorPosition(&x, &y));
  EXPECT_EQ("100 50", std::to_string(x) + " " + std::to_string(y));
  EXPECT_EQ(0u, Stretched(Diagnostics()).size());
}

// A display that does not keep the desktop leaves display scaling to the
// program: no DPI context is taken on the window's behalf, and no line says
// the system stretches it, aware or not.
TEST_F(Monitors, ADisplayNotKeepingTheDesktopLeavesScalingAlone) {
  fake.monitors = {Monitor{RECT{0, 0, 1920, 1080}, 60, 144}};
  for (int awareness : {0, 2}) {
    SCOPED_TRACE(awareness);
    HWND window = Window(RECT{300, 200, 1260, 920}, awareness);
    ASSERT_EQ(1, display.Open(window, 320, 240, 16,
                              LurnDirectDraw::ReleaseSecondary));
    fake.calls.clear();
    FakeSend(window, WM_DPICHANGED, 0, 0);
    display.UpdatePrimaryBuffer();
    LurnLong x, y;
    display.GetCursorPosition(&x, &y);
    EXPECT_EQ(0u, fake.Count("SetThreadDpiAwarenessContext"));
    EXPECT_EQ(0u, Stretched(Diagnostics()).size());
    display.Close();
  }
}

// A full-screen client's window, aware, covering a monitor at 100 %, is
// moved to one at 150 % (WM_DPICHANGED): it covers the new monitor, in
// its real pixels, at the next present. A mere move is the program's.
TEST_F(Monitors, AWindowCoveringItsMonitorCoversTheOneItMovedTo) {
  fake.monitors = {Monitor{RECT{0, 0, 1280, 800}, 60, 96},
                   Monitor{RECT{1280, 0, 3200, 1080}, 60, 144}};
  fake.threadAwareness = 2;
  HWND window = Window(RECT{100, 100, 740, 580}, 2);
  ASSERT_EQ(1, display.Open(window, 320, 240, 16,
                            kWindowed | LurnDirectDraw::FullScreen));
  EXPECT_EQ("0,0-1280,800", Text(fake.windows[window].rect));
  display.UpdatePrimaryBuffer();
  fake.windows[window].rect = RECT{1300, 10, 2580, 810}; // dragged across
  FakeSend(window, WM_DPICHANGED, 144 | 144 << 16, 0);
  fake.calls.clear();
  display.UpdatePrimaryBuffer();
  EXPECT_EQ("1280,0-3200,1080", Text(fake.windows[window].rect));
  display.UpdatePrimaryBuffer();
  EXPECT_EQ(1u, fake.Count("SetWindowPos")) << "moved once";
  fake.windows[window].rect = RECT{1300, 10, 2580, 810};
  FakeSend(window, WM_WINDOWPOSCHANGED, 0, 0);
  display.UpdatePrimaryBuffer();
  EXPECT_EQ("1300,10-2580,810", Text(fake.windows[window].rect));
}

} // namespace
