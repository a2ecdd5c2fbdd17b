// Every call a client can make on a record that is not open: zeroed,
// raw memory filled with the debug heap's 0xCD bytes, closed, or the
// original of a copy that was closed (its fields still name what the
// copy's Close released). Each gets
// its defined answer without touching an interface that is not there.
#include "test_support.h"

#include <vector>

namespace {

enum RecordState { kZeroed, kDebugFill, kClosed, kCopyClosed };
const char *const kStateNames[] = {"zeroed", "0xCD-filled", "closed",
                                   "copy-closed"};

struct CallRow {
  const char *call;
  int (*run)(LurnDirectDraw &, LurnDirectInput &);
  int expected;
  const char *box; // "" for none
};

const CallRow kCalls[] = {
    {"display.Close",
     [](LurnDirectDraw &d, LurnDirectInput &) { return d.Close(), -1; }, -1,
     ""},
    {"LockSecondaryBuffer",
     [](LurnDirectDraw &d, LurnDirectInput &) {
       return d.LockSecondaryBuffer();
     },
     0, ""},
    {"UnlockSecondaryBuffer",
     [](LurnDirectDraw &d, LurnDirectInput &) {
       return d.UnlockSecondaryBuffer(), -1;
     },
     -1, ""},
    {"ClearSecondaryBuffer",
     [](LurnDirectDraw &d, LurnDirectInput &) {
       return d.ClearSecondaryBuffer();
     },
     0, ""},
    {"UpdatePrimaryBuffer",
     [](LurnDirectDraw &d, LurnDirectInput &) {
       return d.UpdatePrimaryBuffer();
     },
     0, ""},
    {"RestoreSurfaces",
     [](LurnDirectDraw &d, LurnDirectInput &) { return d.RestoreSurfaces(); },
     0, ""},
    {"GetCursorPosition",
     [](LurnDirectDraw &d, LurnDirectInput &) {
       LurnLong x, y;
       return d.GetCursorPosition(&x, &y);
     },
     0, ""},
    {"input.Close",
     [](LurnDirectDraw &, LurnDirectInput &i) { return i.Close(), -1; }, -1,
     ""},
    {"OpenKeyboard",
     [](LurnDirectDraw &, LurnDirectInput &i) {
       return i.OpenKeyboard(TestWindow());
     },
     0, "DDERR_NOTINITIALIZED"},
    {"OpenMouse",
     [](LurnDirectDraw &, LurnDirectInput &i) {
       return i.OpenMouse(TestWindow());
     },
     0, "DDERR_NOTINITIALIZED"},
    {"GetStateKeyboard",
     [](LurnDirectDraw &, LurnDirectInput &i) { return i.GetStateKeyboard(); },
     0, ""},
    {"GetStateMouse",
     [](LurnDirectDraw &, LurnDirectInput &i) {
       return static_cast<int>(i.GetStateMouse());
     },
     0, ""},
    {"SyncAcquireKeyboard",
     [](LurnDirectDraw &, LurnDirectInput &i) {
       return i.SyncAcquireKeyboard(), -1;
     },
     -1, ""},
    {"SyncAcquireMouse",
     [](LurnDirectDraw &, LurnDirectInput &i) {
       return i.SyncAcquireMouse(), -1;
     },
     -1, ""},
};

class BadInput : public FakePlatformTest {
protected:
  void Prepare(RecordState state) {
    SetUp();
    if (state == kDebugFill) {
      memset(&display, 0xCD, sizeof display);
      memset(&input, 0xCD, sizeof input);
    } else if (state == kClosed || state == kCopyClosed) {
      ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16,
                                LurnDirectDraw::ReleaseSecondary |
                                    LurnDirectDraw::AuxSurface));
      ASSERT_EQ(1, input.Open(TestWindow(), NULL));
      ASSERT_EQ(1, input.OpenKeyboard(TestWindow()));
      ASSERT_EQ(1, input.OpenMouse(TestWindow()));
      LurnDirectDraw displayCopy;
      LurnDirectInput inputCopy;
      memcpy(&displayCopy, &display, sizeof display);
      memcpy(&inputCopy, &input, sizeof input);
      (state == kClosed ? display : displayCopy).Close();
      (state == kClosed ? input : inputCopy).Close();
      ASSERT_EQ(0, fake.LiveReferences());
    }
    fake.calls.clear();
  }
};

