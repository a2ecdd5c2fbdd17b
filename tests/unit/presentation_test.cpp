#include <algorithm>

#include "test_support.h"

namespace {

const unsigned char kFullScreen = LurnDirectDraw::FullScreen;
const unsigned char kRelease = LurnDirectDraw::ReleaseSecondary;
const unsigned char kAux = LurnDirectDraw::AuxSurface;

class Presentation : public FakePlatformTest {
protected:
  // Opens the display and forgets the set-up's calls.
  void OpenDisplay(unsigned char options) {
    ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16, options));
    fake.calls.clear();
  }
};

TEST_F(Presentation, ClearFillsTheDrawingSurfaceBlackAndTheAuxiliaryWhite) {
  OpenDisplay(kAux | kRelease);
  EXPECT_EQ(1, display.ClearSecondaryBuffer());
  ASSERT_EQ(2u, fake.Count("IDirectDrawSurface::Blt"));
  for (int i = 0; i < 2; ++i) {
    const FakeCall &fill = *fake.Find("IDirectDrawSurface::Blt", i);
    EXPECT_EQ(i == 0 ? (const void *)display.secondarySurface
                     : (const void *)display.auxSurface,
              fill.object);
    EXPECT_EQ(0u, fill.values[0]) << "whole surface";
    EXPECT_EQ(0u, fill.values[1]) << "no source";
    EXPECT_EQ(0u, fill.values[2]) << "no source rectangle";
    EXPECT_EQ(Hex(0x400), Hex(fill.values[3])) << "DDBLT_COLORFILL";
    EXPECT_EQ(sizeof(DDBLTFX), fill.values[5]);
    EXPECT_EQ(Hex(i == 0 ? 0 : 0x7FFF), Hex(fill.values[6]));
  }
}

