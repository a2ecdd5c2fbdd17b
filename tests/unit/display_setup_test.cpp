#include "test_support.h"

#include <algorithm>

namespace {

const unsigned char kWindowed = 0;
const unsigned char kFullScreen = LurnDirectDraw::FullScreen;
const unsigned char kRelease = LurnDirectDraw::ReleaseSecondary;
const unsigned char kAux = LurnDirectDraw::AuxSurface;

class DisplaySetup : public FakePlatformTest {
protected:
  int Open(unsigned char options, unsigned char depth = 16) {
    return display.Open(TestWindow(), 320, 200, depth, options);
  }
  const FakeCall &Call(const std::string &name, size_t nth = 0) {
    const FakeCall *call = fake.Find(name, nth);
    if (call == NULL) {
      ADD_FAILURE() << "no call " << name << " #" << nth;
      static FakeCall none;
      return none;
    }
    return *call;
  }
};

TEST_F(DisplaySetup, WindowedOpenMakesTheCallsInOrder) {
  ASSERT_EQ(1, Open(kWindowed));
  const std::vector<std::string> expected = {
      "DirectDrawCreate",
      "IDirectDraw::QueryInterface",
      "IDirectDraw::SetCooperativeLevel",
      "IDirectDraw::GetCaps",
      "IDirectDraw::CreateSurface",
      "IDirectDraw::CreateSurface",
      "IDirectDrawSurface::Lock",
      "IDirectDrawSurface::Unlock",
      "IDirectDrawSurface::GetPixelFormat",
      "IDirectDraw::CreateClipper",
      "IDirectDrawClipper::SetHWnd",
      "IDirectDrawSurface::SetClipper"};
  EXPECT_EQ(expected, fake.Names());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(DisplaySetup, WindowedOpenPassesTheDocumentedValues) {
  ASSERT_EQ(1, Open(kWindowed));
  EXPECT_EQ(0u, Call("DirectDrawCreate").values[0]) << "default driver";
  EXPECT_EQ(0u, Call("DirectDrawCreate").values[1]) << "no aggregation";
  EXPECT_TRUE(Call("IDirectDraw::QueryInterface").As<IID>() ==
              IID_IDirectDraw2);
  const FakeCall &level = Call("IDirectDraw::SetCooperativeLevel");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(TestWindow()), level.values[0]);
  EXPECT_EQ(Hex(0x08), Hex(level.values[1]));

  const DDCAPS &caps = Call("IDirectDraw::GetCaps").As<DDCAPS>();
  EXPECT_EQ(sizeof(DDCAPS), caps.dwSize);
  EXPECT_EQ(0u, caps.dwCaps) << "zeroed record";
  EXPECT_EQ(0u, Call("IDirectDraw::GetCaps").values[1]) << "no emulation caps";

  const DDSURFACEDESC &primary =
      Call("IDirectDraw::CreateSurface", 0).As<DDSURFACEDESC>();
  EXPECT_EQ(sizeof(DDSURFACEDESC), primary.dwSize);
  EXPECT_EQ(Hex(0x01), Hex(primary.dwFlags));
  EXPECT_EQ(Hex(0x4200), Hex(primary.ddsCaps.dwCaps));
  const DDSURFACEDESC &secondary =
      Call("IDirectDraw::CreateSurface", 1).As<DDSURFACEDESC>();
  EXPECT_EQ(Hex(0x07), Hex(secondary.dwFlags));
  EXPECT_EQ(320u, secondary.dwWidth);
  EXPECT_EQ(200u, secondary.dwHeight);
  EXPECT_EQ(Hex(0x840), Hex(secondary.ddsCaps.dwCaps));
  EXPECT_EQ(0u, secondary.ddpfPixelFormat.dwSize) << "takes the display's";

  const FakeCall &lock = Call("IDirectDrawSurface::Lock");
  EXPECT_EQ(display.secondarySurface, lock.object);
  EXPECT_EQ(0u, lock.values[0]) << "whole surface";
  EXPECT_EQ(Hex(0x01), Hex(lock.values[1])) << "DDLOCK_WAIT";
  EXPECT_EQ(sizeof(DDSURFACEDESC), lock.As<DDSURFACEDESC>().dwSize);
  EXPECT_EQ(0u, Call("IDirectDrawSurface::Unlock").values[0]);

  const FakeCall &format = Call("IDirectDrawSurface::GetPixelFormat");
  EXPECT_EQ(display.primarySurface, format.object);
  EXPECT_EQ(sizeof(DDPIXELFORMAT), format.As<DDPIXELFORMAT>().dwSize);
  EXPECT_EQ(0u, format.As<DDPIXELFORMAT>().dwRGBBitCount) << "zeroed record";

  EXPECT_EQ(0u, Call("IDirectDraw::CreateClipper").values[0]);
  const FakeCall &bind = Call("IDirectDrawClipper::SetHWnd");
  EXPECT_EQ(0u, bind.values[0]);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(TestWindow()), bind.values[1]);
  const FakeCall &attach = Call("IDirectDrawSurface::SetClipper");
  EXPECT_EQ(display.primarySurface, attach.object);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(display.clipper), attach.values[0]);
}

