// The keyboard and mouse through the library over the stand-in, headless:
// SDL events pushed as a window system would send them, read back.
#include "standin_test_support.h"

#include <dinput.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class StandinInput : public StandinTest {
protected:
  void SetUp() override {
    StandinTest::SetUp();
    ASSERT_EQ(1, input.Open(window, NULL));
    ASSERT_EQ(1, input.OpenKeyboard(window));
    ASSERT_EQ(1, input.OpenMouse(window));
    SendFocus(true);
  }
  void Push(SDL_Event event) {
    SDL_PushEvent(&event);
    SDL_PumpEvents();
  }
  void Key(SDL_Scancode scancode, bool down) {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = SDL_GetWindowID(window);
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    Push(event);
  }
  // SDL's report of a motion: relative, and where the pointer now is.
  void Move(int x, int y, int atX = 0, int atY = 0) {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = SDL_GetWindowID(window);
    event.motion.xrel = x;
    event.motion.yrel = y;
    event.motion.x = atX;
    event.motion.y = atY;
    Push(event);
  }
  void Wheel(int notches) {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = SDL_GetWindowID(window);
    event.wheel.y = notches;
    Push(event);
  }
  void Button(Uint8 button, bool down) {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = SDL_GetWindowID(window);
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    Push(event);
  }
  // A device read straight from the platform, as a client could make it.
  HRESULT ReadKeyboard() {
    unsigned char state[256];
    return input.keyboard->GetDeviceState(sizeof state, state);
  }
};

struct KeyRow {
  SDL_Scancode scancode;
  int key;
};

