#include "test_support.h"

namespace {

const uintptr_t kFill = 0xCDCDCDCD;

class InputTest : public FakePlatformTest {
protected:
  void *Instance() { return reinterpret_cast<void *>(0x400000); }
  void OpenAll() {
    ASSERT_EQ(1, input.Open(TestWindow(), Instance()));
    ASSERT_EQ(1, input.OpenKeyboard(TestWindow()));
    ASSERT_EQ(1, input.OpenMouse(TestWindow()));
    fake.calls.clear();
  }
  static std::vector<unsigned char> Keys(std::vector<int> held) {
    std::vector<unsigned char> state(256, 0);
    for (int key : held)
      state[key] = 0x80;
    return state;
  }
  static std::vector<unsigned char> Mouse(int x, int y, int z, int buttons) {
    LurnMouseState state;
    state.lX = x;
    state.lY = y;
    state.lZ = z;
    for (int i = 0; i < 4; ++i)
      state.rgbButtons[i] = (buttons >> i) & 1 ? 0x80 : 0;
    const unsigned char *bytes = reinterpret_cast<unsigned char *>(&state);
    return std::vector<unsigned char>(bytes, bytes + sizeof state);
  }
};

TEST_F(InputTest, OpenCreatesTheRootAndMarksTheDevicesReleased) {
  input.mouseHandle = reinterpret_cast<void *>(0x77);
  ASSERT_EQ(1, input.Open(TestWindow(), Instance()));
  const FakeCall &create = *fake.Find("DirectInputCreateA");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(Instance()), create.values[0]);
  EXPECT_EQ(Hex(0x0500), Hex(create.values[1]));
  EXPECT_EQ(0u, create.values[2]) << "no aggregation";
  EXPECT_EQ(TestWindow(), input.window);
  EXPECT_EQ(1, input.keyboardReleased);
  EXPECT_EQ(1, input.mouseReleased);
  EXPECT_EQ(1, input.spareReleased);
  EXPECT_EQ(nullptr, input.mouseHandle);
  EXPECT_EQ(0u, fake.Count("CloseHandle")) << "emptied, not closed";
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(InputTest, AFailedOpenIsReportedAndStoresNothing) {
  const unsigned long codes[] = {0x8007000E, 0x80070057, 0x8007047E};
  const char *names[] = {"DDERR_OUTOFMEMORY", "DDERR_INVALIDPARAMS",
                         "<Inconnue>"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(Hex(codes[i]));
    SetUp();
    fake.Answer("DirectInputCreateA", static_cast<HRESULT>(codes[i]));
    EXPECT_EQ(0, input.Open(TestWindow(), Instance()));
    EXPECT_EQ(std::vector<std::string>{names[i]}, Boxes());
    EXPECT_EQ(nullptr, input.window);
    EXPECT_EQ(0, input.keyboardReleased);
    EXPECT_EQ(0, input.mouseReleased);
  }
  SetUp();
  fake.Answer("DirectInputCreateA", S_FALSE);
  EXPECT_EQ(1, input.Open(TestWindow(), Instance())) << "positive succeeds";
}

TEST_F(InputTest, DevicesGetTheirFormatAndForegroundLevel) {
  ASSERT_EQ(1, input.Open(NULL, Instance()));
  fake.calls.clear();
  ASSERT_EQ(1, input.OpenMouse(TestWindow()));
  ASSERT_EQ(1, input.OpenKeyboard(TestWindow()));
  const std::vector<std::string> expected = {
      "IDirectInputA::CreateDevice",
      "IDirectInputDeviceA::SetDataFormat",
      "IDirectInputDeviceA::SetCooperativeLevel",
      "IDirectInputDeviceA::SetProperty",
      "IDirectInputA::CreateDevice",
      "IDirectInputDeviceA::SetDataFormat",
      "IDirectInputDeviceA::SetCooperativeLevel",
      "IDirectInputDeviceA::SetProperty"};
  EXPECT_EQ(expected, fake.Names());
  EXPECT_TRUE(fake.Find("IDirectInputA::CreateDevice", 0)->As<GUID>() ==
              GUID_SysMouse);
  EXPECT_TRUE(fake.Find("IDirectInputA::CreateDevice", 1)->As<GUID>() ==
              GUID_SysKeyboard);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(&c_dfDIMouse),
            fake.Find("IDirectInputDeviceA::SetDataFormat", 0)->values[0]);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(&c_dfDIKeyboard),
            fake.Find("IDirectInputDeviceA::SetDataFormat", 1)->values[0]);
  for (int i = 0; i < 2; ++i) {
    const FakeCall &level =
        *fake.Find("IDirectInputDeviceA::SetCooperativeLevel", i);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(TestWindow()), level.values[0])
        << "the window passed, not the stored one";
    EXPECT_EQ(Hex(0x06), Hex(level.values[1]));
  }
  const DWORD buffers[] = {1024, 256}; // mouse, keyboard: before acquiring
  for (int i = 0; i < 2; ++i) {
    const FakeCall &buffer = *fake.Find("IDirectInputDeviceA::SetProperty", i);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&DIPROP_BUFFERSIZE),
              buffer.values[0]);
    const DIPROPDWORD &property = buffer.As<DIPROPDWORD>();
    EXPECT_EQ(Hex(16), Hex(property.diph.dwHeaderSize));
    EXPECT_EQ(Hex(DIPH_DEVICE), Hex(property.diph.dwHow));
    EXPECT_EQ(0u, property.diph.dwObj);
    EXPECT_EQ(buffers[i], property.dwData);
  }
  EXPECT_EQ(0u, fake.Count("IDirectInputDeviceA::Acquire"));
  EXPECT_EQ(1, input.mouseReleased) << "not acquired here";
}