TEST_F(BadInput, EveryCallOnARecordThatIsNotOpen) {
  for (RecordState state : {kZeroed, kDebugFill, kClosed, kCopyClosed}) {
    for (const CallRow &row : kCalls) {
      SCOPED_TRACE(std::string(row.call) + " on a " + kStateNames[state] +
                   " record");
      Prepare(state);
      EXPECT_EQ(row.expected, row.run(display, input));
      std::vector<std::string> expectedCalls;
      if (*row.box)
        expectedCalls.push_back("MessageBoxA");
      EXPECT_EQ(expectedCalls, fake.Names()) << "no interface is touched";
      EXPECT_EQ(*row.box ? std::vector<std::string>{row.box}
                         : std::vector<std::string>{},
                Boxes());
    }
  }
}

TEST_F(BadInput, AccessorsAndKeyDownAnswerWhatTheRecordHolds) {
  for (RecordState state : {kZeroed, kDebugFill, kClosed}) {
    SCOPED_TRACE(kStateNames[state]);
    Prepare(state);
    EXPECT_EQ(display.directDraw, display.GetDD());
    EXPECT_EQ(display.primarySurface, display.GetPrimarySurface());
    EXPECT_EQ(display.secondarySurface, display.GetRenderSurface());
    for (int key = 0; key < 256; ++key)
      ASSERT_EQ(input.keyState[key],
                input.KeyDown(static_cast<unsigned char>(key)))
          << "key " << Hex(key);
    EXPECT_TRUE(fake.calls.empty());
  }
}

// Records as clients declare them: a local full of stack garbage (or a
// debug stack's 0xCC), raw heap memory, zeroed. Open reads none of it.
TEST_F(BadInput, OpeningARawRecordTouchesNoneOfItsFields) {
  for (int fill : {0xCD, 0xCC, 0x5A}) {
    SCOPED_TRACE(Hex(fill));
    SetUp();
    memset(&display, fill, sizeof display);
    memset(&input, fill, sizeof input);
    ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16,
                              LurnDirectDraw::ReleaseSecondary));
    ASSERT_EQ(1, input.Open(TestWindow(), NULL));
    ASSERT_EQ(1, input.OpenKeyboard(TestWindow()));
    EXPECT_EQ(0, fake.OverReleases());
    EXPECT_EQ(0u, fake.Count("IDirectInputDeviceA::Release"));
    display.Close();
    input.Close();
    EXPECT_EQ(0, fake.LiveReferences());
  }
}

// A handle that is not a window (destroyed, made up) is refused where a
// window is needed, before the platform sees it, with an ownerless box and
// a line naming it. (A null window windowed: DisplaySetup.)
TEST_F(BadInput, AHandleThatIsNotAWindowIsRefusedWhereOneIsNeeded) {
  enum Use { kWindowed, kFullScreen, kKeyboard, kMouse };
  const struct {
    Use use;
    uintptr_t window;
  } rows[] = {{kWindowed, 0xDEAD},
              {kFullScreen, 0xDEAD},
              {kFullScreen, 0},
              {kKeyboard, 0xDEAD},
              {kMouse, 0}};
  for (const auto &row : rows) {
    SCOPED_TRACE("use " + std::to_string(row.use) + " of " + Hex(row.window));
    SetUp();
    void *window = reinterpret_cast<void *>(row.window);
    fake.deadWindows.insert(reinterpret_cast<HWND>(0xDEAD));
    unsigned char options = row.use == kFullScreen ? 2 : 0;
    if (row.use >= kKeyboard) {
      ASSERT_EQ(1, input.Open(window, NULL));
    }
    EXPECT_EQ(0, row.use == kKeyboard ? input.OpenKeyboard(window)
                 : row.use == kMouse  ? input.OpenMouse(window)
                                     : display.Open(window, 8, 8, 16, options));
    EXPECT_EQ(std::vector<std::string>{"DDERR_INVALIDPARAMS"}, Boxes());
    EXPECT_EQ(0u, fake.Find("MessageBoxA")->values[0]) << "no owner";
    EXPECT_EQ(0u, fake.Count("DirectDrawCreate") +
                      fake.Count("IDirectInputA::CreateDevice"));
    char handle[32];
    snprintf(handle, sizeof handle, "%p is none", window);
    std::vector<std::string> lines = Diagnostics();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(handle)) << lines[0];
  }
}

