// The window a display keeping the desktop takes: Alt+Enter through the
// subclass chain, whatever hooks the program sets, and the window given back
// at Close. Over the fake window system, whose procedures really chain.
#include <ctype.h>
#include <dinput.h>

#include <algorithm>
#include <random>

#include "test_support.h"

namespace {

const RECT kPlace = {60, 70, 388, 337};
const LONG_PTR kStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
const unsigned char kWindowed =
    LurnDirectDraw::ReleaseSecondary | LurnDirectDraw::KeepDesktop;
const unsigned char kFullScreen = kWindowed | LurnDirectDraw::FullScreen;

// What the program's procedures saw, and what its WM_SIZE handler closes.
struct Program {
  std::vector<UINT> base; // messages that reached the window's own procedure
  int hookCalls[2];       // through each of the program's own hooks
  WNDPROC beneath[2];     // what each hook replaced
  int depth;
  bool recursed;
  LurnDirectDraw *closeOnSize;
} program;

LRESULT CALLBACK BaseProcedure(HWND, UINT message, WPARAM, LPARAM) {
  program.base.push_back(message);
  if (message == WM_SIZE && program.closeOnSize != NULL)
    program.closeOnSize->Close();
  return 0;
}

template <int n>
LRESULT CALLBACK ProgramHook(HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  ++program.hookCalls[n];
  if (program.depth > 4) { // the same hook again and again: a loop
    program.recursed = true;
    return 0;
  }
  ++program.depth;
  LRESULT result = program.beneath[n](window, message, wParam, lParam);
  --program.depth;
  return result;
}
const WNDPROC kHooks[2] = {ProgramHook<0>, ProgramHook<1>};

// A subclass of the program's own, through the system's chain.
LRESULT CALLBACK ProgramSubclass(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam, UINT_PTR, DWORD_PTR) {
  return DefSubclassProc(window, message, wParam, lParam);
}

std::string Text(const RECT &r) {
  char text[64];
  snprintf(text, sizeof text, "%ld,%ld %ldx%ld", long(r.left), long(r.top),
           long(r.right - r.left), long(r.bottom - r.top));
  return text;
}

class WindowHook : public FakePlatformTest {
protected:
  void SetUp() override {
    FakePlatformTest::SetUp();
    program = Program();
    fake.clientRect = RECT{0, 0, 0, 0}; // the fakes' surfaces hold no frame
  }
  void TearDown() override {
    second.Close();
    FakePlatformTest::TearDown();
  }
  HWND Window() { return FakeCreateWindow(BaseProcedure, kStyle, kPlace); }
  static void AltEnter(HWND window) {
    FakeSend(window, WM_SYSKEYDOWN, VK_RETURN, 1 | 1L << 29);
    FakeSend(window, WM_SYSKEYUP, VK_RETURN, 1 | 1L << 29 | 3L << 30);
  }
  static size_t Seen(UINT message) {
    return size_t(
        std::count(program.base.begin(), program.base.end(), message));
  }
  LurnDirectDraw second{};
};

// Opens, closes and the program's own hooks set (a, b) and taken off (A, B)
// in turn, hooks over hooks: every message still goes down the whole chain
// once, Alt+Enter is the library's while a display is open and the
// program's once closed, and the last Close leaves the window procedure as
// the program left it.
TEST_F(WindowHook, SurvivesTheProgramsHooksInAnyOrderAndAnyNumberOfOpens) {
  const char *rows[] = {"OaCO",  "OaCOC", "aOCAO",  "OabCBAO",
                        "OaCAO", "OCOC",  "aObCOBC"};
  for (const char *row : rows) {
    SCOPED_TRACE(row);
    HWND window = Window();
    bool open = false, hooked[2] = {false, false};
    for (const char *step = row; *step; ++step) {
      int n = *step == 'a' || *step == 'A' ? 0 : 1;
      if (*step == 'O')
        open = display.Open(window, 320, 240, 16, kWindowed) == 1;
      else if (*step == 'C')
        display.Close(), open = false;
      else if (*step == 'a' || *step == 'b')
        program.beneath[n] = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kHooks[n])));
      else
        SetWindowLongPtrW(window, GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(program.beneath[n]));
      if (*step != 'O' && *step != 'C')
        hooked[n] = *step == 'a' || *step == 'b';
    }
    program.hookCalls[0] = program.hookCalls[1] = 0;
    program.base.clear();
    FakeSend(window, WM_USER, 0, 0);
    AltEnter(window);
    EXPECT_FALSE(program.recursed);
    EXPECT_EQ(1u, Seen(WM_USER));
    for (int n = 0; n < 2; ++n)
      EXPECT_EQ(hooked[n] ? 3 : 0, program.hookCalls[n]) << "hook " << n;
    display.UpdatePrimaryBuffer();
    EXPECT_EQ(open ? 0u : 1u, Seen(WM_SYSKEYDOWN));
    EXPECT_EQ(Text(open ? fake.monitors[0].rect : kPlace),
              Text(fake.windows[window].rect));
    display.Close();
    EXPECT_EQ(Text(kPlace), Text(fake.windows[window].rect));
    EXPECT_EQ(Hex(kStyle), Hex(fake.windows[window].style));
    // The program takes its hooks off, the last first: the window is its own.
    for (int n = 1; n >= 0; --n)
      if (hooked[n])
        SetWindowLongPtrW(window, GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(program.beneath[n]));
    program.base.clear();
    FakeSend(window, WM_USER, 0, 0);
    EXPECT_EQ(1u, Seen(WM_USER));
    EXPECT_EQ(0u, fake.windows[window].subclasses.size())
        << "the closed display's subclass stayed on the window";
    EXPECT_TRUE(fake.windows[window].procedure == BaseProcedure);
  }
}