struct DeviceStep {
  const char *method;
  bool created; // the device is in its field afterwards
};

TEST_F(InputTest, AFailingDeviceStepIsReportedAndKeepsTheDevice) {
  const DeviceStep steps[] = {
      {"IDirectInputA::CreateDevice", false},
      {"IDirectInputDeviceA::SetDataFormat", true},
      {"IDirectInputDeviceA::SetCooperativeLevel", true}};
  void *other = reinterpret_cast<void *>(0x9999);
  for (const DeviceStep &step : steps) {
    for (int keyboard = 0; keyboard < 2; ++keyboard) {
      SCOPED_TRACE(std::string(step.method) + (keyboard ? " keyboard" : ""));
      SetUp();
      ASSERT_EQ(1, input.Open(TestWindow(), Instance()));
      memset(input.keyState, 0x80, sizeof input.keyState);
      fake.Answer(step.method, E_OUTOFMEMORY);
      int result =
          keyboard ? input.OpenKeyboard(other) : input.OpenMouse(other);
      EXPECT_EQ(0, result);
      EXPECT_EQ(std::vector<std::string>{"DDERR_OUTOFMEMORY"}, Boxes());
      EXPECT_EQ(reinterpret_cast<uintptr_t>(other),
                fake.Find("MessageBoxA")->values[0])
          << "owned by the window passed";
      IDirectInputDeviceA *device = keyboard ? input.keyboard : input.mouse;
      EXPECT_EQ(step.created, device != NULL);
      if (keyboard) {
        EXPECT_EQ(0, input.keyState[42]) << "cleared before the device";
      }
      input.Close();
      EXPECT_EQ(0, fake.LiveReferences());
    }
  }
}

TEST_F(InputTest, DevicesBeforeOpenAreAReportedFailure) {
  memset(input.keyState, 0x80, sizeof input.keyState);
  EXPECT_EQ(0, input.OpenKeyboard(TestWindow()));
  EXPECT_EQ(0, input.OpenMouse(TestWindow()));
  EXPECT_EQ((std::vector<std::string>{"DDERR_NOTINITIALIZED",
                                      "DDERR_NOTINITIALIZED"}),
            Boxes());
  EXPECT_EQ(0, input.keyState[0]);
  EXPECT_EQ(nullptr, input.keyboard);
}

TEST_F(InputTest, CloseTearsDownMouseSpareKeyboardAndRoot) {
  OpenAll();
  IDirectInputDeviceA *spare = NULL;
  ASSERT_EQ(DI_OK,
            input.directInput->CreateDevice(GUID_SysMouse, &spare, NULL));
  input.spareDevice = spare;
  HANDLE handle = reinterpret_cast<HANDLE>(0x4242);
  fake.fakeHandles.insert(handle);
  input.mouseHandle = handle;
  const void *mouse = input.mouse, *keyboard = input.keyboard;
  input.keyState[5] = 0x80;
  fake.calls.clear();
  input.Close();
  const std::vector<std::string> expected = {"IDirectInputDeviceA::Unacquire",
                                             "IDirectInputDeviceA::Release",
                                             "CloseHandle",
                                             "IDirectInputDeviceA::Unacquire",
                                             "IDirectInputDeviceA::Release",
                                             "IDirectInputDeviceA::Unacquire",
                                             "IDirectInputDeviceA::Release",
                                             "IDirectInputA::Release"};
  EXPECT_EQ(expected, fake.Names());
  EXPECT_EQ((std::vector<const void *>{mouse, spare, keyboard}),
            Targets("IDirectInputDeviceA::Release"));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(handle),
            fake.Find("CloseHandle")->values[0]);
  EXPECT_EQ(nullptr, input.mouse);
  EXPECT_EQ(nullptr, input.spareDevice);
  EXPECT_EQ(nullptr, input.keyboard);
  EXPECT_EQ(nullptr, input.directInput);
  EXPECT_EQ(nullptr, input.mouseHandle);
  EXPECT_EQ(TestWindow(), input.window) << "left as it was";
  EXPECT_EQ(0x80, input.keyState[5]) << "left as it was";
  EXPECT_EQ(0, fake.LiveReferences());

  fake.calls.clear();
  input.Close();
  EXPECT_TRUE(fake.calls.empty()) << "a second Close calls nothing";
}

