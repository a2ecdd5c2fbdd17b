// Pictures through the library onto SDL windows, headless: what a native
// client's frames put on the screen, and how a full-screen client loses its
// surfaces with the focus and gets them back.
#include <lurn.h>

#include <SDL.h>
#include <atomic>
#include <gtest/gtest.h>
#include <signal.h>
#include <stb_image.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "desktop.h"
#include "present/capture.h"
#include "standin.h"
#include "standin_test_support.h"

namespace {

class StandinPresentation : public StandinTest {
protected:
  // Four quadrants: red, green, blue, white.
  void DrawQuadrants() {
    ASSERT_EQ(1, display.LockSecondaryBuffer());
    const Uint16 colours[4] = {Pack(255, 0, 0), Pack(0, 255, 0),
                               Pack(0, 0, 255), Pack(255, 255, 255)};
    Uint16 *row = static_cast<Uint16 *>(display.secondaryBits);
    for (int y = 0; y < display.height; ++y, row += display.pitchPixels)
      for (int x = 0; x < display.width; ++x)
        row[x] =
            colours[(y * 2 / display.height) * 2 + (x * 2 / display.width)];
    display.UnlockSecondaryBuffer();
  }
  Uint16 Pack(int red, int green, int blue) const {
    int greenShift = display.redShift - display.greenBits;
    return Uint16(((red >> 3) << display.redShift) |
                  ((green >> (8 - display.greenBits)) << greenShift) |
                  ((blue >> 3) << display.blueShift));
  }
};

TEST_F(StandinPresentation, WindowedFramesFillTheClientAreaScaled) {
  const int layouts[] = {565, 555};
  for (int layout : layouts) {
    SCOPED_TRACE(layout);
    setenv("LURN_STANDIN_DESKTOP", layout == 565 ? "565" : "555", 1);
    ASSERT_EQ(1, display.Open(window, 320, 240, 16,
                              LurnDirectDraw::ReleaseSecondary));
    EXPECT_EQ(1, display.ClearSecondaryBuffer());
    DrawQuadrants();
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
    // The 640 x 480 window shows the 320 x 240 picture twice as large.
    EXPECT_EQ("ff0000", PixelAt(160, 120));
    EXPECT_EQ("00ff00", PixelAt(480, 120));
    EXPECT_EQ("0000ff", PixelAt(160, 360));
    EXPECT_EQ("ffffff", PixelAt(480, 360));
    EXPECT_EQ("ff0000", PixelAt(0, 0));
    EXPECT_EQ("ffffff", PixelAt(639, 479));
    display.Close();
  }
}

// Under LURN_HIDE_CURSOR the system's cursor is hidden over the picture, and
// shown over the black bars and after Close.
TEST_F(StandinPresentation, TheCursorIsHiddenOverThePictureOnly) {
  setenv("LURN_HIDE_CURSOR", "1", 1);
  setenv("LURN_SCALE", "aspect", 1);
  ASSERT_EQ(1, display.Open(window, 300, 240, 16,
                            LurnDirectDraw::ReleaseSecondary)); // bars of 20
  const struct {
    int x;
    bool shown;
  } rows[] = {{320, false}, {5, true}, {320, false}};
  for (const auto &row : rows) {
    SDL_WarpMouseInWindow(window, row.x, 240);
    SDL_PumpEvents();
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
    EXPECT_EQ(row.shown, SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE)
        << "at " << row.x;
  }
  display.Close();
  EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY)) << "after Close";
  unsetenv("LURN_HIDE_CURSOR");
  unsetenv("LURN_SCALE");
}