#if defined(_WIN32)
// GDI draws several times slower under Wine on a window that DirectDraw's
// level names, or that a clipper names as it is attached to the primary: a
// display that shows its picture through GDI names none in either way.
TEST_F(DisplaySetup, KeepingTheDesktopTheLevelNamesAWindowOnlyForDirectDraw) {
  const struct {
    const char *present;
    uintptr_t window;
    bool attachedUnbound;
  } rows[] = {{"", 0, true},
              {"gdi", 0, true},
              {"directdraw", reinterpret_cast<uintptr_t>(TestWindow()), false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(std::string("LURN_PRESENT=") + row.present);
    SetUp();
    _putenv_s("LURN_PRESENT", row.present);
    ASSERT_EQ(1, Open(LurnDirectDraw::KeepDesktop));
    _putenv_s("LURN_PRESENT", "");
    EXPECT_EQ(Hex(row.window),
              Hex(Call("IDirectDraw::SetCooperativeLevel").values[0]));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(TestWindow()),
              Call("IDirectDrawClipper::SetHWnd").values[1])
        << "the clipper stays on the window";
    const std::vector<std::string> names = fake.Names();
    const auto at = [&names](const char *name) {
      return std::find(names.begin(), names.end(), name) - names.begin();
    };
    EXPECT_EQ(row.attachedUnbound, at("IDirectDrawSurface::SetClipper") <
                                       at("IDirectDrawClipper::SetHWnd"))
        << "the clipper attached before it is bound";
  }
}

TEST_F(DisplaySetup, RecordsHaveTheirDirectX5Sizes) {
  EXPECT_EQ(364u, sizeof(DDCAPS));
  const bool x64 = sizeof(void *) == 8; // the records hold pointers
  EXPECT_EQ(x64 ? 120u : 108u, sizeof(DDSURFACEDESC));
  EXPECT_EQ(32u, sizeof(DDPIXELFORMAT));
  EXPECT_EQ(x64 ? 128u : 100u, sizeof(DDBLTFX));
}
#endif

TEST_F(DisplaySetup, WindowedOpenFillsTheDrawingAddressAndPitch) {
  ASSERT_EQ(1, Open(kWindowed));
  EXPECT_EQ("directDraw directDraw2 primarySurface secondarySurface clipper",
            OpenFields());
  EXPECT_NE(nullptr, display.secondaryBits);
  EXPECT_EQ(320, display.pitchPixels);
  EXPECT_EQ(TestWindow(), display.window);
  EXPECT_EQ(320, display.width);
  EXPECT_EQ(200, display.height);
  EXPECT_EQ(16, display.bitsPerPixel);
  EXPECT_EQ(display.directDraw, display.GetDD());
  EXPECT_EQ(display.primarySurface, display.GetPrimarySurface());
  EXPECT_EQ(display.secondarySurface, display.GetRenderSurface());

  // The pitch is the surface's, as the first lock will give it: lines of
  // system memory start on 8 bytes, so odd widths are wider than drawn.
  const unsigned short widths[][2] = {{641, 644}, {1, 4}, {642, 644}};
  for (const auto &row : widths) {
    SCOPED_TRACE(row[0]);
    SetUp();
    ASSERT_EQ(1, display.Open(TestWindow(), row[0], 480, 16, kRelease));
    EXPECT_EQ(row[1], display.pitchPixels);
    ASSERT_EQ(1, display.LockSecondaryBuffer());
    EXPECT_EQ(row[1], display.pitchPixels) << "the same after the lock";
    display.Close();
  }
}

