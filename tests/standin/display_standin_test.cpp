// The library over the stand-in platform, headless (SDL's offscreen video
// driver): what a native client sees from Open and Close.
#include "standin_test_support.h"

namespace {

class StandinDisplay : public StandinTest {
protected:
  // Opens and returns what the error box said, if anything.
  std::string OpenReporting(void *handle, unsigned short width,
                            unsigned short height, unsigned char depth,
                            unsigned char options, int *result) {
    testing::internal::CaptureStderr();
    *result = display.Open(handle, width, height, depth, options);
    std::string said = testing::internal::GetCapturedStderr();
    // The box's caption and text follow the library's diagnostic line.
    std::string caption = "- DirectX Interface Error -\n";
    size_t box = said.find(caption);
    if (box == std::string::npos)
      return said;
    said.erase(0, box + caption.size());
    if (!said.empty() && said.back() == '\n')
      said.pop_back();
    return said;
  }
};

const unsigned char kRelease = LurnDirectDraw::ReleaseSecondary;
const unsigned char kFullScreen = LurnDirectDraw::FullScreen;

struct DesktopRow {
  const char *desktop;
  int redShift, greenBits, blueShift;
};

TEST_F(StandinDisplay, WindowedOpenTakesTheDesktopLayout) {
  const DesktopRow rows[] = {
      {NULL, 11, 6, 0}, {"565", 11, 6, 0}, {"555", 10, 5, 0}};
  for (const DesktopRow &row : rows) {
    SCOPED_TRACE(row.desktop ? row.desktop : "default");
    if (row.desktop)
      setenv("LURN_STANDIN_DESKTOP", row.desktop, 1);
    int opened = 0;
    EXPECT_EQ("", OpenReporting(window, 320, 240, 16, kRelease, &opened));
    ASSERT_EQ(1, opened);
    EXPECT_EQ(row.redShift, display.redShift);
    EXPECT_EQ(row.greenBits, display.greenBits);
    EXPECT_EQ(row.blueShift, display.blueShift);
    EXPECT_EQ(320, display.pitchPixels);
    ASSERT_NE(nullptr, display.secondaryBits);
    // The drawing surface is real memory of the whole size.
    memset(display.secondaryBits, 0x5A, 320 * 240 * 2);
    display.Close();
    EXPECT_EQ(nullptr, display.directDraw);
    EXPECT_EQ(nullptr, display.secondarySurface);
  }
}

TEST_F(StandinDisplay, AnUnknownDesktopIsNamedOnStandardError) {
  const char *settings[] = {"24", "5650", "rgb565"};
  for (const char *setting : settings) {
    SCOPED_TRACE(setting);
    setenv("LURN_STANDIN_DESKTOP", setting, 1);
    int opened = 0;
    std::string said = OpenReporting(window, 320, 240, 16, kRelease, &opened);
    EXPECT_EQ(1, opened) << "the default desktop, 565";
    EXPECT_EQ(11, display.redShift);
    EXPECT_NE(
        std::string::npos,
        said.find(std::string("LURN_STANDIN_DESKTOP=\"") + setting + "\""))
        << said;
    display.Close();
  }
}

TEST_F(StandinDisplay, TheWindowSurfaceIsPlainMemoryWhateverTheClientHinted) {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
  ASSERT_EQ(1, display.Open(window, 320, 240, 16, kRelease));
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  // SDL's own name for the data of a texture-backed window surface.
  EXPECT_EQ(nullptr, SDL_GetWindowData(window, "_SDL_WindowTextureData"));
}

TEST_F(StandinDisplay, ADesktopOfAnotherDepthIsInvalidPixelFormat) {
  setenv("LURN_STANDIN_DESKTOP", "32", 1);
  int opened = 1;
  EXPECT_EQ("DDERR_INVALIDPIXELFORMAT",
            OpenReporting(window, 320, 240, 16, kRelease, &opened));
  EXPECT_EQ(0, opened);
  EXPECT_NE(nullptr, display.primarySurface) << "kept for Close";
  display.Close();
  EXPECT_EQ(nullptr, display.primarySurface);
}

TEST_F(StandinDisplay, FullScreenTakesTheWindowAndGivesItBack) {
  int opened = 0;
  EXPECT_EQ(
      "", OpenReporting(window, 640, 480, 16, kFullScreen | kRelease, &opened));
  ASSERT_EQ(1, opened);
  SDL_Rect screen;
  ASSERT_EQ(0, SDL_GetDisplayBounds(0, &screen));
  int width = 0, height = 0;
  SDL_GetWindowSize(window, &width, &height);
  EXPECT_EQ(screen.w, width) << "the window covers the screen";
  EXPECT_EQ(screen.h, height);
  EXPECT_EQ(nullptr, display.secondaryBits);
  EXPECT_NE(nullptr, display.secondarySurface);
  DDSURFACEDESC mode;
  memset(&mode, 0, sizeof mode);
  mode.dwSize = sizeof mode;
  ASSERT_EQ(DD_OK, display.GetDD()->GetDisplayMode(&mode));
  EXPECT_EQ(640u, mode.dwWidth);
  EXPECT_EQ(480u, mode.dwHeight);
  EXPECT_EQ(16u, mode.ddpfPixelFormat.dwRGBBitCount);

  // A second exclusive client is refused while the first holds the display.
  LurnDirectDraw other;
  memset(&other, 0, sizeof other);
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, other.Open(window, 320, 200, 16, kFullScreen | kRelease));
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, said.find("DDERR_EXCLUSIVEMODEALREADYSET"))
      << said;
  other.Close();

  display.Close();
  SDL_GetWindowSize(window, &width, &height);
  EXPECT_EQ(640, width) << "given back its size";
  EXPECT_EQ(480, height);
}