TEST_F(InputTest, CloseLeavesDebugFilledDevicesAndTheirHandleAlone) {
  OpenAll();
  IDirectInputDeviceA *mouse = input.mouse;
  IDirectInputDeviceA *keyboard = input.keyboard;
  IDirectInputDeviceA *fill = reinterpret_cast<IDirectInputDeviceA *>(kFill);
  input.mouse = fill;
  input.keyboard = fill;
  input.spareDevice = fill;
  input.mouseHandle = reinterpret_cast<void *>(0x4242);
  input.Close();
  EXPECT_EQ(std::vector<std::string>{"IDirectInputA::Release"}, fake.Names());
  EXPECT_EQ(fill, input.mouse);
  EXPECT_EQ(fill, input.keyboard);
  EXPECT_EQ(fill, input.spareDevice);
  EXPECT_EQ(reinterpret_cast<void *>(0x4242), input.mouseHandle)
      << "closed only with the mouse";
  mouse->Release();
  keyboard->Release();
  EXPECT_EQ(0, fake.LiveReferences());
}

TEST_F(InputTest, KeyboardReadsFillTheKeyTable) {
  OpenAll();
  fake.keyboardStates.push_back(Keys({DIK_A, DIK_LEFT}));
  EXPECT_EQ(1, input.GetStateKeyboard());
  const FakeCall &read = *fake.Find("IDirectInputDeviceA::GetDeviceState");
  EXPECT_EQ(256u, read.values[0]);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(input.keyState), read.values[1]);
  for (int key = 0; key < 256; ++key) {
    int expected = key == DIK_A || key == DIK_LEFT ? 0x80 : 0;
    EXPECT_EQ(expected, input.KeyDown(static_cast<unsigned char>(key)))
        << "key " << Hex(key);
  }
  EXPECT_EQ(0u, fake.Count("IDirectInputDeviceA::Acquire"));
  input.keyState[200] = 0xFF;
  EXPECT_EQ(255, input.KeyDown(200)) << "widened without sign";
}

TEST_F(InputTest, AFailedKeyboardReadReacquiresUntilARead) {
  OpenAll();
  input.SyncAcquireKeyboard();
  input.SyncAcquireKeyboard(); // released again by the client
  fake.calls.clear();
  fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_INPUTLOST);
  fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_NOTACQUIRED);
  fake.Answer("IDirectInputDeviceA::GetDeviceState", S_FALSE);
  fake.Answer("IDirectInputDeviceA::Acquire", S_FALSE);
  fake.keyboardStates.push_back(Keys({})); // the positive read's
  fake.keyboardStates.push_back(Keys({DIK_SPACE}));
  EXPECT_EQ(1, input.GetStateKeyboard());
  // Nobody asked for presses: the device's events are left alone.
  const std::vector<std::string> expected = {
      "IDirectInputDeviceA::GetDeviceState",
      "IDirectInputDeviceA::Acquire", // S_FALSE: acquired already
      "IDirectInputDeviceA::GetDeviceState", "IDirectInputDeviceA::Acquire",
      "IDirectInputDeviceA::GetDeviceState", "IDirectInputDeviceA::Acquire",
      "IDirectInputDeviceA::GetDeviceState"};
  EXPECT_EQ(expected, fake.Names());
  EXPECT_EQ(0x80, input.KeyDown(DIK_SPACE));
  EXPECT_EQ(1, input.keyboardReleased) << "the flag records the toggles only";

  fake.calls.clear();
  fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_INPUTLOST);
  fake.Answer("IDirectInputDeviceA::Acquire", DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(0, input.GetStateKeyboard());
  EXPECT_EQ(2u, fake.calls.size()) << "a read, an acquire";

  // Counting presses: an acquisition anew empties the buffer, a read that
  // succeeds takes its events.
  EXPECT_EQ(0, input.KeyPresses(DIK_SPACE));
  fake.calls.clear();
  fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_INPUTLOST);
  EXPECT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ((std::vector<std::string>{"IDirectInputDeviceA::GetDeviceState",
                                      "IDirectInputDeviceA::Acquire",
                                      "IDirectInputDeviceA::GetDeviceData",
                                      "IDirectInputDeviceA::GetDeviceState",
                                      "IDirectInputDeviceA::GetDeviceData"}),
            fake.Names());

  // A device that takes every acquire and fails every read: a few rounds,
  // then 0; the next read starts afresh.
  fake.calls.clear();
  fake.Answer("IDirectInputDeviceA::GetDeviceState", S_FALSE, 100);
  EXPECT_EQ(0, input.GetStateKeyboard());
  EXPECT_EQ(4u, fake.Count("IDirectInputDeviceA::Acquire"));
  EXPECT_EQ(5u, fake.Count("IDirectInputDeviceA::GetDeviceState"));
}