// Opening again lets go of what the library stored in that record, read
// from its own list, whatever the record's fields now say: records opened
// side by side, a copy, a copy closed, a block freed without Close and
// partly overwritten. No interface is released twice (TearDown), none left.
TEST_F(BadInput, OpeningAgainReleasesWhatTheLibraryStoredThere) {
  const unsigned char options = LurnDirectDraw::ReleaseSecondary;
  LurnDirectDraw other, copy;
  memset(&other, 0xCC, sizeof other);
  ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16, options));
  ASSERT_EQ(1, other.Open(TestWindow(), 320, 200, 16, options));
  long held = fake.LiveReferences();
  ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16, options));
  ASSERT_EQ(1, other.Open(TestWindow(), 320, 200, 16, options));
  EXPECT_EQ(held, fake.LiveReferences()) << "each reopen let go of its own";

  memcpy(&copy, &display, sizeof copy);
  ASSERT_EQ(1, copy.Open(TestWindow(), 320, 200, 16, options));
  EXPECT_EQ(held * 3 / 2, fake.LiveReferences())
      << "the copy's Open released nothing the original holds";
  copy.Close();
  other.Close();
  memcpy(&copy, &display, sizeof copy);
  copy.Close();
  EXPECT_EQ(0, fake.LiveReferences()) << "the copy let go of the original's";
  ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16, options));
  memset(&display, 0xCC, offsetof(LurnDirectDraw, primarySurface));
  ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16, options));
  display.Close();
  EXPECT_EQ(0, fake.LiveReferences()) << "the reused block's old interfaces";

  LurnDirectInput inputCopy;
  ASSERT_EQ(1, input.Open(TestWindow(), NULL));
  ASSERT_EQ(1, input.OpenMouse(TestWindow()));
  IDirectInputDeviceA *mouse = input.mouse;
  ASSERT_EQ(1, input.Open(TestWindow(), NULL));
  EXPECT_EQ(1u, fake.Count("IDirectInputA::Release")) << "the old root";
  EXPECT_EQ(mouse, input.mouse) << "the device stays";
  memset(&input, 0xCC, offsetof(LurnDirectInput, keyState));
  ASSERT_EQ(1, input.Open(TestWindow(), NULL));
  EXPECT_EQ(mouse, input.mouse) << "the device stays, from the list";
  memcpy(&inputCopy, &input, sizeof inputCopy);
  inputCopy.Close();
  ASSERT_EQ(1, input.Open(TestWindow(), NULL));
  EXPECT_EQ(nullptr, input.mouse) << "the copy closed it";
  input.Close();
  EXPECT_EQ(0, fake.LiveReferences());
}

// No limit on how many records are open: reopening any of 1,000 lets go
// of what it held.
TEST_F(BadInput, AThousandOpenRecordsReopenWithoutLeaking) {
  std::vector<LurnDirectDraw> displays(1000);
  std::vector<LurnDirectInput> inputs(1000);
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < displays.size(); ++i) {
      ASSERT_EQ(1, displays[i].Open(TestWindow(), 8, 8, 16,
                                    LurnDirectDraw::ReleaseSecondary |
                                        LurnDirectDraw::AuxSurface));
      ASSERT_EQ(1, inputs[i].Open(TestWindow(), NULL));
      ASSERT_EQ(1, inputs[i].OpenKeyboard(TestWindow()));
    }
    EXPECT_EQ(1000 * (6 + 2), fake.LiveReferences()) << "round " << round;
  }
  for (size_t i = 0; i < displays.size(); ++i) {
    displays[i].Close();
    inputs[i].Close();
  }
  EXPECT_EQ(0, fake.LiveReferences());
}

} // namespace