// A window whose display closed under the program's hook keeps nothing of
// it: Alt+Enter there is the program's, not another display's.
TEST_F(WindowHook, AClosedDisplaysHookFindsNoOtherDisplay) {
  HWND first = Window(), other = Window();
  ASSERT_EQ(1, display.Open(first, 320, 240, 16, kWindowed));
  program.beneath[0] = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kHooks[0])));
  display.Close();
  ASSERT_EQ(1, display.Open(other, 320, 240, 16, kFullScreen));
  program.base.clear();
  AltEnter(first);
  display.UpdatePrimaryBuffer();
  EXPECT_EQ(1u, Seen(WM_SYSKEYDOWN)) << "the first window's own procedure";
  EXPECT_EQ(Text(fake.monitors[0].rect), Text(fake.windows[other].rect));
}

// A window destroyed under an open display loses the subclass with its
// last message, and nothing is given back to its handle at Close.
TEST_F(WindowHook, ADestroyedWindowLosesTheHookAndGetsNothingBack) {
  HWND window = Window();
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kFullScreen));
  FakeDestroy(window);
  EXPECT_EQ(0u, fake.windows[window].subclasses.size());
  fake.calls.clear();
  display.Close();
  EXPECT_EQ(0u, fake.Count("SetWindowPlacement") + fake.Count("SetWindowPos") +
                    fake.Count("RemoveWindowSubclass"));
}

// A WM_SIZE handler that closes the display as Alt+Enter switches its
// window: the switch, applied as the display presents, touches nothing of
// the closed display, and the window is given back.
TEST_F(WindowHook, AHandlerThatClosesTheDisplayAsItsWindowSwitches) {
  for (unsigned char flags : {kWindowed, kFullScreen}) {
    SCOPED_TRACE(Hex(flags));
    HWND window = Window();
    ASSERT_EQ(1, display.Open(window, 320, 240, 16, flags));
    program.closeOnSize = &display;
    AltEnter(window);
    EXPECT_EQ(0, display.UpdatePrimaryBuffer()) << "presented once closed";
    program.closeOnSize = NULL;
    EXPECT_EQ("", OpenFields());
    EXPECT_EQ(Text(kPlace), Text(fake.windows[window].rect));
    EXPECT_EQ(Hex(kStyle), Hex(fake.windows[window].style));
    EXPECT_EQ(0u, fake.windows[window].subclasses.size());
  }
}