// A developer who asks for the figures is told the settings they come from.
TEST_F(DisplaySetup, OpenNamesTheSettingsInForceWhenFiguresAreAsked) {
  for (const char *stats : {"0", "1"}) {
    SetUp();
    SetVariable("LURN_STATS", stats);
    ASSERT_EQ(1, Open(kWindowed));
    std::vector<std::string> lines = Diagnostics();
    SetVariable("LURN_STATS", "");
    ASSERT_EQ(*stats == '1' ? 1u : 0u, lines.size()) << "LURN_STATS=" << stats;
    if (!lines.empty()) {
      EXPECT_EQ(0u, lines[0].find("lurn: settings in force: ")) << lines[0];
      EXPECT_NE(std::string::npos,
                lines[0].find("LURN_STATS=\"1\" (environment)"))
          << lines[0];
    }
  }
}

// A line longer than a lock takes (Wine pads 65535 pixels to 131072 bytes)
// is refused by Open, not by the first frame.
TEST_F(DisplaySetup, ALineNoLockTakesIsRefusedAtOpen) {
  EXPECT_EQ(0, display.Open(TestWindow(), 65535, 1, 16, kRelease));
  EXPECT_EQ(std::vector<std::string>{"DDERR_TOOBIGWIDTH"}, Boxes());
  std::string line = Diagnostics().at(0);
  EXPECT_NE(std::string::npos, line.find("lines of 131072 bytes; a lock takes "
                                         "at most 65535 pixels"))
      << line;
  SetUp();
  ASSERT_EQ(1, display.Open(TestWindow(), 65532, 1, 16, kRelease));
  EXPECT_EQ(1, display.LockSecondaryBuffer());
  EXPECT_EQ(65532, display.pitchPixels);
}

// The auxiliary surface is made in the drawing surface's format, also when
// that is not the desktop's.
TEST_F(DisplaySetup, TheAuxiliarySurfaceHasTheDrawingSurfacesFormat) {
  const unsigned char options[] = {kAux, kAux | LurnDirectDraw::KeepDesktop};
  for (unsigned char option : options) {
    SCOPED_TRACE(Hex(option));
    SetUp();
    SetDisplayFormat(32, 0xFF0000, 0xFF00, 0xFF);
    ASSERT_EQ(option != kAux, Open(option));
    const DDSURFACEDESC &drawing =
        Call("IDirectDraw::CreateSurface", 1).As<DDSURFACEDESC>();
    const DDSURFACEDESC &aux =
        Call("IDirectDraw::CreateSurface", 2).As<DDSURFACEDESC>();
    EXPECT_EQ(Hex(drawing.dwFlags & DDSD_PIXELFORMAT),
              Hex(aux.dwFlags & DDSD_PIXELFORMAT));
    EXPECT_EQ(0, memcmp(&drawing.ddpfPixelFormat, &aux.ddpfPixelFormat,
                        sizeof aux.ddpfPixelFormat));
  }
}

TEST_F(DisplaySetup, FullScreenOpenBuildsAFlipChain) {
  display.pitchPixels = 77;
  ASSERT_EQ(1, Open(kFullScreen));
  const std::vector<std::string> expected = {
      "DirectDrawCreate",
      "IDirectDraw::QueryInterface",
      "IDirectDraw::SetCooperativeLevel",
      "IDirectDraw::SetDisplayMode",
      "IDirectDraw::GetCaps",
      "IDirectDraw::CreateSurface",
      "IDirectDrawSurface::GetAttachedSurface",
      "IDirectDrawSurface::GetPixelFormat",
      "IDirectDraw::CreateClipper",
      "IDirectDrawClipper::SetHWnd",
      "IDirectDrawSurface::SetClipper"};
  EXPECT_EQ(expected, fake.Names());
  EXPECT_EQ(Hex(0x11), Hex(Call("IDirectDraw::SetCooperativeLevel").values[1]));
  EXPECT_EQ((std::vector<uintptr_t>{320, 200, 16}),
            Call("IDirectDraw::SetDisplayMode").values);
  const DDSURFACEDESC &primary =
      Call("IDirectDraw::CreateSurface").As<DDSURFACEDESC>();
  EXPECT_EQ(Hex(0x21), Hex(primary.dwFlags));
  EXPECT_EQ(Hex(0x4218), Hex(primary.ddsCaps.dwCaps));
  EXPECT_EQ(1u, primary.dwBackBufferCount);
  EXPECT_EQ(Hex(0x04),
            Hex(Call("IDirectDrawSurface::GetAttachedSurface").values[0]));
  EXPECT_NE(nullptr, display.secondarySurface);
  EXPECT_EQ(nullptr, display.secondaryBits) << "filled by the first lock";
  EXPECT_EQ(77, display.pitchPixels) << "filled by the first lock";
}