TEST_F(InputTest, NoKeyboardReadsNothing) {
  input.keyState[7] = 0x80;
  EXPECT_EQ(0, input.GetStateKeyboard());
  EXPECT_EQ(0x80, input.keyState[7]);
  input.keyboardReleased = 1;
  input.SyncAcquireKeyboard();
  EXPECT_EQ(0, input.keyboardReleased);
  input.SyncAcquireKeyboard();
  EXPECT_EQ(1, input.keyboardReleased);
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(InputTest, TheMouseIsReadOnlyOnceAcquiredByToggling) {
  OpenAll();
  Diagnostics();
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(0u, fake.Count("IDirectInputDeviceA::GetDeviceState"));
  std::vector<std::string> lines = Diagnostics();
  ASSERT_EQ(1u, lines.size()) << "said once";
  EXPECT_NE(std::string::npos, lines[0].find("call SyncAcquireMouse"))
      << lines[0];
  input.SyncAcquireMouse();
  EXPECT_EQ(0, input.mouseReleased);
  fake.mouseStates.push_back(Mouse(1500, 900, 0, 0));
  fake.mouseStates.push_back(Mouse(5, -3, 120, 0b0101));
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(16u, fake.Find("IDirectInputDeviceA::GetDeviceState")->values[0]);
  EXPECT_EQ(5, input.mouseState.lX);
  EXPECT_EQ(-3, input.mouseState.lY);
  EXPECT_EQ(120, input.mouseState.lZ);
  EXPECT_EQ(0x80, input.mouseState.rgbButtons[0]);
  EXPECT_EQ(0, input.mouseState.rgbButtons[1]);
  EXPECT_EQ(0x80, input.mouseState.rgbButtons[2]);

  input.SyncAcquireMouse();
  EXPECT_EQ(1, input.mouseReleased);
  EXPECT_EQ((std::vector<std::string>{"IDirectInputDeviceA::Acquire",
                                      "IDirectInputDeviceA::GetDeviceState",
                                      "IDirectInputDeviceA::GetDeviceState",
                                      "IDirectInputDeviceA::Unacquire"}),
            fake.Names())
      << "no presses asked for: the state's reads alone";
}

// What the first and the second read after an acquisition report, as
// "x,y z buttons".
struct FirstRead {
  const char *label;
  HRESULT acquire;      // the acquisition's answer
  bool lostFirst;       // the first read finds the device not acquired
  const char *expected; // the first read, then the second
};

TEST_F(InputTest, TheFirstReadAfterEachAcquisitionReportsNoMotion) {
  const FirstRead rows[] = {
      {"acquired by toggling", DI_OK, false, "0,0 120 80|7,-2 0 0"},
      {"acquired already (S_FALSE): not a new acquisition", S_FALSE, false,
       "1500,900 120 80|7,-2 0 0"},
      {"acquired again after a focus loss", DI_OK, true, "0,0 120 80|7,-2 0 0"},
  };
  for (const FirstRead &row : rows) {
    SCOPED_TRACE(row.label);
    SetUp();
    OpenAll();
    fake.Answer("IDirectInputDeviceA::Acquire", row.acquire);
    input.SyncAcquireMouse();
    if (row.lostFirst) {
      EXPECT_EQ(0, input.GetStateMouse()); // the read before the loss
      fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_NOTACQUIRED);
    }
    fake.mouseStates.push_back(Mouse(1500, 900, 120, 1));
    fake.mouseStates.push_back(Mouse(7, -2, 0, 0));
    std::string got;
    for (int read = 0; read < 2; ++read) {
      EXPECT_EQ(0, input.GetStateMouse());
      const LurnMouseState &m = input.mouseState;
      got += (read ? "|" : "") + std::to_string(m.lX) + "," +
             std::to_string(m.lY) + " " + std::to_string(m.lZ) + " " +
             (m.rgbButtons[0] ? "80" : "0");
    }
    EXPECT_EQ(row.expected, got);
  }
}

DIDEVICEOBJECTDATA Event(DWORD offset, bool down) {
  return DIDEVICEOBJECTDATA{offset, down ? 0x80u : 0u, 0, 0};
}

// Each row: the events one read finds, and the presses counted from them.
struct PressRow {
  const char *label;
  std::vector<DIDEVICEOBJECTDATA> events;
  std::vector<std::pair<int, int>> presses; // key or button, count
};