// The Return of an Alt+Enter is left out of the keyboard state up to its
// release, Alt let go first or not, and out of the presses counted, even
// when the read comes before the window's hook saw the press; other
// Returns, and those of other windows, are the client's. Events: A, a
// Alt down and up; R, r Return down and up.
TEST_F(WindowHook, TheReturnOfATakenAltEnterIsHiddenUntilItsRelease) {
  const struct {
    const char *name;
    bool hookSaw, released, otherWindow, altHeld;
    const char *events;
    bool hidden;
    int counted;
  } rows[] = {
      {"taken, Alt held", true, false, false, true, "AR", true, 0},
      {"taken, Alt let go first", true, false, false, false, "ARa", true, 0},
      {"read before the hook saw it", false, false, false, true, "AR", true, 0},
      {"taken, then released: a new press", true, true, false, false, "ARraR",
       false, 1},
      {"Return alone", false, false, false, false, "R", false, 1},
      {"Alt+Return in another window", true, false, true, true, "AR", false, 1},
  };
  HWND window = Window(), other = Window();
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    void *read = row.otherWindow ? other : window;
    input.Close();
    ASSERT_EQ(1, input.Open(read, reinterpret_cast<void *>(0x400000)));
    ASSERT_EQ(1, input.OpenKeyboard(read));
    input.KeyPresses(DIK_RETURN); // starts counting
    if (row.hookSaw)
      FakeSend(window, WM_SYSKEYDOWN, VK_RETURN, 1 | 1L << 29);
    if (row.released)
      FakeSend(window, WM_KEYUP, VK_RETURN, 1 | 3L << 30);
    std::vector<unsigned char> keys(256, 0);
    keys[DIK_RETURN] = 0x80;
    keys[DIK_LMENU] = row.altHeld ? 0x80 : 0;
    fake.keyboardStates.push_back(keys);
    fake.keyboardEvents.clear();
    for (const char *event = row.events; *event != 0; ++event) {
      DIDEVICEOBJECTDATA data;
      memset(&data, 0, sizeof data);
      data.dwOfs = toupper(*event) == 'A' ? DIK_LMENU : DIK_RETURN;
      data.dwData = isupper(*event) ? 0x80 : 0;
      fake.keyboardEvents.push_back(data);
    }
    ASSERT_EQ(1, input.GetStateKeyboard());
    EXPECT_EQ(row.hidden ? 0 : 0x80, input.KeyDown(DIK_RETURN));
    EXPECT_EQ(row.counted, input.KeyPresses(DIK_RETURN));
    FakeSend(window, WM_KEYUP, VK_RETURN, 1 | 3L << 30);
  }
}

// The Return of a taken Alt+Enter, held past the Alt, repeats: its key
// messages and its characters are the library's up to its release; a fresh
// Return afterwards is the program's, its character too.
TEST_F(WindowHook, AHeldAltEnterReturnsCharactersStayTheLibrarys) {
  HWND window = Window();
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  const LPARAM alt = 1L << 29, repeat = 1L << 30, up = 3L << 30;
  FakeSend(window, WM_SYSKEYDOWN, VK_RETURN, 1 | alt);
  FakeSend(window, WM_SYSCHAR, '\r', 1 | alt);
  for (int i = 0; i < 3; ++i) { // Alt let go; Return held, repeating
    FakeSend(window, WM_KEYDOWN, VK_RETURN, 1 | repeat);
    FakeSend(window, WM_CHAR, '\r', 1 | repeat);
  }
  FakeSend(window, WM_KEYUP, VK_RETURN, 1 | up);
  EXPECT_EQ("0 0 0", std::to_string(Seen(WM_KEYDOWN)) + " " +
                         std::to_string(Seen(WM_CHAR)) + " " +
                         std::to_string(Seen(WM_SYSCHAR)))
      << "key-downs, characters, system characters that reached the program";
  FakeSend(window, WM_KEYDOWN, VK_RETURN, 1);
  FakeSend(window, WM_CHAR, '\r', 1);
  EXPECT_EQ(1u, Seen(WM_KEYDOWN)) << "a fresh Return";
  EXPECT_EQ(1u, Seen(WM_CHAR)) << "a fresh Return's character";
}