TEST_F(Presentation, NoClearTouchesNothing) {
  OpenDisplay(LurnDirectDraw::NoClear | kAux);
  EXPECT_EQ(1, display.ClearSecondaryBuffer());
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(Presentation, BusyHardwareIsAskedAgainUntilItAnswers) {
  OpenDisplay(kRelease);
  fake.Answer("IDirectDrawSurface::Blt", DDERR_WASSTILLDRAWING, 7);
  EXPECT_EQ(1, display.ClearSecondaryBuffer());
  EXPECT_EQ(8u, fake.Count("IDirectDrawSurface::Blt"));

  SetUp();
  OpenDisplay(kFullScreen | kRelease);
  fake.Answer("IDirectDrawSurface::Flip", DDERR_WASSTILLDRAWING, 5);
  fake.Answer("IDirectDrawSurface::Flip", DDERR_SURFACELOST);
  EXPECT_EQ(0, display.UpdatePrimaryBuffer());
  EXPECT_EQ(6u, fake.Count("IDirectDrawSurface::Flip"));
  EXPECT_EQ(2u, fake.Count("IDirectDrawSurface::Restore"));
}

struct LossRow {
  const char *label;
  unsigned char options;
  const char *method; // the call that answers DDERR_SURFACELOST
  int skip;           // calls of it that succeed first
  int failingRestore; // restore that fails (1-based), 0: none
  size_t restoresExpected;
};

TEST_F(Presentation, ALostSurfaceIsRestoredAndCostsTheFrame) {
  const LossRow rows[] = {
      {"clear", kRelease, "IDirectDrawSurface::Blt", 0, 0, 2},
      {"clear with aux", kAux | kRelease, "IDirectDrawSurface::Blt", 0, 0, 3},
      {"aux clear", kAux | kRelease, "IDirectDrawSurface::Blt", 1, 0, 3},
      {"flip", kFullScreen | kRelease, "IDirectDrawSurface::Flip", 0, 0, 2},
      {"flip with aux", kFullScreen | kAux | kRelease,
       "IDirectDrawSurface::Flip", 0, 0, 3},
      {"flip, primary stays lost", kFullScreen | kAux | kRelease,
       "IDirectDrawSurface::Flip", 0, 1, 1},
      {"flip, back buffer stays lost", kFullScreen | kAux | kRelease,
       "IDirectDrawSurface::Flip", 0, 2, 2},
  };
  for (const LossRow &row : rows) {
    SCOPED_TRACE(row.label);
    SetUp();
    OpenDisplay(row.options);
    fake.Answer(row.method, DDERR_SURFACELOST, 1, row.skip);
    if (row.failingRestore != 0)
      fake.Answer("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1,
                  row.failingRestore - 1);
    int result = row.options & kFullScreen ? display.UpdatePrimaryBuffer()
                                           : display.ClearSecondaryBuffer();
    EXPECT_EQ(0, result);
    std::vector<const void *> order = {
        display.primarySurface, display.secondarySurface, display.auxSurface};
    order.resize(row.restoresExpected);
    EXPECT_EQ(order, Targets("IDirectDrawSurface::Restore"));
    EXPECT_TRUE(Boxes().empty()) << "nothing is reported";
    EXPECT_NE(nullptr, display.directDraw) << "the object stays open";
  }
}

TEST_F(Presentation, OtherFailuresReturnZeroWithoutRestoring) {
  OpenDisplay(kAux | kRelease);
  fake.Answer("IDirectDrawSurface::Blt", DDERR_INVALIDRECT);
  EXPECT_EQ(0, display.ClearSecondaryBuffer());
  EXPECT_EQ(1u, fake.Count("IDirectDrawSurface::Blt")) << "aux not filled";

  SetUp();
  OpenDisplay(kFullScreen | kRelease);
  fake.Answer("IDirectDrawSurface::Flip", DDERR_NOTFLIPPABLE);
  EXPECT_EQ(0, display.UpdatePrimaryBuffer());
  fake.Answer("IDirectDrawSurface::Flip", S_FALSE);
  EXPECT_EQ(0, display.UpdatePrimaryBuffer()) << "only exactly 0 succeeds";
  EXPECT_EQ(0u, fake.Count("IDirectDrawSurface::Restore"));
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
}

TEST_F(Presentation, WindowedPresentBlitsIntoTheClientArea) {
  OpenDisplay(kRelease);
  fake.clientRect = RECT{0, 0, 400, 300};
  fake.clientOrigin = POINT{100, 50};
  fake.Answer("IDirectDrawSurface::Blt", DDERR_SURFACELOST);
  EXPECT_EQ(0, display.UpdatePrimaryBuffer()) << "a lost primary costs it";
  const FakeCall *blit = fake.Find("IDirectDrawSurface::Blt");
  ASSERT_NE(nullptr, blit);
  EXPECT_EQ(display.primarySurface, blit->object);
  const RECT &to = blit->As<RECT>();
  EXPECT_EQ(100, to.left);
  EXPECT_EQ(50, to.top);
  EXPECT_EQ(500, to.right);
  EXPECT_EQ(350, to.bottom);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(display.secondarySurface),
            blit->values[1]);
  EXPECT_EQ(Hex(0x10), Hex(blit->values[3]));
  EXPECT_EQ(0u, blit->values[4]) << "no effects record";
  const FakeCall *source = fake.Find("SetRect");
  ASSERT_NE(nullptr, source);
  EXPECT_EQ((std::vector<uintptr_t>{source->values[0], 0, 0, 320, 200}),
            source->values);
  EXPECT_EQ(source->values[0], blit->values[2]) << "the SetRect rectangle";
  EXPECT_EQ(0u, fake.Find("ClientToScreen")->values[1]) << "from point 0, 0";
  EXPECT_EQ((std::vector<const void *>{display.primarySurface,
                                       display.secondarySurface}),
            Targets("IDirectDrawSurface::Restore"))
      << "a primary lost to a mode change comes back for the next frame";

  // Other blit failures restore nothing and are failures too; a window
  // without a client area (destroyed, or never one) gets no blit at all.
  fake.calls.clear();
  fake.Answer("IDirectDrawSurface::Blt", DDERR_INVALIDRECT);
  EXPECT_EQ(0, display.UpdatePrimaryBuffer());
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  fake.Answer("GetClientRect", E_FAIL);
  EXPECT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ(2u, fake.Count("IDirectDrawSurface::Blt"));
  EXPECT_EQ(3u, fake.Count("GetClientRect"));
  EXPECT_EQ(0u, fake.Count("IDirectDrawSurface::Restore"));
  EXPECT_TRUE(Boxes().empty());
}