TEST_F(StandinDisplay, FullScreenAt32BitsHasNoSixteenBitLayout) {
  setenv("LURN_STANDIN_DESKTOP", "32", 1); // 32-bit modes on offer
  display.redShift = display.greenBits = display.blueShift = 0xEE;
  int opened = 0;
  EXPECT_EQ(
      "", OpenReporting(window, 640, 480, 32, kFullScreen | kRelease, &opened));
  EXPECT_EQ(1, opened);
  EXPECT_EQ(0xEE, display.redShift);
}

TEST_F(StandinDisplay, ADestroyedFullScreenWindowFailsTheFramesSilently) {
  ASSERT_EQ(1, display.Open(window, 640, 480, 16, kFullScreen | kRelease));
  ASSERT_EQ(1, input.Open(window, NULL));
  ASSERT_EQ(1, input.OpenKeyboard(window));
  input.SyncAcquireMouse();
  SendFocus(true); // the devices and the display now look at the focus
  SDL_DestroyWindow(window);
  window = NULL;
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, display.ClearSecondaryBuffer());
  EXPECT_EQ(0, display.LockSecondaryBuffer());
  EXPECT_EQ(0, display.UpdatePrimaryBuffer());
  EXPECT_EQ(0, display.RestoreSurfaces());
  EXPECT_EQ(0, input.GetStateKeyboard());
  EXPECT_EQ("", testing::internal::GetCapturedStderr()) << "no error box";
  EXPECT_NE(nullptr, display.directDraw) << "the lock kept the object open";
  display.Close();
  // The display is free again for a new window.
  window = SDL_CreateWindow("again", 0, 0, 640, 480, 0);
  EXPECT_EQ(1, display.Open(window, 640, 480, 16, kFullScreen | kRelease));
}