// A chain the program had set through the system before the library hooked
// survives Close when the program then hooks the window by its procedure:
// the library's subclass stays under the program's hook, passing everything
// on, rather than the system putting the first procedure back over it.
TEST_F(WindowHook, CloseKeepsTheProgramsHookOverAChainThatWasThereBefore) {
  HWND window = Window();
  ASSERT_TRUE(SetWindowSubclass(window, ProgramSubclass, 1, 0));
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  ASSERT_TRUE(RemoveWindowSubclass(window, ProgramSubclass, 1));
  program.beneath[0] = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kHooks[0])));
  display.Close();
  EXPECT_TRUE(GetWindowLongPtrW(window, GWLP_WNDPROC) ==
              reinterpret_cast<LONG_PTR>(kHooks[0]))
      << "the program's hook was cut out";
  program.base.clear();
  FakeSend(window, WM_USER, 0, 0);
  AltEnter(window);
  EXPECT_EQ("1 1 3", std::to_string(Seen(WM_USER)) + " " +
                         std::to_string(Seen(WM_SYSKEYDOWN)) + " " +
                         std::to_string(program.hookCalls[0]));
  // Once the program's hook is off, the library's subclass goes too.
  SetWindowLongPtrW(window, GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(program.beneath[0]));
  FakeSend(window, WM_USER, 0, 0);
  FakeSend(window, WM_USER, 0, 0);
  EXPECT_TRUE(fake.windows[window].procedure == BaseProcedure);
}

// Alt+Enter there and back puts the window where the user had put it just
// before the switch, not where Open found it; Close leaves it there.
TEST_F(WindowHook, AltEnterBackReturnsToThePlaceJustBeforeTheSwitch) {
  HWND window = Window();
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  SetWindowPos(window, NULL, 500, 300, 700, 500, SWP_NOZORDER);
  AltEnter(window);
  display.UpdatePrimaryBuffer();
  EXPECT_EQ(Text(fake.monitors[0].rect), Text(fake.windows[window].rect));
  AltEnter(window);
  display.UpdatePrimaryBuffer();
  EXPECT_EQ("500,300 700x500", Text(fake.windows[window].rect));
  EXPECT_EQ(Hex(kStyle), Hex(fake.windows[window].style));
  display.Close();
  EXPECT_EQ("500,300 700x500", Text(fake.windows[window].rect));
}

// A display presenting on another thread than its window's leaves Alt+Enter's
// moves to the window's thread (moving the window from here would wait for
// that thread); opened or closed there, full screen, it leaves the window
// as it is and says so.
TEST_F(WindowHook, AnotherThreadsWindowIsMovedOnlyOnItsOwnThread) {
  HWND window = Window();
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  fake.windows[window].otherThread = true;
  AltEnter(window);
  fake.calls.clear();
  display.UpdatePrimaryBuffer();
  EXPECT_EQ(0u, fake.Count("SetWindowPos") + fake.Count("SetWindowLongPtrW") +
                    fake.Count("SetWindowPlacement"));
  EXPECT_EQ(1u, fake.Count("PostMessageW"));
  FakeDeliverPosted();
  EXPECT_EQ(Text(fake.monitors[0].rect), Text(fake.windows[window].rect));
  display.Close();
  EXPECT_EQ(1u, Diagnostics().size()) << "the look kept at Close";

  HWND other = Window();
  fake.windows[other].otherThread = true;
  fake.calls.clear();
  ASSERT_EQ(1, display.Open(other, 320, 240, 16, kFullScreen));
  display.Close();
  EXPECT_EQ(Text(kPlace), Text(fake.windows[other].rect));
  EXPECT_EQ(0u, fake.Count("SetWindowPos") + fake.Count("SetWindowLongPtrW") +
                    fake.Count("SetWindowSubclass"));
  EXPECT_EQ(2u, Diagnostics().size()) << "not covering, not hooking";
}