TEST_F(InputTest, PressesAreCountedFromEachReadsEvents) {
  const DIDEVICEOBJECTDATA down = Event(DIK_A, true), up = Event(DIK_A, false);
  const PressRow keyRows[] = {
      {"three taps let go before the read",
       {down, up, down, up, down, up},
       {{DIK_A, 3}, {DIK_B, 0}}},
      {"a held key's repeats are one press",
       {Event(DIK_B, true), Event(DIK_B, true), Event(DIK_B, true)},
       {{DIK_B, 1}}},
      {"still held at the next read: no new press",
       {Event(DIK_B, true), Event(DIK_B, false), Event(DIK_B, true)},
       {{DIK_B, 1}}},
      {"a read without events counts none", {}, {{DIK_A, 0}, {DIK_B, 0}}},
  };
  OpenAll();
  fake.keyboardEvents = {down, up, Event(DIK_B, true)};
  EXPECT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(0u, fake.Count("IDirectInputDeviceA::GetDeviceData"))
      << "a read before any presses were asked for";
  EXPECT_EQ(0, input.KeyPresses(DIK_A)) << "the first call starts counting";
  EXPECT_EQ(0, input.KeyPresses(DIK_B));
  EXPECT_TRUE(fake.keyboardEvents.empty()) << "what came before, dropped";
  for (const PressRow &row : keyRows) {
    SCOPED_TRACE(row.label);
    fake.keyboardEvents.assign(row.events.begin(), row.events.end());
    EXPECT_EQ(1, input.GetStateKeyboard());
    for (const std::pair<int, int> &press : row.presses)
      EXPECT_EQ(press.second,
                input.KeyPresses(static_cast<unsigned char>(press.first)))
          << "key " << Hex(press.first);
  }
  // 200 events: more than one slice of the platform's answer.
  fake.keyboardEvents.clear();
  for (int i = 0; i < 100; ++i) {
    fake.keyboardEvents.push_back(Event(DIK_SPACE, true));
    fake.keyboardEvents.push_back(Event(DIK_SPACE, false));
  }
  EXPECT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(100, input.KeyPresses(DIK_SPACE));

  const PressRow buttonRows[] = {
      {"clicks among motion",
       {Event(DIMOFS_X, true), Event(DIMOFS_BUTTON0, true),
        Event(DIMOFS_BUTTON0, false), Event(DIMOFS_Y, true),
        Event(DIMOFS_BUTTON0, true), Event(DIMOFS_BUTTON0, false),
        Event(DIMOFS_BUTTON3, true), Event(DIMOFS_Z, true)},
       {{0, 2}, {1, 0}, {3, 1}, {4, 0}, {-1, 0}}},
  };
  input.SyncAcquireMouse();
  EXPECT_EQ(0, input.ButtonPresses(0)) << "the first call starts counting";
  for (const PressRow &row : buttonRows) {
    SCOPED_TRACE(row.label);
    fake.mouseEvents.assign(row.events.begin(), row.events.end());
    EXPECT_EQ(0, input.GetStateMouse());
    for (const std::pair<int, int> &press : row.presses)
      EXPECT_EQ(press.second, input.ButtonPresses(press.first))
          << "button " << press.first;
  }
  const FakeCall &read = *fake.Find("IDirectInputDeviceA::GetDeviceData");
  EXPECT_EQ(16u, read.values[0]) << "DirectInput 5's record";
  EXPECT_EQ(0u, read.values[3]) << "taken, not peeked";
  input.Close();
  EXPECT_EQ(0, input.KeyPresses(DIK_A)) << "closed";
}

TEST_F(InputTest, LostEventsAreSaidOnceAndWhatCameIsCounted) {
  OpenAll();
  input.KeyPresses(DIK_A);
  input.ButtonPresses(0);
  StderrCapture capture;
  LogFile log("input_test.log");
  // Windows says so; Wine fills the buffer and says nothing.
  fake.Answer("IDirectInputDeviceA::GetDeviceData", DI_BUFFEROVERFLOW);
  fake.keyboardEvents = {Event(DIK_A, true), Event(DIK_A, false)};
  EXPECT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(1, input.KeyPresses(DIK_A)) << "the data kept";
  std::vector<std::string> lines = capture.TakeLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("GetStateKeyboard")) << lines[0];
  EXPECT_EQ(lines[0] + "\n", log.Text()) << "LURN_LOG's file";
  for (int i = 0; i < 128; ++i) {
    fake.keyboardEvents.push_back(Event(DIK_C, true));
    fake.keyboardEvents.push_back(Event(DIK_C, false));
  }
  EXPECT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(128, input.KeyPresses(DIK_C));
  EXPECT_TRUE(capture.TakeLines().empty()) << "once";
  input.SyncAcquireMouse();
  for (int i = 0; i < 1024; ++i)
    fake.mouseEvents.push_back(Event(DIMOFS_X, false));
  EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(1u, capture.TakeLines().size()) << "a full buffer lost some";
}

TEST_F(InputTest, WithoutABufferPressesComeFromTheState) {
  fake.Answer("IDirectInputDeviceA::SetProperty", DIERR_UNSUPPORTED, 2);
  OpenAll();
  fake.keyboardStates = {Keys({DIK_A}), Keys({DIK_A, DIK_B}), Keys({})};
  const int expected[][2] = {{1, 0}, {0, 1}, {0, 0}}; // A, B per read
  for (const int *presses : expected) {
    EXPECT_EQ(1, input.GetStateKeyboard());
    EXPECT_EQ(presses[0], input.KeyPresses(DIK_A));
    EXPECT_EQ(presses[1], input.KeyPresses(DIK_B));
  }
  EXPECT_EQ(0u, fake.Count("IDirectInputDeviceA::GetDeviceData"));
}

// A tap buffered before the device is acquired again: counted only when
// the Acquire says the device was acquired already.
struct Reacquisition {
  const char *label;
  bool mouse, toggled; // toggled off and on by the client, else lost
  HRESULT acquired;
  int presses;
};