TEST_F(StandinDisplay, EveryNewWindowIsAWindow) {
  // Past any fixed range of window IDs, one window after another.
  for (int made = 0; made < 4200; ++made) {
    SDL_DestroyWindow(window);
    window = SDL_CreateWindow("next", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
    ASSERT_NE(nullptr, window) << SDL_GetError();
    ASSERT_EQ(1, display.Open(window, 64, 48, 16, kRelease))
        << "window " << made;
    display.Close();
  }
  // And after 70,000 windows nobody showed to the stand-in.
  for (int made = 0; made < 70000; ++made)
    SDL_DestroyWindow(SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN));
  SDL_DestroyWindow(window);
  window = SDL_CreateWindow("far", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
  EXPECT_EQ(1, display.Open(window, 64, 48, 16, kRelease));
}

struct ModeRow {
  const char *desktop, *anyMode;
  unsigned short width, height;
  unsigned char depth;
  const char *box;
};

TEST_F(StandinDisplay, FullScreenOffersTheModesOfWinesVirtualDesktop) {
  // The desktop is 1024 x 768 headless.
  const ModeRow rows[] = {
      {NULL, NULL, 320, 200, 16, ""},
      {NULL, NULL, 768, 576, 16, ""},
      {NULL, NULL, 1024, 768, 16, ""},
      {NULL, NULL, 641, 480, 16, "DDERR_UNSUPPORTED"},
      {NULL, NULL, 720, 480, 16, "DDERR_UNSUPPORTED"},
      {NULL, NULL, 1280, 1024, 16, "DDERR_UNSUPPORTED"},
      {NULL, NULL, 640, 480, 32, "DDERR_UNSUPPORTED"},
      {"32", NULL, 640, 480, 32, ""},
      {NULL, "1", 641, 480, 16, ""},
      {NULL, "1", 1280, 1024, 16, ""},
      {NULL, "0", 641, 480, 16, "DDERR_UNSUPPORTED"},
  };
  for (const ModeRow &row : rows) {
    SCOPED_TRACE(testing::Message()
                 << row.width << "x" << row.height << "x" << int(row.depth)
                 << " desktop " << (row.desktop ? row.desktop : "565")
                 << " anymode " << (row.anyMode ? row.anyMode : "unset"));
    row.desktop ? setenv("LURN_STANDIN_DESKTOP", row.desktop, 1)
                : unsetenv("LURN_STANDIN_DESKTOP");
    row.anyMode ? setenv("LURN_STANDIN_ANYMODE", row.anyMode, 1)
                : unsetenv("LURN_STANDIN_ANYMODE");
    int opened = -1;
    EXPECT_EQ(row.box, OpenReporting(window, row.width, row.height, row.depth,
                                     kFullScreen | kRelease, &opened));
    EXPECT_EQ(*row.box == '\0', opened == 1);
    display.Close();
  }
  unsetenv("LURN_STANDIN_ANYMODE");
  // The line lists the modes on offer at that depth.
  const struct {
    unsigned short width;
    unsigned char depth;
    const char *said;
  } lines[] = {{641, 16,
                "full screen 641x480 at 16 bits; the display "
                "offers 9 modes at 16 bits: 320x240, 400x300, "
                "512x384, 640x480, 768x576, ...;"},
               {640, 32,
                "full screen 640x480 at 32 bits; the display "
                "offers no mode at 32 bits (18 at other depths);"}};
  for (const auto &line : lines) {
    testing::internal::CaptureStderr();
    display.Open(window, line.width, 480, line.depth, kFullScreen | kRelease);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, said.find(line.said)) << said;
    display.Close();
  }
}

TEST_F(StandinDisplay, LinesAreAlignedToEightBytes) {
  ASSERT_EQ(1, display.Open(window, 641, 3, 16, kRelease));
  ASSERT_EQ(1, display.LockSecondaryBuffer());
  EXPECT_EQ(644, display.pitchPixels) << "1288 bytes, as on Wine";
  display.UnlockSecondaryBuffer();
}

struct BadInput {
  const char *label;
  bool nullWindow;
  bool strayWindow;
  unsigned short width, height;
  unsigned char depth, options;
  int expected;
  const char *box;
};