// Under LURN_HIDE_CURSOR the window hides the system's cursor over the
// picture, and only there: the black bars, the frame, and the window after
// Close keep the window's own cursor.
TEST_F(WindowHook, TheCursorIsHiddenOverThePictureOnly) {
  SetVariable("LURN_HIDE_CURSOR", "1");
  SetVariable("LURN_SCALE", "aspect");
  HWND window = Window();
  fake.clientRect = RECT{0, 0, 800, 480}; // bars of 80 either side
  fake.clientOrigin = POINT{100, 50};
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kWindowed));
  display.UpdatePrimaryBuffer();
  const struct {
    const char *where;
    POINT cursor;
    LPARAM hit;
    bool hidden;
  } rows[] = {
      {"over the picture", {100 + 400, 50 + 240}, HTCLIENT, true},
      {"on a black bar", {100 + 40, 50 + 240}, HTCLIENT, false},
      {"on the frame", {100 + 400, 50 + 240}, HTCAPTION, false},
  };
  for (const auto &row : rows) {
    fake.cursor = row.cursor;
    fake.calls.clear();
    LRESULT answer = FakeSend(window, WM_SETCURSOR, 0, row.hit | 0x200 << 16);
    EXPECT_EQ(row.hidden ? 1u : 0u, fake.Count("SetCursor")) << row.where;
    EXPECT_EQ(row.hidden ? 1 : 0, answer) << row.where;
  }
  display.Close();
  fake.cursor = rows[0].cursor;
  fake.calls.clear();
  FakeSend(window, WM_SETCURSOR, 0, HTCLIENT | 0x200 << 16);
  EXPECT_EQ(0u, fake.Count("SetCursor")) << "after Close";
  SetVariable("LURN_HIDE_CURSOR", "");
  SetVariable("LURN_SCALE", "");
}

// Close gives the window the style and place the first Open found, whatever
// came between: minimised (M) and restored (R), Alt+Enter (E) applied by a
// present (P), a second full-screen display on it opened (2) and closed (c),
// the first closed (C).
TEST_F(WindowHook, CloseGivesTheWindowBackWhateverCameBetween) {
  const struct {
    const char *steps;
    unsigned char flags;
  } rows[] = {
      {"MCR", kFullScreen},   {"MEPCR", kWindowed},     {"EPC", kWindowed},
      {"EPC", kFullScreen},   {"2Cc", kFullScreen},     {"2cC", kFullScreen},
      {"MEPRC", kFullScreen}, {"EPEPEPC", kFullScreen},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(std::string(row.steps) +
                 (row.flags & LurnDirectDraw::FullScreen ? " full" : ""));
    HWND window = Window();
    ASSERT_EQ(1, display.Open(window, 320, 240, 16, row.flags));
    for (const char *step = row.steps; *step; ++step) {
      switch (*step) {
      case 'M':
      case 'R':
        FakeShow(window, *step == 'M' ? SW_MINIMIZE : SW_RESTORE);
        break;
      case 'E':
        AltEnter(window);
        break;
      case 'P':
        display.UpdatePrimaryBuffer();
        break;
      case '2':
        ASSERT_EQ(1, second.Open(window, 640, 480, 16, kFullScreen));
        break;
      case 'c':
        second.Close();
        break;
      case 'C':
        display.Close();
        break;
      }
    }
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(Text(kPlace), Text(fake.windows[window].rect));
    EXPECT_EQ(Hex(kStyle), Hex(fake.windows[window].style));
  }
}

// A careful program takes its last hook off only once it is the window
// procedure again.
void Unhook(HWND window, int &hooks) {
  if (hooks > 0 && GetWindowLongPtrW(window, GWLP_WNDPROC) ==
                       reinterpret_cast<LONG_PTR>(kHooks[hooks - 1])) {
    --hooks;
    SetWindowLongPtrW(window, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(program.beneath[hooks]));
  }
}