// Keeping a 32-bit desktop, a 5-6-5 picture is converted into surfaces of
// the desktop's format at the client area's size, made once, and blitted
// 1:1; a lost primary is restored and the surfaces made anew; Close lets
// go of them.
TEST_F(Presentation, KeepingTheDesktopConvertsIntoSurfacesOfItsFormat) {
  SetDisplayFormat(32, 0xFF0000, 0xFF00, 0xFF);
  fake.clientOrigin = POINT{100, 50};
  // The route through DirectDraw's blit (Windows shows through GDI unless
  // told otherwise).
#if defined(_WIN32)
  _putenv_s("LURN_PRESENT", "directdraw");
#else
  setenv("LURN_PRESENT", "directdraw", 1);
#endif
  OpenDisplay(kRelease | LurnDirectDraw::KeepDesktop);
#if defined(_WIN32)
  _putenv_s("LURN_PRESENT", "");
#else
  unsetenv("LURN_PRESENT");
#endif
  ASSERT_EQ(1, display.LockSecondaryBuffer());
  static_cast<uint16_t *>(display.secondaryBits)[0] = 0xF81F; // magenta
  display.UnlockSecondaryBuffer();
  fake.Answer("IDirectDrawSurface::Blt", DDERR_SURFACELOST, 1, 2);
  for (int frame = 0; frame < 4; ++frame) {
    EXPECT_EQ(frame == 2 ? 0 : 1, display.UpdatePrimaryBuffer())
        << "a lost primary costs its frame";
    const FakeCall &blit = *fake.Find("IDirectDrawSurface::Blt", frame);
    const RECT &to = blit.As<RECT>();
    // The 640 x 480 client area at (100, 50) runs past the 640 x 480
    // screen: the part on it, 1:1.
    EXPECT_EQ("100 50 640 480",
              std::to_string(to.left) + " " + std::to_string(to.top) + " " +
                  std::to_string(to.right) + " " + std::to_string(to.bottom));
    ASSERT_EQ(11u, blit.values.size()) << "a source rectangle";
    EXPECT_EQ(
        (std::vector<uintptr_t>{0, 0, 540, 430}),
        std::vector<uintptr_t>(blit.values.begin() + 7, blit.values.end()));
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    auto *converted = reinterpret_cast<IDirectDrawSurface *>(blit.values[1]);
    ASSERT_EQ(DD_OK, converted->Lock(NULL, &desc, 0, NULL));
    EXPECT_EQ(Hex(0xFF00FF), Hex(*static_cast<uint32_t *>(desc.lpSurface)))
        << "frame " << frame << ", pitch " << desc.lPitch;
  }
  std::vector<std::string> made; // the desktop's format, no other asked
  for (size_t i = 0; fake.Find("IDirectDraw::CreateSurface", i); ++i)
    made.push_back(Hex(fake.Find("IDirectDraw::CreateSurface", i)
                           ->As<DDSURFACEDESC>()
                           .dwFlags));
  EXPECT_EQ(
      std::vector<std::string>(4, Hex(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT)),
      made)
      << "two made once, two after the lost third frame";
  EXPECT_EQ(std::vector<const void *>{display.primarySurface},
            Targets("IDirectDrawSurface::Restore"));
  display.Close();
  EXPECT_EQ(0, fake.LiveReferences());
}