TEST_F(StandinPresentation, ClearBlanksTheDrawingSurfaceAndAuxiliary) {
  ASSERT_EQ(1, display.Open(window, 64, 32, 16,
                            LurnDirectDraw::ReleaseSecondary |
                                LurnDirectDraw::AuxSurface));
  DrawQuadrants();
  EXPECT_EQ(1, display.ClearSecondaryBuffer());
  ASSERT_EQ(1, display.LockSecondaryBuffer());
  const Uint16 *drawn = static_cast<const Uint16 *>(display.secondaryBits);
  const Uint16 *aux = static_cast<const Uint16 *>(display.auxBits);
  EXPECT_EQ(0, drawn[0]);
  EXPECT_EQ(0, drawn[31 * display.pitchPixels + 63]);
  EXPECT_EQ(0x7FFF, aux[0]);
  display.UnlockSecondaryBuffer();
}

TEST_F(StandinPresentation, FullScreenFlipsShowThePictureWithItsAspect) {
  ASSERT_EQ(1, display.Open(window, 320, 200, 16,
                            LurnDirectDraw::FullScreen |
                                LurnDirectDraw::ReleaseSecondary));
  for (int frame = 0; frame < 3; ++frame) {
    EXPECT_EQ(1, display.ClearSecondaryBuffer());
    DrawQuadrants();
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  }
  SDL_Surface *screen = SDL_GetWindowSurface(window);
  ASSERT_NE(nullptr, screen);
  SDL_Rect fit = {0, 0, screen->w, screen->h};
  if (screen->w * 200 > screen->h * 320) {
    fit.w = screen->h * 320 / 200;
    fit.x = (screen->w - fit.w) / 2;
  } else {
    fit.h = screen->w * 200 / 320;
    fit.y = (screen->h - fit.h) / 2;
  }
  EXPECT_EQ("ff0000", PixelAt(fit.x + fit.w / 4, fit.y + fit.h / 4));
  EXPECT_EQ("ffffff", PixelAt(fit.x + fit.w * 3 / 4, fit.y + fit.h * 3 / 4));
  if (fit.x > 0) {
    EXPECT_EQ("000000", PixelAt(fit.x - 1, screen->h / 2)) << "side bars";
  }
  if (fit.y > 0) {
    EXPECT_EQ("000000", PixelAt(screen->w / 2, fit.y - 1)) << "bars";
  }
}

TEST_F(StandinPresentation, AFrameWithInputPumpsEventsOnce) {
  ASSERT_EQ(1, display.Open(window, 320, 200, 16,
                            LurnDirectDraw::FullScreen |
                                LurnDirectDraw::ReleaseSecondary));
  ASSERT_EQ(1, input.Open(window, NULL));
  ASSERT_EQ(1, input.OpenKeyboard(window));
  ASSERT_EQ(1, input.OpenMouse(window));
  input.SyncAcquireMouse();
  ASSERT_EQ(1, input.GetStateKeyboard());
  unsigned before = PumpCount();
  const unsigned frames = 10;
  for (unsigned frame = 0; frame < frames; ++frame) {
    EXPECT_EQ(1, input.GetStateKeyboard());
    EXPECT_EQ(0, input.GetStateMouse());
    EXPECT_EQ(1, display.ClearSecondaryBuffer());
    DrawQuadrants();
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  }
  EXPECT_EQ(frames, PumpCount() - before);
}

TEST_F(StandinPresentation, OfTwoThreadsLockingOneSurfaceOneIsRefused) {
  ASSERT_EQ(1,
            display.Open(window, 64, 32, 16, LurnDirectDraw::ReleaseSecondary));
  IDirectDrawSurface *surface = display.GetRenderSurface();
  for (int round = 0; round < 50; ++round) {
    std::atomic<int> ready(0);
    HRESULT results[2];
    auto lock = [&](int who) {
      DDSURFACEDESC desc;
      memset(&desc, 0, sizeof desc);
      desc.dwSize = sizeof desc;
      ++ready;
      while (ready < 2)
        std::this_thread::yield();
      results[who] = surface->Lock(NULL, &desc, DDLOCK_WAIT, NULL);
    };
    std::thread other(lock, 1);
    lock(0);
    other.join();
    ASSERT_EQ(1, (results[0] == DD_OK) + (results[1] == DD_OK))
        << Hex(results[0]) << " " << Hex(results[1]);
    ASSERT_EQ(Hex(DDERR_SURFACEBUSY),
              Hex(results[0] == DD_OK ? results[1] : results[0]));
    ASSERT_EQ(Hex(DD_OK), Hex(surface->Unlock(NULL)));
  }
}