TEST_F(InputTest, ADeviceAcquiredAnewCountsNothingFromBeforeTheLoss) {
  const Reacquisition rows[] = {
      {"keyboard lost, acquired anew by the read", false, false, DI_OK, 0},
      {"keyboard lost, acquired already", false, false, S_FALSE, 1},
      {"keyboard toggled off and on", false, true, DI_OK, 0},
      {"mouse lost, acquired anew by the read", true, false, DI_OK, 0},
      {"mouse lost, acquired already", true, false, S_FALSE, 1},
      {"mouse toggled off and on", true, true, DI_OK, 0},
  };
  for (const Reacquisition &row : rows) {
    SCOPED_TRACE(row.label);
    SetUp();
    OpenAll();
    if (row.mouse)
      input.SyncAcquireMouse();
    else
      input.SyncAcquireKeyboard();
    row.mouse ? input.ButtonPresses(1) : input.KeyPresses(DIK_A);
    DWORD object = row.mouse ? DIMOFS_BUTTON1 : DIK_A;
    (row.mouse ? fake.mouseEvents : fake.keyboardEvents) = {
        Event(object, true), Event(object, false)};
    fake.calls.clear();
    if (row.toggled) {
      row.mouse ? input.SyncAcquireMouse() : input.SyncAcquireKeyboard();
      fake.Answer("IDirectInputDeviceA::Acquire", row.acquired);
      row.mouse ? input.SyncAcquireMouse() : input.SyncAcquireKeyboard();
    } else {
      fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_INPUTLOST);
      fake.Answer("IDirectInputDeviceA::Acquire", row.acquired);
    }
    row.mouse ? input.GetStateMouse() : input.GetStateKeyboard();
    EXPECT_EQ(row.presses,
              row.mouse ? input.ButtonPresses(1) : input.KeyPresses(DIK_A));
    const FakeCall *flush = fake.Find("IDirectInputDeviceA::GetDeviceData");
    ASSERT_NE(nullptr, flush);
    bool flushed = flush->values[1] == 0;
    EXPECT_EQ(row.presses == 0, flushed) << "a call without records";
    if (flushed) {
      EXPECT_EQ(Hex(INFINITE), Hex(flush->values[2])) << "and without limit";
    }
  }
}

struct MouseRead {
  const char *label;
  unsigned long first, second; // the two reads' answers
  LurnLong expected;
  size_t acquires;
};

TEST_F(InputTest, ALostMouseIsReacquiredAndReadOnce) {
  const MouseRead rows[] = {
      {"read", 0, 0, 0, 0},
      {"other failure", 0x80070005, 0, 0, 0},
      {"not acquired (a focus loss on Wine), then read", 0x8007000C, 0, 0, 1},
      {"not acquired, then still not", 0x8007000C, 0x8007000C,
       static_cast<LurnLong>(0x8007000C), 1},
      {"positive answer", 1, 0, 0, 0},
      {"lost, then read", 0x8007001E, 0, 0, 1},
      {"lost, then lost again", 0x8007001E, 0x8007001E,
       static_cast<LurnLong>(0x8007001E), 1},
      {"lost, then positive", 0x8007001E, 1, 0, 1},
  };
  for (const MouseRead &row : rows) {
    SCOPED_TRACE(row.label);
    SetUp();
    OpenAll();
    input.SyncAcquireMouse();
    fake.calls.clear();
    fake.Answer("IDirectInputDeviceA::GetDeviceState",
                static_cast<HRESULT>(row.first));
    fake.Answer("IDirectInputDeviceA::GetDeviceState",
                static_cast<HRESULT>(row.second));
    fake.Answer("IDirectInputDeviceA::Acquire", E_FAIL); // ignored
    EXPECT_EQ(Hex(row.expected), Hex(input.GetStateMouse()));
    EXPECT_EQ(row.acquires, fake.Count("IDirectInputDeviceA::Acquire"));
    EXPECT_EQ(1 + row.acquires,
              fake.Count("IDirectInputDeviceA::GetDeviceState"));
  }
}

TEST_F(InputTest, AFailedToggleStillFlipsTheFlag) {
  OpenAll();
  fake.Answer("IDirectInputDeviceA::Acquire", DIERR_OTHERAPPHASPRIO);
  input.SyncAcquireMouse();
  EXPECT_EQ(0, input.mouseReleased);
  fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_OTHERAPPHASPRIO, 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(0, input.GetStateMouse());
  EXPECT_EQ(1u, fake.Count("IDirectInputDeviceA::Acquire"))
      << "only a lost acquisition leads to an Acquire";
  // Not acquired while the client holds it acquired: tried again each read.
  fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_NOTACQUIRED, 6);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Hex(DIERR_NOTACQUIRED), Hex(input.GetStateMouse()));
  EXPECT_EQ(4u, fake.Count("IDirectInputDeviceA::Acquire"));

  LurnDirectInput none;
  memset(&none, 0, sizeof none);
  none.mouseReleased = 1;
  fake.calls.clear();
  none.SyncAcquireMouse();
  EXPECT_EQ(0, none.mouseReleased);
  none.SyncAcquireMouse();
  EXPECT_EQ(1, none.mouseReleased);
  EXPECT_EQ(0, none.GetStateMouse());
  EXPECT_TRUE(fake.calls.empty());
}

} // namespace