TEST_F(StandinInput, HeldKeysReadAsDown) {
  const KeyRow rows[] = {
      {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
      {SDL_SCANCODE_A, DIK_A},
      {SDL_SCANCODE_Z, DIK_Z},
      {SDL_SCANCODE_0, DIK_0},
      {SDL_SCANCODE_RETURN, DIK_RETURN},
      {SDL_SCANCODE_SPACE, DIK_SPACE},
      {SDL_SCANCODE_F12, DIK_F12},
      {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
      {SDL_SCANCODE_UP, DIK_UP},
      {SDL_SCANCODE_DOWN, DIK_DOWN},
      {SDL_SCANCODE_LEFT, DIK_LEFT},
      {SDL_SCANCODE_RIGHT, DIK_RIGHT},
      {SDL_SCANCODE_INSERT, DIK_INSERT},
      {SDL_SCANCODE_DELETE, DIK_DELETE},
      {SDL_SCANCODE_HOME, DIK_HOME},
      {SDL_SCANCODE_END, DIK_END},
      {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
      {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
      {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
      {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
      {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
      {SDL_SCANCODE_RALT, DIK_RMENU},
      {SDL_SCANCODE_LGUI, DIK_LWIN},
      {SDL_SCANCODE_RGUI, DIK_RWIN},
      {SDL_SCANCODE_PAUSE, DIK_PAUSE},
      {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
      {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
  };
  for (const KeyRow &row : rows) {
    SCOPED_TRACE(SDL_GetScancodeName(row.scancode));
    Key(row.scancode, true);
    ASSERT_EQ(1, input.GetStateKeyboard());
    for (int key = 0; key < 256; ++key) {
      int expected = key == row.key ? 0x80 : 0;
      ASSERT_EQ(Hex(expected),
                Hex(input.KeyDown(static_cast<unsigned char>(key))))
          << "key " << Hex(key);
    }
    Key(row.scancode, false);
    ASSERT_EQ(1, input.GetStateKeyboard());
    EXPECT_EQ(0, input.KeyDown(static_cast<unsigned char>(row.key)));
  }
}

TEST_F(StandinInput, AReadBeforeAcquireIsRefused) {
  EXPECT_EQ(Hex(DIERR_NOTACQUIRED), Hex(ReadKeyboard()));
  EXPECT_EQ(Hex(DI_OK), Hex(input.keyboard->Acquire()));
  EXPECT_EQ(Hex(S_FALSE), Hex(input.keyboard->Acquire()));
  EXPECT_EQ(Hex(DI_OK), Hex(ReadKeyboard()));
  EXPECT_EQ(Hex(DI_OK), Hex(input.keyboard->Unacquire()));
  EXPECT_EQ(Hex(DIERR_NOTACQUIRED), Hex(ReadKeyboard()));
}

TEST_F(StandinInput, MouseMovesAccumulateUntilRead) {
  EXPECT_EQ(0, input.GetStateMouse()) << "released: nothing read";
  input.SyncAcquireMouse();
  Move(10, -4);
  Move(7, 2);
  Wheel(1);
  Wheel(-3);
  Button(SDL_BUTTON_LEFT, true);
  Button(SDL_BUTTON_RIGHT, true);
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(0, input.mouseState.lX) << "the first read after acquiring";
  EXPECT_EQ(0, input.mouseState.lY);
  EXPECT_EQ(-240, input.mouseState.lZ);
  EXPECT_EQ(0x80, input.mouseState.rgbButtons[0]);
  EXPECT_EQ(0x80, input.mouseState.rgbButtons[1]);
  EXPECT_EQ(0, input.mouseState.rgbButtons[2]);

  Button(SDL_BUTTON_LEFT, false);
  Button(SDL_BUTTON_MIDDLE, true);
  Move(10, -4);
  Move(7, 2);
  Wheel(2);
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(17, input.mouseState.lX);
  EXPECT_EQ(-2, input.mouseState.lY);
  EXPECT_EQ(240, input.mouseState.lZ);
  EXPECT_EQ(0, input.mouseState.rgbButtons[0]);
  EXPECT_EQ(0x80, input.mouseState.rgbButtons[1]);
  EXPECT_EQ(0x80, input.mouseState.rgbButtons[2]);
}

TEST_F(StandinInput, AMovedWindowIsNoMouseMovement) {
  // SDL counts motion from its last pointer position in window coordinates;
  // each push below is the motion SDL reports for a 5, 5 move on the screen.
  // A game opens its display, then its input.
  input.Close();
  SDL_SetWindowPosition(window, 100, 50);
  ASSERT_EQ(1, display.Open(window, 640, 480, 16,
                            LurnDirectDraw::FullScreen |
                                LurnDirectDraw::ReleaseSecondary));
  ASSERT_EQ(1, input.Open(window, NULL));
  ASSERT_EQ(1, input.OpenMouse(window));
  input.SyncAcquireMouse();
  input.GetStateMouse(); // the first read after acquiring has no motion
  int left = -1, top = -1;
  SDL_GetWindowPosition(window, &left, &top);
  ASSERT_EQ(0, left) << "full screen moved the window";
  Move(105, 55, 110, 60); // from 5, 5 at 100, 50 to 10, 10 at 0, 0
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(5, input.mouseState.lX);
  EXPECT_EQ(5, input.mouseState.lY);
  SDL_SetWindowPosition(window, 30, 20); // a window manager moves it
  Move(-25, -15, 85, 45);
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(5, input.mouseState.lX);
  EXPECT_EQ(5, input.mouseState.lY);
}

TEST_F(StandinInput, MotionPushedFromAnotherThreadIsAllRead) {
  // SDL runs the stand-in's event watch on the thread that pushes.
  input.SyncAcquireMouse();
  input.GetStateMouse(); // the first read after acquiring has no motion
  const long moves = 20000;
  SDL_Event event;
  memset(&event, 0, sizeof event);
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = SDL_GetWindowID(window);
  event.motion.xrel = 1;
  std::thread pusher([&event] {
    for (long i = 0; i < moves; ++i)
      SDL_PushEvent(&event);
  });
  long total = 0;
  for (int read = 0; read < 2000; ++read) {
    ASSERT_EQ(0, input.GetStateMouse());
    total += input.mouseState.lX;
  }
  pusher.join();
  ASSERT_EQ(0, input.GetStateMouse());
  total += input.mouseState.lX;
  EXPECT_EQ(moves, total);
}

TEST_F(StandinInput, FocusLossTakesTheDevicesUntilTheyAreAcquiredAgain) {
  input.SyncAcquireMouse();
  Key(SDL_SCANCODE_A, true);
  ASSERT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(0x80, input.KeyDown(DIK_A));

  SendFocus(false);
  EXPECT_EQ(Hex(DIERR_INPUTLOST), Hex(ReadKeyboard()));
  EXPECT_EQ(Hex(DIERR_OTHERAPPHASPRIO), Hex(input.keyboard->Acquire()));
  EXPECT_EQ(0, input.GetStateKeyboard()) << "the re-acquire is refused";
  // The mouse read meets the lost acquisition, re-acquires in vain and
  // answers its second read's code.
  EXPECT_EQ(Hex(DIERR_NOTACQUIRED), Hex(input.GetStateMouse()));

  SendFocus(true);
  Key(SDL_SCANCODE_B, true);
  EXPECT_EQ(1, input.GetStateKeyboard()) << "re-acquired by the read";
  EXPECT_EQ(0x80, input.KeyDown(DIK_B));
  EXPECT_EQ(0, input.KeyDown(DIK_A)) << "released while away";
  // The mouse comes back when the client toggles it off and on.
  input.SyncAcquireMouse();
  input.SyncAcquireMouse();
  Move(3, 3);
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(0, input.mouseState.lX) << "the first read after acquiring";
  Move(3, 3);
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(3, input.mouseState.lX);

  // Gone and back between two reads: lost all the same.
  SendFocus(false);
  SendFocus(true);
  EXPECT_EQ(Hex(DIERR_INPUTLOST), Hex(ReadKeyboard()));
}

TEST_F(StandinInput, DevicesRefuseBadArguments) {
  IDirectInputDeviceA *device = NULL;
  EXPECT_EQ(Hex(DIERR_DEVICENOTREG), Hex(input.directInput->CreateDevice(
                                         IID_IDirectInputA, &device, NULL)));
  EXPECT_EQ(Hex(E_HANDLE), Hex(input.keyboard->SetCooperativeLevel(
                               reinterpret_cast<HWND>(&input), 0x06)));
  EXPECT_EQ(Hex(DIERR_INVALIDPARAM),
            Hex(input.keyboard->SetCooperativeLevel(window, 0x03)));
  unsigned char small[16];
  ASSERT_EQ(Hex(DI_OK), Hex(input.keyboard->Acquire()));
  EXPECT_EQ(Hex(DIERR_INVALIDPARAM),
            Hex(input.keyboard->GetDeviceState(sizeof small, small)));
  EXPECT_EQ(Hex(E_POINTER), Hex(input.keyboard->GetDeviceState(256, NULL)));
}

} // namespace

namespace {

void TypeInto(SDL_Window *window, const char *text) {
  SDL_Event event;
  memset(&event, 0, sizeof event);
  event.type = SDL_TEXTINPUT;
  event.text.windowID = SDL_GetWindowID(window);
  snprintf(event.text.text, sizeof event.text.text, "%s", text);
  SDL_PushEvent(&event);
  SDL_PumpEvents();
}

// Two keyboards read text on their own windows; one window is destroyed,
// its keyboard closed, and SDL started again, so that a new window takes
// the destroyed one's ID: the closed keyboard's listening died with its
// window, and the other keyboard still reads its own.
TEST_F(StandinInput, ListeningForTextDiesWithItsWindow) {
  SDL_Window *other = SDL_CreateWindow("other", 0, 0, 64, 64, 0);
  ASSERT_NE(nullptr, other);
  LurnDirectInput second{};
  ASSERT_EQ(1, second.Open(other, NULL));
  ASSERT_EQ(1, second.OpenKeyboard(other));
  char text[16];
  EXPECT_EQ(0, second.ReadText(text, sizeof text));
  EXPECT_EQ(0, input.ReadText(text, sizeof text));
  SDL_DestroyWindow(window);
  input.Close();
  TypeInto(other, "b");
  EXPECT_EQ(1, second.ReadText(text, sizeof text)) << "the other keyboard";
  EXPECT_STREQ("b", text);
  second.Close();
  SDL_DestroyWindow(other);
  SDL_Quit();
  ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO));
  window = SDL_CreateWindow("again", 0, 0, 64, 64, 0);
  ASSERT_NE(nullptr, window);
  TypeInto(window, "x"); // nobody listens: nothing is written anywhere
  ASSERT_EQ(1, input.Open(window, NULL));
  ASSERT_EQ(1, input.OpenKeyboard(window));
  EXPECT_EQ(0, input.ReadText(text, sizeof text));
  TypeInto(window, "y");
  EXPECT_EQ(1, input.ReadText(text, sizeof text));
  EXPECT_STREQ("y", text);
}

// SDL's auto-repeats of a held key are strokes, not presses.
TEST_F(StandinInput, AHeldKeysRepeatsAreStrokes) {
  EXPECT_EQ(0, input.KeyStrokes(DIK_BACK)) << "the first call listens";
  EXPECT_EQ(0, input.KeyPresses(DIK_BACK)) << "the first call counts";
  input.SyncAcquireKeyboard();
  SDL_Event event;
  memset(&event, 0, sizeof event);
  event.type = SDL_KEYDOWN;
  event.key.windowID = SDL_GetWindowID(window);
  event.key.state = SDL_PRESSED;
  event.key.keysym.scancode = SDL_SCANCODE_BACKSPACE;
  for (int i = 0; i < 4; ++i) {
    event.key.repeat = i > 0;
    SDL_PushEvent(&event);
  }
  SDL_PumpEvents();
  ASSERT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(4, input.KeyStrokes(DIK_BACK));
  EXPECT_EQ(1, input.KeyPresses(DIK_BACK));
}

} // namespace

namespace {

// Text typed on one thread while another opens a keyboard on the window,
// reads text and closes it, over and over: the window's subclass is put on
// and taken off while its procedure runs. A watchdog ends a run that hangs.
TEST_F(StandinInput, TypingWhileAnotherThreadHooksAndUnhooksNeverHangs) {
  input.Close();
  std::atomic<bool> done(false);
  std::thread typist([this, &done] {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_TEXTINPUT;
    event.text.windowID = SDL_GetWindowID(window);
    strcpy(event.text.text, "a");
    for (unsigned pushed = 1; !done; ++pushed) {
      SDL_PushEvent(&event);  // the stand-in's watch runs on this thread
      if (pushed % 1024 == 0) // a full queue would be an SDL error
        SDL_FlushEvent(SDL_TEXTINPUT);
    }
  });
  std::thread watchdog([&done] {
    for (int tenth = 0; tenth < 100 && !done; ++tenth)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!done) {
      fprintf(stderr, "hung: hooking beside typing did not finish in 10 s\n");
      _exit(1);
    }
  });
  char text[64];
  std::chrono::steady_clock::time_point end =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < end) {
    ASSERT_EQ(1, input.Open(window, NULL));
    ASSERT_EQ(1, input.OpenKeyboard(window));
    input.ReadText(text, sizeof text);
    input.ReadText(text, sizeof text);
    input.Close();
  }
  done = true;
  typist.join();
  watchdog.join();
}

} // namespace