TEST_F(StandinPresentation, FocusLossLosesTheFlipChainUntilRestored) {
  ASSERT_EQ(1, display.Open(window, 320, 200, 16,
                            LurnDirectDraw::FullScreen |
                                LurnDirectDraw::ReleaseSecondary |
                                LurnDirectDraw::AuxSurface));
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  SendFocus(false);
  EXPECT_EQ(0, display.ClearSecondaryBuffer());
  EXPECT_EQ(0, display.UpdatePrimaryBuffer());
  EXPECT_EQ(0, display.RestoreSurfaces()) << "still in the back";
  IDirectDrawSurface *front = display.GetPrimarySurface();
  EXPECT_EQ(Hex(DDERR_WRONGMODE), Hex(front->Restore()));
  EXPECT_EQ(Hex(DDERR_SURFACELOST), Hex(front->IsLost()));
  EXPECT_EQ(Hex(DD_OK), Hex(display.auxSurface->IsLost()))
      << "system memory stays";

  SendFocus(true);
  EXPECT_EQ(1, display.RestoreSurfaces());
  EXPECT_EQ(1, display.ClearSecondaryBuffer());
  DrawQuadrants();
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ(Hex(DD_OK), Hex(front->IsLost()));
}

TEST_F(StandinPresentation, AWindowedClientIsNotLostWithTheFocus) {
  ASSERT_EQ(
      1, display.Open(window, 320, 240, 16, LurnDirectDraw::ReleaseSecondary));
  SendFocus(false);
  EXPECT_EQ(1, display.ClearSecondaryBuffer());
  DrawQuadrants();
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ("ff0000", PixelAt(10, 10));
}

// Each Alt+Enter press switches, however many come between two presents.
TEST_F(StandinPresentation, EachAltEnterBetweenTwoPresentsSwitches) {
  ASSERT_EQ(
      1, display.Open(window, 320, 240, 16, LurnDirectDraw::ReleaseSecondary));
  SDL_Rect screen;
  ASSERT_EQ(0, SDL_GetDisplayBounds(0, &screen)) << SDL_GetError();
  const struct {
    int presses;
    bool covering;
  } rows[] = {{1, true}, {2, true}, {3, false}, {2, false}, {5, true}};
  for (const auto &row : rows) {
    for (int press = 0; press < row.presses; ++press) {
      SDL_Event event;
      memset(&event, 0, sizeof event);
      event.type = SDL_KEYDOWN;
      event.key.windowID = SDL_GetWindowID(window);
      event.key.keysym.scancode = SDL_SCANCODE_RETURN;
      event.key.keysym.mod = KMOD_LALT;
      SDL_PushEvent(&event);
    }
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
    int width, height;
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(row.covering ? screen.w : 640, width)
        << row.presses << " presses";
    EXPECT_EQ(row.covering ? screen.h : 480, height)
        << row.presses << " presses";
  }
  // Close gives the window back where the first press found it.
  display.Close();
  int x, y, width, height;
  SDL_GetWindowPosition(window, &x, &y);
  SDL_GetWindowSize(window, &width, &height);
  EXPECT_EQ("0,0 640x480", std::to_string(x) + "," + std::to_string(y) + " " +
                               std::to_string(width) + "x" +
                               std::to_string(height));
}