// Random programs around the hook: two displays on one window opened and
// closed, the program's hooks set and taken off, Alt+Enter, presents,
// minimising and restoring, a WM_SIZE handler that closes a display. Each
// message reaches the window's own procedure once, and once everything is
// closed and unhooked the window is as it was, with nothing of the library.
TEST_F(WindowHook, RandomProgramsAroundTheHook) {
  std::mt19937 random(7);
  for (int run = 0; run < 300; ++run) {
    HWND window = Window();
    int hooks = 0;
    std::string trace;
    for (int step = 0; step < 40; ++step) {
      unsigned choice = random() % 10, coin = random() % 2;
      trace += char('0' + choice);
      if (choice == 0)
        display.Open(window, 320, 240, 16, coin ? kWindowed : kFullScreen);
      else if (choice == 1)
        second.Open(window, 640, 480, 16, kFullScreen);
      else if (choice == 2)
        (coin ? display : second).Close();
      else if (choice == 3 && hooks < 2)
        program.beneath[hooks] = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kHooks[hooks]))),
        ++hooks;
      else if (choice == 4)
        Unhook(window, hooks);
      else if (choice == 5)
        AltEnter(window);
      else if (choice == 6)
        (coin ? display : second).UpdatePrimaryBuffer();
      else if (choice == 7)
        FakeShow(window, coin ? SW_MINIMIZE : SW_RESTORE);
      else if (choice == 8)
        program.closeOnSize = coin ? &display : NULL;
      program.base.clear();
      FakeSend(window, WM_USER, 0, 0);
      ASSERT_TRUE(!program.recursed && Seen(WM_USER) == 1) << trace;
    }
    program.closeOnSize = NULL;
    display.Close();
    second.Close();
    FakeShow(window, SW_RESTORE);
    for (int round = 0; round < 3; ++round) {
      FakeSend(window, WM_USER, 0, 0);
      Unhook(window, hooks);
    }
    const FakeWindow &left = fake.windows[window];
    ASSERT_EQ(Text(kPlace) + " " + Hex(kStyle) + " 0 procedure",
              Text(left.rect) + " " + Hex(left.style) + " " +
                  std::to_string(hooks + left.subclasses.size()) +
                  (left.procedure == BaseProcedure ? " procedure" : " other"))
        << trace;
  }
}

} // namespace

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A line the library says while standard error cannot take it (a pipe
// nobody reads) blocks the thread saying it, but no other: the window's
// procedure on the main thread still answers. A watchdog ends a run that
// hangs.
TEST_F(WindowHook, ALineThatBlocksHoldsNoLockOfTheWindows) {
  HWND own = Window(), elsewhere = Window();
  fake.windows[elsewhere].otherThread = true;
  LurnDirectInput refused{};
  ASSERT_EQ(1, input.Open(own, reinterpret_cast<void *>(0x400000)));
  ASSERT_EQ(1, input.OpenKeyboard(own));
  ASSERT_EQ(1, refused.Open(elsewhere, reinterpret_cast<void *>(0x400000)));
  ASSERT_EQ(1, refused.OpenKeyboard(elsewhere));
  char text[16];
  input.ReadText(text, sizeof text); // hooked, listening
  int full[2];
  ASSERT_EQ(0, pipe(full));
  fcntl(full[1], F_SETFL, O_NONBLOCK);
  while (write(full[1], "x", 1) == 1) {
  }
  fcntl(full[1], F_SETFL, 0);
  fflush(stderr);
  int saved = dup(2);
  dup2(full[1], 2);
  std::thread saying([&refused] {
    char text[16];
    refused.ReadText(text, sizeof text); // says once: another thread's
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::atomic<bool> answered(false);
  std::thread watchdog([&answered] {
    for (int tenth = 0; tenth < 50 && !answered; ++tenth)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!answered) {
      fprintf(stdout, "hung: the window's procedure waited for a line\n");
      fflush(stdout);
      _exit(1);
    }
  });
  FakeSend(own, WM_CHAR, 'x', 1);
  answered = true;
  watchdog.join();
  char drain[4096];
  fcntl(full[0], F_SETFL, O_NONBLOCK);
  while (saying.joinable()) {
    while (read(full[0], drain, sizeof drain) > 0) {
    }
    saying.join();
  }
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(full[0]);
  close(full[1]);
  EXPECT_EQ(1, input.ReadText(text, sizeof text));
  refused.Close();
}

} // namespace
#endif