// Keeping the desktop through DirectDraw's blit, a frame the platform
// would not let the library convert is not shown and answers 0, as on
// every route; a window with no client area has nothing to show: 1.
TEST_F(Presentation, AConvertedFrameThatCannotBeShownAnswersZero) {
  SetDisplayFormat(32, 0xFF0000, 0xFF00, 0xFF);
  SetVariable("LURN_PRESENT", "directdraw");
  OpenDisplay(kRelease | LurnDirectDraw::KeepDesktop);
  SetVariable("LURN_PRESENT", "");
  const struct {
    const char *what, *failing; // the call scripted to fail, if any
    bool onDrawing;             // on the drawing surface only
    RECT client;
    int answer;
  } rows[] = {
      {"no conversion surface", "IDirectDraw::CreateSurface", false,
       RECT{0, 0, 640, 480}, 0},
      {"the drawing surface will not lock", "IDirectDrawSurface::Lock", true,
       RECT{0, 0, 640, 480}, 0},
      {"a minimised window", NULL, false, RECT{0, 0, 0, 0}, 1},
  };
  for (const auto &row : rows) {
    fake.calls.clear();
    fake.clientRect = row.client;
    if (row.failing != NULL)
      fake.Answer(row.failing, DDERR_GENERIC, 1, 0,
                  row.onDrawing ? display.secondarySurface : NULL);
    EXPECT_EQ(row.answer, display.UpdatePrimaryBuffer()) << row.what;
    EXPECT_EQ(nullptr, fake.Find("IDirectDrawSurface::Blt")) << row.what;
  }
}