struct FailingStep {
  const char *label;
  unsigned char options;
  const char *method;
  int skip; // calls of the method that succeed first
  unsigned long code;
  const char *fieldsLeft;
};

TEST_F(DisplaySetup, AFailingStepIsReportedAndLeavesWhatWasBuilt) {
  const char *kDraw = "directDraw directDraw2";
  const char *kPrimary = "directDraw directDraw2 primarySurface";
  const char *kSurfaces =
      "directDraw directDraw2 primarySurface secondarySurface";
  const FailingStep steps[] = {
      {"create", kRelease, "DirectDrawCreate", 0, 0x88760233, ""},
      {"second interface", kRelease, "IDirectDraw::QueryInterface", 0,
       0x80004002, "directDraw"},
      {"windowed level", kRelease, "IDirectDraw::SetCooperativeLevel", 0,
       0x80070057, kDraw},
      {"level answering S_FALSE", kRelease, "IDirectDraw::SetCooperativeLevel",
       0, 1, kDraw},
      {"exclusive level", kRelease | kFullScreen,
       "IDirectDraw::SetCooperativeLevel", 0, 0x88760245, kDraw},
      {"mode", kRelease | kFullScreen, "IDirectDraw::SetDisplayMode", 0,
       0x80004001, kDraw},
      {"caps", kRelease, "IDirectDraw::GetCaps", 0, 0x80070057, kDraw},
      {"primary", kRelease, "IDirectDraw::CreateSurface", 0, 0x8876017C, kDraw},
      {"back buffer", kRelease | kFullScreen,
       "IDirectDrawSurface::GetAttachedSurface", 0, 0x887600FF, kPrimary},
      {"drawing surface", kRelease, "IDirectDraw::CreateSurface", 1, 0x8007000E,
       kPrimary},
      {"drawing surface lock", kRelease, "IDirectDrawSurface::Lock", 0,
       0x887601AE, kSurfaces},
      {"clipper", kRelease, "IDirectDraw::CreateClipper", 0, 0x8007000E,
       kSurfaces},
      {"clipper window", kRelease | kFullScreen, "IDirectDrawClipper::SetHWnd",
       0, 0x80070057,
       "directDraw directDraw2 primarySurface secondarySurface clipper"},
      {"clipper attach", kRelease, "IDirectDrawSurface::SetClipper", 0,
       0x88760237,
       "directDraw directDraw2 primarySurface secondarySurface clipper"},
  };
  for (const FailingStep &step : steps) {
    SCOPED_TRACE(step.label);
    SetUp();
    fake.Answer(step.method, static_cast<HRESULT>(step.code), 1, step.skip);
    EXPECT_EQ(0, Open(step.options));
    EXPECT_EQ(std::vector<std::string>{DirectXErrorName(
                  static_cast<HRESULT>(step.code))},
              Boxes());
    EXPECT_EQ(step.fieldsLeft, OpenFields());
    EXPECT_EQ(step.options, display.flags) << "stored before any call";
    EXPECT_EQ(320, display.width);
    display.Close();
    EXPECT_EQ("", OpenFields());
    EXPECT_EQ(0, fake.LiveReferences()) << "every reference released";
    EXPECT_EQ(0, fake.OverReleases());
  }
}

TEST_F(DisplaySetup, AuxiliaryFailureClosesBeforeTheBox) {
  const FailingStep steps[] = {
      {"aux create, windowed", kAux, "IDirectDraw::CreateSurface", 2,
       0x8007000E, "secondarySurface"},
      {"aux create, released", kAux | kRelease, "IDirectDraw::CreateSurface", 2,
       0x8007000E, ""},
      {"aux lock", kAux | kRelease, "IDirectDrawSurface::Lock", 1, 0x887601AE,
       ""},
      {"aux create, full screen", kAux | kFullScreen,
       "IDirectDraw::CreateSurface", 1, 0x88760174, "secondarySurface"},
  };
  for (const FailingStep &step : steps) {
    SCOPED_TRACE(step.label);
    SetUp();
    fake.Answer(step.method, static_cast<HRESULT>(step.code), 1, step.skip);
    EXPECT_EQ(0, Open(step.options));
    EXPECT_EQ(step.fieldsLeft, OpenFields());
    std::vector<std::string> names = fake.Names();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ("MessageBoxA", names.back()) << "the box comes after Close";
    EXPECT_EQ("IDirectDraw::Release", names[names.size() - 3]);
    EXPECT_EQ(DirectXErrorName(static_cast<HRESULT>(step.code)),
              fake.calls.back().text);
    long kept = display.secondarySurface != NULL ? 1 : 0;
    EXPECT_EQ(kept, fake.LiveReferences());
  }
}