// Alt+Enter is taken per window, by the displays on it: a display opened
// later on another window with Alt+Enter off changes nothing here, and the
// other window's Alt+Enter is its client's.
TEST_F(StandinPresentation, AltEnterIsTakenByTheDisplaysOnTheWindow) {
  ASSERT_EQ(
      1, display.Open(window, 320, 240, 16, LurnDirectDraw::ReleaseSecondary));
  SDL_Window *other = SDL_CreateWindow("other", 0, 0, 200, 100, 0);
  ASSERT_NE(nullptr, other);
  LurnDirectDraw second{};
  ASSERT_EQ(1, LurnSetSetting("LURN_ALTENTER", "0"));
  ASSERT_EQ(1,
            second.Open(other, 100, 50, 16, LurnDirectDraw::ReleaseSecondary));
  LurnSetSetting("LURN_ALTENTER", NULL);
  SDL_Rect screen;
  ASSERT_EQ(0, SDL_GetDisplayBounds(0, &screen)) << SDL_GetError();
  for (SDL_Window *pressed : {window, other}) {
    SDL_Event event;
    memset(&event, 0, sizeof event);
    event.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(pressed);
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
    event.key.keysym.mod = KMOD_LALT;
    SDL_PushEvent(&event);
  }
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ(1, second.UpdatePrimaryBuffer());
  int width, height;
  SDL_GetWindowSize(window, &width, &height);
  EXPECT_EQ(screen.w, width) << "the first display's window";
  SDL_GetWindowSize(other, &width, &height);
  EXPECT_EQ(200, width) << "the window whose display leaves Alt+Enter";
  second.Close();
  SDL_DestroyWindow(other);
}