// A 320 x 200 picture shown twice as large in a window of the 640 x 480
// primary: only what lies on the screen is blitted, from the part of the
// picture that shows there.
TEST_F(Presentation, AWindowPartlyOffTheScreenShowsItsVisiblePart) {
  struct Row {
    const char *label;
    POINT origin;
    RECT to, from; // expected; an empty `to`: no blit
  } rows[] = {
      {"on the screen", {0, 0}, {0, 0, 640, 400}, {0, 0, 320, 200}},
      {"past the right", {400, 0}, {400, 0, 640, 400}, {0, 0, 120, 200}},
      {"past the bottom", {0, 300}, {0, 300, 640, 480}, {0, 0, 320, 90}},
      {"past the left, by an odd count",
       {-101, 10},
       {0, 10, 539, 410},
       {50, 0, 320, 200}},
      {"past the top and the right",
       {601, -399},
       {601, 0, 640, 1},
       {0, 199, 20, 200}},
      {"all off the screen", {640, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  OpenDisplay(kRelease);
  fake.clientRect = RECT{0, 0, 640, 400};
  for (const Row &row : rows) {
    SCOPED_TRACE(row.label);
    fake.calls.clear();
    fake.clientOrigin = row.origin;
    EXPECT_EQ(1, display.UpdatePrimaryBuffer());
    const FakeCall *blit = fake.Find("IDirectDrawSurface::Blt");
    if (row.to.right == 0) {
      EXPECT_EQ(nullptr, blit) << "nothing shows, nothing is blitted";
      continue;
    }
    ASSERT_NE(nullptr, blit);
    const RECT &to = blit->As<RECT>();
    EXPECT_EQ((std::vector<LONG>{row.to.left, row.to.top, row.to.right,
                                 row.to.bottom}),
              (std::vector<LONG>{to.left, to.top, to.right, to.bottom}));
    ASSERT_EQ(11u, blit->values.size()) << "a source rectangle";
    EXPECT_EQ(
        (std::vector<uintptr_t>{
            uintptr_t(row.from.left), uintptr_t(row.from.top),
            uintptr_t(row.from.right), uintptr_t(row.from.bottom)}),
        std::vector<uintptr_t>(blit->values.begin() + 7, blit->values.end()));
  }
}

TEST_F(Presentation, RestoreStopsAtTheFirstFailure) {
  OpenDisplay(kAux | kRelease);
  EXPECT_EQ(1, display.RestoreSurfaces());
  EXPECT_EQ(3u, fake.Count("IDirectDrawSurface::Restore"));
  fake.calls.clear();
  fake.Answer("IDirectDrawSurface::Restore", DDERR_WRONGMODE);
  EXPECT_EQ(0, display.RestoreSurfaces());
  EXPECT_EQ(std::vector<const void *>{display.primarySurface},
            Targets("IDirectDrawSurface::Restore"));
  fake.calls.clear();
  fake.Answer("IDirectDrawSurface::Restore", S_FALSE, 1, 2);
  EXPECT_EQ(0, display.RestoreSurfaces()) << "the auxiliary restore failed";
}

struct LockRow {
  const char *label;
  bool address; // the lock gives the surface's memory, else `bits`
  uintptr_t bits;
  LONG pitch;
  unsigned long failure; // the lock's own answer
  int expected;
  int pitchPixels; // expected after the lock, -1: unchanged
  const char *box; // "" for none
};

TEST_F(Presentation, LockStoresTheAddressAndPitchOrClosesAndReports) {
  const LockRow rows[] = {
      {"640-byte pitch", true, 0, 640, 0, 1, 320, ""},
      {"pitch over 64 KiB", true, 0, 0x10200, 0, 1, 0x8100, ""},
      {"pitch of 65535 pixels", true, 0, 0x1FFFE, 0, 1, 0xFFFF, ""},
      {"pitch too long to count", true, 0, 0x20000, 0, 0, -1, "<Inconnue>"},
      {"null address", false, 0, 640, 0, 0, -1, "<Inconnue>"},
      {"debug fill address", false, 0xCDCDCDCD, 640, 0, 0, -1, "<Inconnue>"},
      {"lock refused", true, 0, 640, 0x887601AE, 0, -1, "DDERR_SURFACEBUSY"},
      {"lock answering S_FALSE", true, 0, 640, 1, 0, -1, "<Inconnue>"},
  };
  for (const LockRow &row : rows) {
    SCOPED_TRACE(row.label);
    SetUp();
    OpenDisplay(kFullScreen | kRelease);
    display.pitchPixels = 7;
    static uint16_t pixels[64];
    void *bits = row.address ? static_cast<void *>(pixels)
                             : reinterpret_cast<void *>(row.bits);
    fake.lockAnswers.push_back(LockAnswer{bits, row.pitch});
    if (row.failure != 0)
      fake.Answer("IDirectDrawSurface::Lock",
                  static_cast<HRESULT>(row.failure));
    EXPECT_EQ(row.expected, display.LockSecondaryBuffer());
    EXPECT_EQ(row.pitchPixels < 0 ? 7 : row.pitchPixels, display.pitchPixels);
    std::vector<std::string> boxes = Boxes();
    EXPECT_EQ(row.box, boxes.empty() ? "" : boxes[0]);
    EXPECT_LE(boxes.size(), 1u);
    if (row.expected == 1) {
      EXPECT_EQ(bits, display.secondaryBits);
      EXPECT_EQ(
          sizeof(DDSURFACEDESC),
          fake.Find("IDirectDrawSurface::Lock")->As<DDSURFACEDESC>().dwSize);
      EXPECT_EQ(Hex(DDLOCK_WAIT),
                Hex(fake.Find("IDirectDrawSurface::Lock")->values[1]));
    } else {
      EXPECT_EQ("", OpenFields()) << "a failed lock closes the object";
      EXPECT_EQ(0, fake.LiveReferences());
      EXPECT_EQ("MessageBoxA", fake.Names().back()) << "closed, then reported";
    }
  }
}

TEST_F(Presentation, ALostDrawingSurfaceAtTheLockCostsOnlyTheFrame) {
  OpenDisplay(kFullScreen | kAux | kRelease);
  fake.Answer("IDirectDrawSurface::Lock", DDERR_SURFACELOST);
  fake.Answer("IDirectDrawSurface::Restore", DDERR_WRONGMODE, 1, 1);
  EXPECT_EQ(0, display.LockSecondaryBuffer());
  EXPECT_TRUE(Boxes().empty()) << "a lost surface is no error to show";
  EXPECT_EQ((std::vector<const void *>{display.primarySurface,
                                       display.secondarySurface}),
            Targets("IDirectDrawSurface::Restore"));
  EXPECT_NE(nullptr, display.directDraw) << "the display stays open";
  EXPECT_EQ(1, display.LockSecondaryBuffer()) << "the next frame draws";
}

TEST_F(Presentation, AnAuxiliaryLockFailureKeepsTheDrawingAddress) {
  OpenDisplay(kAux | kRelease);
  static uint16_t pixels[64];
  fake.lockAnswers.push_back(LockAnswer{pixels, 1280});
  fake.lockAnswers.push_back(LockAnswer{NULL, 640});
  EXPECT_EQ(0, display.LockSecondaryBuffer());
  EXPECT_EQ(pixels, display.secondaryBits);
  EXPECT_EQ(640, display.pitchPixels);
  EXPECT_EQ(nullptr, display.auxBits);
  EXPECT_EQ(std::vector<std::string>{"<Inconnue>"}, Boxes());
  EXPECT_EQ("", OpenFields());
}

TEST_F(Presentation, UnlockReleasesBothSurfaces) {
  OpenDisplay(kAux | kRelease);
  display.UnlockSecondaryBuffer();
  EXPECT_EQ(
      (std::vector<const void *>{display.secondarySurface, display.auxSurface}),
      Targets("IDirectDrawSurface::Unlock"));
  EXPECT_EQ(0u, fake.Find("IDirectDrawSurface::Unlock")->values[0]);
}

TEST_F(Presentation, AClosedObjectAnswersFailureWithoutCalls) {
  // A failed lock closes the object in the middle of the client's frame;
  // the rest of the frame must not reach a missing interface.
  OpenDisplay(kFullScreen | kAux | kRelease | LurnDirectDraw::NoClear);
  fake.Answer("IDirectDrawSurface::Lock", DDERR_SURFACEBUSY);
  EXPECT_EQ(0, display.LockSecondaryBuffer());
  fake.calls.clear();
  display.UnlockSecondaryBuffer();
  EXPECT_EQ(0, display.UpdatePrimaryBuffer());
  EXPECT_EQ(0, display.ClearSecondaryBuffer());
  EXPECT_EQ(0, display.RestoreSurfaces());
  EXPECT_EQ(0, display.LockSecondaryBuffer());
  EXPECT_TRUE(fake.calls.empty());

  LurnDirectDraw never;
  memset(&never, 0, sizeof never);
  never.flags = kAux;
  never.UnlockSecondaryBuffer();
  EXPECT_EQ(0, never.UpdatePrimaryBuffer());
  EXPECT_EQ(0, never.ClearSecondaryBuffer());
  EXPECT_EQ(0, never.RestoreSurfaces());
  EXPECT_EQ(0, never.LockSecondaryBuffer());
  EXPECT_TRUE(fake.calls.empty());
}

// "result x y" of a call.
std::string Cursor(LurnDirectDraw &record, LurnLong *x, LurnLong *y) {
  int result = record.GetCursorPosition(x, y);
  return std::to_string(result) + " " + (x ? std::to_string(*x) : "-") + " " +
         (y ? std::to_string(*y) : "-");
}

// The pointer through where the last present put the picture (320 x 200):
// the client area at 2x (at 10, 20 on the screen), the full screen's mode.
// Without an answer (no pointer, the window gone, the display closed) x and
// y stay as they were.
TEST_F(Presentation, CursorPositionIsThePixelThePresentShowsUnderThePointer) {
  OpenDisplay(kRelease);
  fake.clientRect = RECT{0, 0, 640, 400};
  fake.clientOrigin = POINT{10, 20};
  fake.cursor = POINT{331, 221};
  LurnLong x = 77, y = 77;
  EXPECT_EQ("0 0 0", Cursor(display, &x, &y)) << "nothing presented yet";
  ASSERT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ("1 - 100", Cursor(display, NULL, &y));
  EXPECT_EQ("1 160 -", Cursor(display, &x, NULL));
  y = x = 77;
  fake.Answer("GetCursorPos", E_FAIL);
  EXPECT_EQ("0 77 77", Cursor(display, &x, &y)) << "no pointer to read";
  fake.deadWindows.insert(static_cast<HWND>(TestWindow()));
  EXPECT_EQ("0 77 77", Cursor(display, &x, &y)) << "a destroyed window";
  display.Close();
  EXPECT_EQ("0 77 77", Cursor(display, &x, &y)) << "a closed display";

  SetUp();
  OpenDisplay(kFullScreen);
  fake.cursor = POINT{319, 0};
  ASSERT_EQ(1, display.UpdatePrimaryBuffer());
  EXPECT_EQ("1 319 0", Cursor(display, &x, &y)) << "the screen is the mode";
}

#if defined(_WIN32)
// Keeping the desktop through GDI (the default), the drawing and auxiliary
// surfaces keep their pixels in the library's memory when the platform takes
// it for both: the frame's clear, lock and unlock then make no DirectDraw
// call, until the client asks for an interface and may draw with
// DirectDraw itself. Each row: which SetSurfaceDesc the platform refuses,
// whether a getter was called, and whether the frames use the own memory.
TEST_F(Presentation, OwnMemoryFramesMakeNoCallUntilAGetterOrARefusal) {
  const struct {
    const char *what;
    int refused; // 0 none, 1 the drawing surface's, 2 the auxiliary one's
    bool getter;
    bool own;
  } rows[] = {
      {"both taken", 0, false, true},
      {"both taken, then GetRenderSurface", 0, true, false},
      {"the drawing surface refused", 1, false, false},
      {"the auxiliary surface refused: both through DirectDraw", 2, false,
       false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.what);
    SetUp();
    fake.laterSurfaces = true;
    if (row.refused != 0)
      fake.Answer("IDirectDrawSurface3::SetSurfaceDesc", DDERR_INVALIDPARAMS, 1,
                  row.refused - 1);
    ASSERT_EQ(1, display.Open(TestWindow(), 320, 200, 16,
                              kAux | kRelease | LurnDirectDraw::KeepDesktop));
    EXPECT_EQ(row.refused == 0 ? 2u : size_t(row.refused),
              fake.Count("IDirectDrawSurface3::SetSurfaceDesc"));
    EXPECT_EQ(row.refused != 0 ? 1u : 0u,
              fake.Count("IDirectDrawSurface4::FreePrivateData"))
        << "the memory of a refusal taken back";
    if (row.getter) {
      EXPECT_EQ(display.secondarySurface, display.GetRenderSurface());
    }
    // Old pixels everywhere, then the frame of a game.
    unsigned short *drawing =
        static_cast<unsigned short *>(display.secondaryBits);
    unsigned short *aux = static_cast<unsigned short *>(display.auxBits);
    ASSERT_NE(nullptr, drawing);
    ASSERT_NE(nullptr, aux);
    size_t pixels = size_t(display.pitchPixels) * display.height;
    std::fill(drawing, drawing + pixels, 0x1234);
    std::fill(aux, aux + size_t(display.width), 0x1234);
    fake.calls.clear();
    EXPECT_EQ(1, display.ClearSecondaryBuffer());
    EXPECT_EQ(1, display.LockSecondaryBuffer());
    display.UnlockSecondaryBuffer();
    if (row.own) {
      EXPECT_TRUE(fake.calls.empty())
          << "first call: " << fake.calls.front().name;
      EXPECT_EQ(drawing, display.secondaryBits) << "the library's memory";
      EXPECT_EQ(pixels, size_t(std::count(drawing, drawing + pixels, 0)))
          << "cleared whole, pitch included";
      EXPECT_EQ(Hex(0x7FFF), Hex(aux[0]));
      EXPECT_EQ(Hex(0x7FFF), Hex(aux[display.width - 1]));
    } else {
      EXPECT_EQ(2u, fake.Count("IDirectDrawSurface::Blt")) << "the fills";
      EXPECT_EQ(2u, fake.Count("IDirectDrawSurface::Lock"));
      EXPECT_EQ(2u, fake.Count("IDirectDrawSurface::Unlock"));
    }
    display.Close();
    EXPECT_EQ(0, fake.LiveReferences());
  }
}
#endif

} // namespace