TEST_F(InputTest, TypedTextComesWholeFromTheWindowsCharacters) {
  OpenAll();
  char text[16];
  EXPECT_EQ(0, input.ReadText(text, sizeof text)) << "the first call hooks";
  EXPECT_STREQ("", text);
  HWND window = static_cast<HWND>(TestWindow());
  ASSERT_EQ(1u, fake.windows[window].subclasses.size())
      << "the keyboard's window hooked";
  // "Hé€" then U+1F600 as a surrogate pair, with keys that are not text.
  const WPARAM units[] = {'H', 0x08, 0xE9, '\r', 0x20AC, '\t', 0xD83D, 0xDE00};
  for (WPARAM unit : units)
    FakeSend(window, WM_CHAR, unit, 1);
  EXPECT_EQ(6, input.ReadText(text, 7)) << "cut before the emoji's 4 bytes";
  EXPECT_STREQ("H\xC3\xA9\xE2\x82\xAC", text);
  EXPECT_EQ(4, input.ReadText(text, sizeof text)) << "the rest stays";
  EXPECT_STREQ("\xF0\x9F\x98\x80", text);
  // A lone half is U+FFFD; nothing is written into no room, and a buffer
  // too small for the character waiting is said once.
  FakeSend(window, WM_CHAR, 0xDC00, 1);
  Diagnostics();
  EXPECT_EQ(0, input.ReadText(text, 3));
  EXPECT_EQ(0, input.ReadText(text, 1));
  std::vector<std::string> lines = Diagnostics();
  ASSERT_EQ(1u, lines.size()) << "said once";
  EXPECT_NE(std::string::npos, lines[0].find("ReadText: a buffer of 3 bytes"))
      << lines[0];
  EXPECT_EQ(0, input.ReadText(NULL, 8));
  EXPECT_EQ(3, input.ReadText(text, sizeof text));
  EXPECT_STREQ("\xEF\xBF\xBD", text);
  EXPECT_EQ(1u, fake.Count("SetWindowSubclass")) << "hooked once";
  input.Close();
  EXPECT_TRUE(fake.windows[window].subclasses.empty())
      << "Close lets the window go";
  EXPECT_EQ(0, input.ReadText(text, sizeof text));
}

namespace {

// What reached the window's own procedure, and the program's hook above.
std::string charsSeen;
int hookChars;
WNDPROC hookBeneath;

LRESULT CALLBACK CharProcedure(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_CHAR)
    charsSeen += char(wParam);
  return 0;
}

LRESULT CALLBACK ProgramCharHook(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  hookChars += message == WM_CHAR;
  return hookBeneath(window, message, wParam, lParam);
}

class TypedText : public InputTest {
protected:
  void SetUp() override {
    InputTest::SetUp();
    charsSeen.clear();
    hookChars = 0;
    window = FakeCreateWindow(CharProcedure, 0, RECT{0, 0, 64, 64});
  }
  void TearDown() override {
    other.Close();
    InputTest::TearDown();
  }
  int Open(LurnDirectInput &record) {
    return record.Open(window, reinterpret_cast<void *>(0x400000)) &&
           record.OpenKeyboard(window);
  }
  std::string Read(LurnDirectInput &record) {
    char text[64];
    record.ReadText(text, sizeof text);
    return text;
  }
  void Type(const char *text) {
    for (const char *c = text; *c; ++c)
      FakeSend(window, WM_CHAR, static_cast<unsigned char>(*c), 1);
  }
  HWND window;
  LurnDirectInput other{};
};

// Two keyboards on one window each read everything typed, and either one's
// Close leaves the other reading.
TEST_F(TypedText, TwoKeyboardsOnOneWindowEachReadIt) {
  ASSERT_EQ(1, Open(input));
  ASSERT_EQ(1, Open(other));
  Read(input);
  Read(other);
  Type("x");
  EXPECT_EQ("x", Read(input));
  EXPECT_EQ("x", Read(other));
  input.Close();
  Type("y");
  EXPECT_EQ("y", Read(other)) << "after the first keyboard's Close";
  EXPECT_EQ("xy", charsSeen) << "the window's own procedure";
  other.Close();
  EXPECT_TRUE(fake.windows[window].subclasses.empty());
}

// A hook the program set above the library's keeps its messages through
// Close, and the window is the program's once it takes the hook off.
TEST_F(TypedText, CloseLeavesTheProgramsHookAboveWorking) {
  ASSERT_EQ(1, Open(input));
  Read(input);
  hookBeneath = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProgramCharHook)));
  input.Close();
  Type("ab");
  EXPECT_EQ(2, hookChars) << "the program's hook after the library's Close";
  EXPECT_EQ("ab", charsSeen);
  SetWindowLongPtrW(window, GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(hookBeneath));
  Type("c");
  EXPECT_EQ("abc", charsSeen);
  EXPECT_TRUE(fake.windows[window].subclasses.empty());
  EXPECT_TRUE(fake.windows[window].procedure == CharProcedure);
}