TEST_F(DisplaySetup, ALockWithoutAnAddressIsLockedSurfaces) {
  fake.lockAnswers.push_back(LockAnswer{NULL, 640});
  EXPECT_EQ(0, Open(kWindowed));
  EXPECT_EQ(std::vector<std::string>{"DDERR_LOCKEDSURFACES"}, Boxes());
  EXPECT_EQ(nullptr, display.secondaryBits);
  EXPECT_EQ(0u, fake.Count("IDirectDrawSurface::Unlock")) << "left locked";

  SetUp();
  static uint16_t pixels[16];
  fake.lockAnswers.push_back(LockAnswer{pixels, 640});
  fake.lockAnswers.push_back(LockAnswer{NULL, 640});
  EXPECT_EQ(0, Open(kAux | kRelease));
  EXPECT_EQ(std::vector<std::string>{"DDERR_LOCKEDSURFACES"}, Boxes());
  EXPECT_EQ("", OpenFields()) << "the auxiliary failure closed the object";
  EXPECT_EQ(1u, fake.Count("IDirectDrawSurface::Unlock"));
}

const char kMissingDepthLine[] =
    "lurn: Open: DDERR_INVALIDPIXELFORMAT (0x88760091): windowed at 32 bits, "
    "the desktop is 16 bits (5-6-5); ask for 16, open FullScreen, or keep the "
    "desktop and have the picture converted: the KeepDesktop option bit "
    "(0x10) or LURN_KEEP_DESKTOP=1";

TEST_F(DisplaySetup, ADepthTheDisplayLacksIsInvalidPixelFormat) {
  const unsigned char depths[] = {0, 8, 15, 24, 32};
  for (unsigned char depth : depths) {
    SCOPED_TRACE(depth);
    SetUp();
    EXPECT_EQ(0, Open(kWindowed | kRelease, depth));
    EXPECT_EQ(std::vector<std::string>{"DDERR_INVALIDPIXELFORMAT"}, Boxes());
    EXPECT_EQ("directDraw directDraw2 primarySurface secondarySurface",
              OpenFields())
        << "no Close before the box";
    if (depth == 32) {
      std::vector<std::string> expected = {kMissingDepthLine};
      EXPECT_EQ(expected, Diagnostics());
      // With the bit cleared by the environment the line says so, and
      // LURN_LOG's file gets each line too.
      const char log[] = "display_setup_test.log";
      remove(log);
      SetVariable("LURN_KEEP_DESKTOP", "0");
      SetVariable("LURN_LOG", log);
      display.Close();
      EXPECT_EQ(0, Open(kWindowed | kRelease, depth));
      SetVariable("LURN_KEEP_DESKTOP", "");
      SetVariable("LURN_LOG", "");
      std::string asked = kMissingDepthLine;
      expected = {asked.substr(0, asked.find("ask for")) +
                  "ask for 16 or open FullScreen; LURN_KEEP_DESKTOP=0 in the "
                  "environment cleared the KeepDesktop option bit (0x10), "
                  "which has the picture converted"};
      EXPECT_EQ(expected, Diagnostics());
      FILE *file = fopen(log, "r");
      ASSERT_NE(nullptr, file);
      char line[512] = "";
      EXPECT_NE(nullptr, fgets(line, sizeof line, file));
      fclose(file);
      remove(log);
      EXPECT_EQ(expected[0] + "\n", line) << "LURN_LOG's file";
    }
    display.Close();
    EXPECT_EQ(0, fake.LiveReferences());
  }
}

struct LayoutRow {
  DWORD bits, red, green, blue;
  int redShift, greenBits, blueShift; // -1: left as it was
};

