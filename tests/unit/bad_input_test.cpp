// Every call a client can make on a record that is not open: zeroed,
// raw memory filled with the debug heap's 0xCD bytes, or closed. Each gets
// its defined answer without touching an interface that is not there.
#include "test_support.h"

namespace {

enum RecordState { kZeroed, kDebugFill, kClosed };
const char *const kStateNames[] = {"zeroed", "0xCD-filled", "closed"};

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
    } else if (state == kClosed) {
      ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16,
                                LurnDirectDraw::ReleaseSecondary |
                                    LurnDirectDraw::AuxSurface));
      ASSERT_EQ(1, input.Open(TestWindow(), NULL));
      ASSERT_EQ(1, input.OpenKeyboard(TestWindow()));
      ASSERT_EQ(1, input.OpenMouse(TestWindow()));
      display.Close();
      input.Close();
    }
    fake.calls.clear();
  }
};

TEST_F(BadInput, EveryCallOnARecordThatIsNotOpen) {
  for (RecordState state : {kZeroed, kDebugFill, kClosed}) {
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

// Opening again releases what the record holds only when the library knows
// it opened that record: several records at once, a copy, and a record's
// memory reused without a Close.
TEST_F(BadInput, OpeningAgainReleasesOnlyWhatTheLibraryOpenedThere) {
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
  memset(&display, 0xCC, sizeof display); // freed without Close, reused
  ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16, options));
  display.Close();
  EXPECT_EQ(held / 2, fake.LiveReferences()) << "only the lost record leaks";
  EXPECT_EQ(0, fake.OverReleases());

  ASSERT_EQ(1, input.Open(TestWindow(), NULL));
  ASSERT_EQ(1, input.OpenMouse(TestWindow()));
  ASSERT_EQ(1, input.Open(TestWindow(), NULL));
  EXPECT_EQ(1u, fake.Count("IDirectInputA::Release")) << "the old root";
  EXPECT_NE(nullptr, input.mouse) << "the device stays";
  input.Close();
  EXPECT_EQ(held / 2, fake.LiveReferences());
}

} // namespace