// A copy closed, the original is closed too: its calls touch nothing that
// the copy's Close let go of (the sanitizer build sees any such touch).
TEST_F(StandinDisplay, TheOriginalOfAClosedCopyIsClosed) {
  ASSERT_EQ(1, display.Open(window, 320, 240, 16,
                            kRelease | LurnDirectDraw::AuxSurface));
  ASSERT_EQ(1, input.Open(window, NULL));
  ASSERT_EQ(1, input.OpenKeyboard(window));
  ASSERT_EQ(1, input.OpenMouse(window));
  LurnDirectDraw displayCopy;
  LurnDirectInput inputCopy;
  memcpy(&displayCopy, &display, sizeof display);
  memcpy(&inputCopy, &input, sizeof input);
  displayCopy.Close();
  inputCopy.Close();
  EXPECT_EQ(0, display.ClearSecondaryBuffer());
  EXPECT_EQ(0, display.LockSecondaryBuffer());
  display.UnlockSecondaryBuffer();
  EXPECT_EQ(0, display.UpdatePrimaryBuffer());
  EXPECT_EQ(0, display.RestoreSurfaces());
  input.SyncAcquireKeyboard();
  input.SyncAcquireMouse();
  EXPECT_EQ(0, input.GetStateKeyboard());
  EXPECT_EQ(0, input.GetStateMouse());
  display.Close();
  input.Close();
  EXPECT_EQ(nullptr, display.directDraw);
  EXPECT_EQ(nullptr, input.directInput);
}

TEST_F(StandinDisplay, BadInputGetsADefinedAnswer) {
  const BadInput rows[] = {
      {"zero width", false, false, 0, 240, 16, kRelease, 0,
       "DDERR_INVALIDPARAMS"},
      {"zero height", false, false, 320, 0, 16, kRelease, 0,
       "DDERR_INVALIDPARAMS"},
      {"huge size", false, false, 65535, 65535, 16, kRelease, 0,
       "DDERR_OUTOFMEMORY"},
      {"huge mode", false, false, 65535, 65535, 16, kFullScreen | kRelease, 0,
       "DDERR_UNSUPPORTED"},
      {"depth 0 windowed", false, false, 320, 240, 0, kRelease, 0,
       "DDERR_INVALIDPIXELFORMAT"},
      {"depth 8 windowed", false, false, 320, 240, 8, kRelease, 0,
       "DDERR_INVALIDPIXELFORMAT"},
      {"depth 15 windowed", false, false, 320, 240, 15, kRelease, 0,
       "DDERR_INVALIDPIXELFORMAT"},
      {"depth 24 windowed", false, false, 320, 240, 24, kRelease, 0,
       "DDERR_INVALIDPIXELFORMAT"},
      {"depth 32 windowed", false, false, 320, 240, 32, kRelease, 0,
       "DDERR_INVALIDPIXELFORMAT"},
      {"depth 15 full screen", false, false, 320, 240, 15,
       kFullScreen | kRelease, 0, "DDERR_INVALIDPIXELFORMAT"},
      {"depth 0 full screen", false, false, 320, 240, 0, kFullScreen | kRelease,
       0, "DDERR_INVALIDPIXELFORMAT"},
      {"null window, windowed", true, false, 320, 240, 16, kRelease, 1, ""},
      {"null window, full screen", true, false, 320, 240, 16,
       kFullScreen | kRelease, 0, "DDERR_INVALIDPARAMS"},
      {"not a window", false, true, 320, 240, 16, kRelease, 0,
       "DDERR_INVALIDPARAMS"},
      {"not a window, full screen", false, true, 320, 240, 16,
       kFullScreen | kRelease, 0, "DDERR_INVALIDPARAMS"},
      {"high option bits", false, false, 320, 240, 16, 0xF1, 1, ""},
  };
  for (const BadInput &row : rows) {
    SCOPED_TRACE(row.label);
    void *handle = row.nullWindow    ? NULL
                   : row.strayWindow ? reinterpret_cast<void *>(&display)
                                     : window;
    int opened = -1;
    EXPECT_EQ(row.box, OpenReporting(handle, row.width, row.height, row.depth,
                                     row.options, &opened));
    EXPECT_EQ(row.expected, opened);
    display.Close();
    EXPECT_EQ(nullptr, display.directDraw);
    EXPECT_EQ(nullptr, display.directDraw2);
    EXPECT_EQ(nullptr, display.primarySurface);
    EXPECT_EQ(nullptr, display.clipper);
  }
}

} // namespace