TEST_F(DisplaySetup, PixelLayoutFollowsTheMasks) {
  const LayoutRow rows[] = {
      {16, 0xF800, 0x07E0, 0x001F, 11, 6, 0},
      {16, 0xFC00, 0x03E0, 0x001F, 10, 5, 0},
      {16, 0xF800, 0x07C0, 0x003F, 11, 5, 0},
      {16, 0x7C00, 0x03E0, 0x001F, 10, 5, 0},
      {16, 0x001F, 0x07E0, 0xF800, -1, -1, -1},
      {8, 0, 0, 0, -1, -1, -1},
      {32, 0xFF0000, 0x00FF00, 0x0000FF, -1, -1, -1},
      {24, 0xFF0000, 0x00FF00, 0x0000FF, -1, -1, -1},
  };
  for (const LayoutRow &row : rows) {
    SCOPED_TRACE(Hex(row.red) + " " + Hex(row.green) + " " + Hex(row.blue));
    SetUp();
    SetDisplayFormat(row.bits, row.red, row.green, row.blue);
    display.redShift = display.greenBits = display.blueShift = 0xEE;
    EXPECT_EQ(1, Open(kFullScreen, static_cast<unsigned char>(row.bits)));
    EXPECT_EQ(row.redShift < 0 ? 0xEE : row.redShift, display.redShift);
    EXPECT_EQ(row.greenBits < 0 ? 0xEE : row.greenBits, display.greenBits);
    EXPECT_EQ(row.blueShift < 0 ? 0xEE : row.blueShift, display.blueShift);
  }
}

TEST_F(DisplaySetup, UnknownOptionBitsAndANullWindowPassThrough) {
  ASSERT_EQ(1, display.Open(NULL, 320, 200, 16, 0xF0));
  EXPECT_EQ(0xF0, display.flags);
  EXPECT_EQ(Hex(0x08), Hex(Call("IDirectDraw::SetCooperativeLevel").values[1]));
  EXPECT_EQ(0u, Call("IDirectDraw::SetCooperativeLevel").values[0]);
  EXPECT_EQ(0u, Call("IDirectDrawClipper::SetHWnd").values[1]);
  EXPECT_EQ(nullptr, display.auxSurface);
}

class DisplayClose : public DisplaySetup {};

TEST_F(DisplayClose, ReleasesEverythingButAKeptSecondarySurface) {
  ASSERT_EQ(1, Open(kWindowed));
  IDirectDrawSurface *kept = display.secondarySurface;
  fake.calls.clear();
  display.Close();
  const std::vector<std::string> expected = {
      "IDirectDrawClipper::Release", "IDirectDrawSurface::Release",
      "IDirectDraw::SetCooperativeLevel", "IDirectDraw::Release",
      "IDirectDraw2::Release"};
  EXPECT_EQ(expected, fake.Names());
  EXPECT_EQ(Hex(0x08), Hex(Call("IDirectDraw::SetCooperativeLevel").values[1]));
  EXPECT_EQ(display.primarySurface, nullptr);
  EXPECT_EQ(kept, display.secondarySurface) << "kept without ReleaseSecondary";
  EXPECT_EQ(1, fake.ObjectOf(kept)->references);
  EXPECT_EQ(1, fake.LiveReferences());
  EXPECT_NE(nullptr, display.secondaryBits) << "Close leaves the address";
  EXPECT_EQ(320, display.pitchPixels);
}

TEST_F(DisplayClose, ReleasesTheBackBufferBeforeItsChain) {
  ASSERT_EQ(1, Open(kFullScreen | kRelease | kAux));
  const void *back = display.secondarySurface;
  const void *front = display.primarySurface;
  const void *aux = display.auxSurface;
  fake.calls.clear();
  display.Close();
  std::vector<const void *> released;
  for (const FakeCall &call : fake.calls)
    if (call.name == "IDirectDrawSurface::Release")
      released.push_back(call.object);
  EXPECT_EQ((std::vector<const void *>{back, front, aux}), released);
  EXPECT_EQ("", OpenFields());
  EXPECT_EQ(0, fake.LiveReferences());
}

TEST_F(DisplayClose, DoesNothingOnAClosedOrZeroedObject) {
  display.Close();
  EXPECT_TRUE(fake.calls.empty());
  ASSERT_EQ(1, Open(kWindowed | kRelease));
  display.Close();
  fake.calls.clear();
  display.Close();
  EXPECT_TRUE(fake.calls.empty()) << "a second Close calls nothing";
}

// An interface the library never stored is not its to release.
TEST_F(DisplayClose, EmptiesARecordItNeverOpenedReleasingNothing) {
  IDirectDraw *directDraw = NULL;
  ASSERT_EQ(DD_OK, DirectDrawCreate(NULL, &directDraw, NULL));
  ASSERT_EQ(DD_OK, directDraw->QueryInterface(
                       IID_IDirectDraw2,
                       reinterpret_cast<void **>(&display.directDraw2)));
  directDraw->Release();
  fake.calls.clear();
  IDirectDraw2 *second = display.directDraw2;
  display.Close();
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_EQ(nullptr, display.directDraw2);
  second->Release();
}

} // namespace