// Frames written under LURN_STANDIN_CAPTURE decode to the drawn pixels, each
// field widened by repeating its top bits; every second frame is kept.
TEST_F(StandinPresentation, CapturedFramesDecodeToThePixelsDrawn) {
  char folder[] = "/tmp/lurn-capture-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  setenv("LURN_STANDIN_CAPTURE", folder, 1);
  setenv("LURN_STANDIN_CAPTURE_EVERY", "2", 1);
  const unsigned char kinds[] = {LurnDirectDraw::FullScreen, 0};
  for (unsigned char kind : kinds) {
    SCOPED_TRACE(kind ? "full screen" : "windowed");
    ASSERT_EQ(1, display.Open(window, 320, 200, 16,
                              kind | LurnDirectDraw::ReleaseSecondary));
    SendFocus(true); // an earlier test's window may have had it
    for (int frame = 0; frame < 2; ++frame) { // the first one is kept
      ASSERT_EQ(1, display.LockSecondaryBuffer());
      Uint16 *row = static_cast<Uint16 *>(display.secondaryBits);
      for (int y = 0; y < 200; ++y, row += display.pitchPixels)
        for (int x = 0; x < 320; ++x)
          row[x] = Uint16(x * 677 + y * 9043 + frame);
      display.UnlockSecondaryBuffer();
      EXPECT_EQ(1, display.UpdatePrimaryBuffer());
    }
    display.Close();
  }
  const char *kept[] = {"000001", "000003"};
  for (const char *number : kept) {
    std::string path = std::string(folder) + "/frame-" + number + ".png";
    int width = 0, height = 0, channels = 0;
    unsigned char *rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(nullptr, rgb) << path;
    EXPECT_EQ(320, width);
    EXPECT_EQ(200, height);
    int wrong = 0;
    for (int i = 0; i < width * height && rgb != NULL; ++i) {
      unsigned v = Uint16((i % 320) * 677 + (i / 320) * 9043);
      unsigned r = v >> 11, g = v >> 5 & 63, b = v & 31;
      unsigned want[3] = {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
      for (int c = 0; c < 3; ++c)
        if (rgb[i * 3 + c] != want[c] && ++wrong <= 3)
          ADD_FAILURE() << path << " pixel " << i << " channel " << c
                        << ": expected " << Hex(want[c]) << ", got "
                        << Hex(rgb[i * 3 + c]);
    }
    stbi_image_free(rgb);
    unlink(path.c_str());
  }
  unsetenv("LURN_STANDIN_CAPTURE");
  EXPECT_EQ(0, rmdir(folder)) << "frames beyond every second one were kept";
}

// A frame that cannot be written leaves no file behind, overwrites nothing,
// follows no link, is said once, and stops the capture: a file size limit
// reached (as a full disk), a folder path near the system's limit, a
// folder that is a file, a link planted at the temporary name, a frame of
// that name already there.
TEST_F(StandinPresentation, AFrameThatCannotBeWrittenIsSaidOnceAndStops) {
  char base[] = "/tmp/lurn-capture-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(base));
  std::string notes = std::string(base) + "/notes.txt";
  FILE *file = fopen(notes.c_str(), "w");
  ASSERT_NE(nullptr, file);
  fputs("kept", file);
  fclose(file);
  // Padding that names the same folder: notes.txt by a path of 4,095
  // characters, the longest there is; frames in it have longer ones.
  std::string padded = base;
  if (padded.size() % 2 == 0)
    padded += "/";
  while (padded.size() + strlen("/notes.txt") < 4095)
    padded += "/.";
  padded += "/notes.txt";
  ASSERT_EQ(4095u, padded.size());
  enum Plant { kNothing, kSizeLimit, kLink, kFrame };
  const struct {
    std::string folder;
    Plant plant;
    const char *why;
  } rows[] = {{std::string(base) + "/limited", kSizeLimit, "File too large"},
              {padded, kNothing, "File name too long"},
              {notes, kNothing, "Not a directory"},
              {std::string(base) + "/linked", kLink, "File exists"},
              {std::string(base) + "/taken", kFrame, "of that name exists"}};
  signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
  for (const auto &row : rows) {
    SCOPED_TRACE(row.folder.substr(0, 60));
    if (row.plant != kNothing) {
      ASSERT_EQ(0, mkdir(row.folder.c_str(), 0700));
    }
    // The next two numbers: a window's first present may show nothing.
    std::vector<std::string> planted;
    for (unsigned long frame = FramesCounted() + 1;
         row.plant >= kLink && frame <= FramesCounted() + 2; ++frame) {
      char name[64];
      snprintf(name, sizeof name, "/frame-%06lu.png", frame);
      std::string path = row.folder + name;
      if (row.plant == kLink)
        path += "." + std::to_string(getpid()) + ".part";
      ASSERT_EQ(0, row.plant == kLink ? symlink(notes.c_str(), path.c_str())
                                      : link(notes.c_str(), path.c_str()));
      planted.push_back(path);
    }
    setenv("LURN_CAPTURE", row.folder.c_str(), 1);
    testing::internal::CaptureStderr();
    ASSERT_EQ(
        1, display.Open(window, 64, 40, 16, LurnDirectDraw::ReleaseSecondary));
    ASSERT_EQ(1, display.LockSecondaryBuffer()); // noise: no small PNG
    for (int i = 0; i < 64 * 40; ++i)
      static_cast<Uint16 *>(display.secondaryBits)[i] = Uint16(rand());
    display.UnlockSecondaryBuffer();
    struct rlimit unlimited, limited;
    getrlimit(RLIMIT_FSIZE, &unlimited);
    limited = {4096, unlimited.rlim_max}; // the soft limit: it comes back
    if (row.plant == kSizeLimit)
      setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
    setrlimit(RLIMIT_FSIZE, &unlimited);
    display.Close();
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
    EXPECT_NE(std::string::npos, said.find(row.why)) << said;
    EXPECT_GT(400u, said.size()) << "a long path said whole";
    for (const std::string &path : planted)
      unlink(path.c_str());
    if (row.plant != kNothing) {
      EXPECT_EQ(0, rmdir(row.folder.c_str())) << "a partial frame was left";
    }
  }
  signal(SIGXFSZ, SIG_DFL);
  unsetenv("LURN_CAPTURE");
  file = fopen(notes.c_str(), "r");
  char text[8] = "";
  EXPECT_NE(nullptr, fgets(text, sizeof text, file));
  fclose(file);
  EXPECT_STREQ("kept", text) << "the file in the folder's place, linked to";
  EXPECT_EQ(0, unlink(notes.c_str()));
  EXPECT_EQ(0, rmdir(base));
}

} // namespace