// Another thread's window is not hooked from this one (Windows refuses,
// Wine crashes): ReadText finds nothing and says why once.
TEST_F(TypedText, AnotherThreadsWindowIsNotHooked) {
  fake.windows[window].otherThread = true;
  ASSERT_EQ(1, Open(input));
  EXPECT_EQ("", Read(input));
  EXPECT_EQ("", Read(input));
  input.Close();
  EXPECT_EQ(0u, fake.Count("SetWindowSubclass") +
                    fake.Count("RemoveWindowSubclass"));
  std::vector<std::string> lines = Diagnostics();
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("ReadText"));
}

// Lone first halves of pairs, each written as U+FFFD, are held to the same
// limit as the rest of the text.
TEST_F(TypedText, LoneHalvesAreHeldToTheLimit) {
  ASSERT_EQ(1, Open(input));
  Read(input);
  for (int i = 0; i < 20000; ++i)
    FakeSend(window, WM_CHAR, 0xD800, 1);
  std::string all;
  char text[1024];
  while (input.ReadText(text, sizeof text) > 0)
    all += text;
  EXPECT_GE(4096u, all.size());
  EXPECT_LT(4000u, all.size());
}

// A window whose procedure was destroyed and whose handle a new window took:
// text typed into the new one is not the old keyboard's.
TEST_F(TypedText, ADestroyedWindowsHandleReusedIsANewWindow) {
  ASSERT_EQ(1, Open(input));
  Read(input);
  FakeDestroy(window);
  HWND again = FakeCreateWindow(CharProcedure, 0, RECT{0, 0, 64, 64}, window);
  ASSERT_TRUE(again == window);
  ASSERT_EQ(1, Open(other));
  Read(other);
  Type("z");
  EXPECT_EQ("", Read(input));
  EXPECT_EQ("z", Read(other));
}

// A held key's auto-repeats count as strokes, as a text box needs them;
// each read counts what came since the one before.
TEST_F(TypedText, KeyStrokesCountTheSystemsRepeats) {
  ASSERT_EQ(1, Open(input));
  EXPECT_EQ(0, input.KeyStrokes(DIK_BACK)) << "the first call listens";
  FakeSend(window, WM_KEYDOWN, 0x08, 1 | DIK_BACK << 16);
  for (int i = 0; i < 3; ++i)
    FakeSend(window, WM_KEYDOWN, 0x08, 1 | DIK_BACK << 16 | 1L << 30);
  for (int i = 0; i < 2; ++i) // an extended key
    FakeSend(window, WM_KEYDOWN, 0x25, 1 | (DIK_LEFT & 0x7F) << 16 | 1L << 24);
  EXPECT_EQ(0, input.KeyStrokes(DIK_BACK)) << "before the read";
  ASSERT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(4, input.KeyStrokes(DIK_BACK));
  EXPECT_EQ(2, input.KeyStrokes(DIK_LEFT));
  EXPECT_EQ(0, input.KeyStrokes(DIK_A));
  ASSERT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(0, input.KeyStrokes(DIK_BACK)) << "counted once";
}

// A read that fails (another window came to the front) gives no strokes:
// the last good read's are not given again; strokes typed meanwhile come
// with the next good read.
TEST_F(TypedText, AFailedReadGivesNoStrokes) {
  ASSERT_EQ(1, Open(input));
  input.KeyStrokes(DIK_3);
  FakeSend(window, WM_KEYDOWN, '3', 1 | DIK_3 << 16);
  ASSERT_EQ(1, input.GetStateKeyboard());
  ASSERT_EQ(1, input.KeyStrokes(DIK_3));
  FakeSend(window, WM_KEYDOWN, '3', 1 | DIK_3 << 16);
  for (int read = 0; read < 3; ++read) {
    fake.Answer("IDirectInputDeviceA::GetDeviceState", DIERR_INPUTLOST);
    fake.Answer("IDirectInputDeviceA::Acquire", DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(0, input.GetStateKeyboard());
    EXPECT_EQ(0, input.KeyStrokes(DIK_3)) << "failed read " << read;
  }
  ASSERT_EQ(1, input.GetStateKeyboard());
  EXPECT_EQ(1, input.KeyStrokes(DIK_3)) << "the stroke typed meanwhile";
}

#if defined(_WIN32)
// An ANSI window on a double-byte code page brings a character's lead and
// trail bytes in two WM_CHAR: the character is read whole.
TEST_F(TypedText, AnAnsiWindowsDoubleByteCharactersComeWhole) {
  fake.windows[window].ansi = true;
  fake.codePage = 932;
  ASSERT_EQ(1, Open(input));
  Read(input);
  Type("A\x82\xA0"
       "B"); // A, HIRAGANA LETTER A (U+3042), B
  EXPECT_EQ("A\xE3\x81\x82"
            "B",
            Read(input));
}
#endif

} // namespace
