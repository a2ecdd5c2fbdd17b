// What the present of a display that keeps the desktop costs under Wine,
// on a 32-bit desktop (a 24-bit X screen), with a 640x480 16-bit picture:
// windowed into a 1280x960 client area, or with --fullscreen on a window
// covering the screen. Timed by turns in one run:
//   - UpdatePrimaryBuffer through GDI (LURN_PRESENT=gdi, the default),
//   - UpdatePrimaryBuffer through DirectDraw's blit (LURN_PRESENT=directdraw),
//   - a memcpy of the client area's 32-bit pixels, the floor of any present;
// each route on a window of its own, opened in turn (two DirectDraw objects
// on one window upset Wine's X11 driver). Then the library's kernels alone,
// memory to memory, back to back, beside the native figure of the same
// geometry when --native-kernels MS gives it; and, windowed, GDI's ways of
// showing a 32-bit picture (SetDIBitsToDevice from plain memory whole or in
// ten bands, BitBlt from a DIB section: one call, as the present makes),
// beside the route without the kernels (StretchDIBits of a half-size 5-6-5
// picture), by turns on seven windows side by side with
// none, some or all of what a display puts on its window. With --check exits 1
// when the GDI present takes more than 3 memcpys or a quarter of the DirectDraw
// present, or the kernels more than 1.5 times their native time.
#include <ddraw.h>
#include <lurn.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "kernel_time.h"
#include "wine_window.h"

namespace {

const int kPictureWidth = 640, kPictureHeight = 480;
const int kClientWidth = 1280, kClientHeight = 960;
const int kStudyWidth = 512, kStudyHeight = 352;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// Wine's DirectDraw hands blits to a thread of its own and returns before
// they are done; a lock waits until that thread has done everything handed
// to it before. Each timed present through DirectDraw ends with one, and
// every present with the message pump a game runs, where Wine puts GDI's
// drawing on the X screen. (The GDI present hands DirectDraw nothing: a
// lock there would time only the waking of DirectDraw's idle thread.)
struct Fence {
  IDirectDrawSurface *surface = NULL;
  bool Open(IDirectDraw *directDraw, bool locks) {
    if (!locks)
      return true;
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = desc.dwHeight = 1;
    return directDraw->CreateSurface(&desc, &surface, NULL) == DD_OK;
  }
  void Wait() {
    PumpMessages();
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (surface != NULL && surface->Lock(NULL, &desc, DDLOCK_WAIT, NULL) == 0)
      surface->Unlock(NULL);
  }
  void Close() {
    if (surface != NULL)
      surface->Release();
    surface = NULL;
  }
};

bool DrawPicture(LurnDirectDraw &display) {
  if (!display.LockSecondaryBuffer())
    return false;
  unsigned short *line = static_cast<unsigned short *>(display.secondaryBits);
  for (int y = 0; y < kPictureHeight; ++y, line += display.pitchPixels)
    for (int x = 0; x < kPictureWidth; ++x)
      line[x] = static_cast<unsigned short>(x * 97 ^ y * 131);
  display.UnlockSecondaryBuffer();
  return true;
}

struct Copy {
  std::vector<unsigned char> from, to;
  void Run() { memcpy(to.data(), from.data(), to.size()); }
};

struct RouteTimes {
  double present, copy, kernels; // medians, ms
  double fastPresent;            // the fastest tenth's bound, ms
};

// The value a tenth of the times lie below: on a busy machine, nearer what
// the present costs when nothing else runs than the median.
double FastestTenth(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 10];
}

// One route's presents, memcpys and the kernels alone by turns, the order
// rotating. Fills the medians; false when the display would not open.
bool TimeRoute(const char *route, bool fullScreen, int rounds,
               RouteTimes &times, int &width, int &height) {
  char setting[64];
  snprintf(setting, sizeof setting, "LURN_PRESENT=%s", route);
  _putenv(setting);
  HWND window = MakeWindow(route, kClientWidth, kClientHeight);
  PumpMessages();
  static LurnDirectDraw display;
  Fence fence;
  if (!OpenKeepingDesktop(display, window, kPictureWidth, kPictureHeight,
                          fullScreen) ||
      !DrawPicture(display) ||
      !fence.Open(display.directDraw, strcmp(route, "directdraw") == 0)) {
    fprintf(stderr, "the display did not open with KeepDesktop (%s)\n", route);
    fence.Close();
    display.Close();
    DestroyWindow(window);
    return false;
  }
  PumpMessages();
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  width = client.right;
  height = client.bottom;
  Copy bytes;
  bytes.from.assign(size_t(width) * height * 4, 1);
  bytes.to.assign(bytes.from.size(), 0);
  KernelsAlone kernels(
      KernelGeometry{kPictureWidth, kPictureHeight, width, height, fullScreen});
  // The first turns fill caches and the library's own memory: untimed.
  for (int i = 0; i < 10; ++i) {
    display.UpdatePrimaryBuffer();
    fence.Wait();
    bytes.Run();
    kernels.Run();
  }
  std::vector<double> spent[3];
  LARGE_INTEGER start, end;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 3; ++turn) {
      int what = (round + turn) % 3;
      QueryPerformanceCounter(&start);
      if (what == 0) {
        display.UpdatePrimaryBuffer();
        fence.Wait();
      } else if (what == 1) {
        bytes.Run();
      } else {
        kernels.Run();
      }
      QueryPerformanceCounter(&end);
      spent[what].push_back(Milliseconds(start, end));
    }
  }
  fence.Close();
  display.Close();
  DestroyWindow(window);
  PumpMessages();
  times = RouteTimes{MedianOf(spent[0]), MedianOf(spent[1]), MedianOf(spent[2]),
                     FastestTenth(spent[0])};
  return true;
}

// GDI's two ways of showing a 32-bit picture, on a window of its own that
// has none, some or all of a display's DirectDraw objects on it.
enum Stage {
  kNoDirectDraw,
  kNormalLevel,
  kPrimary,
  kClipper,
  kBlitted,
  kLevelForNoWindow,
  kAttachedUnbound
};
const char *const kStages[] = {"no DirectDraw on the window",
                               "a DirectDraw object at normal level",
                               "and a primary surface",
                               "and a clipper on the window",
                               "after DirectDraw blitted to it",
                               "the level for no window, a lock",
                               "and the clipper attached, then bound"};

struct GdiStudy {
  HWND window = NULL;
  IDirectDraw *directDraw = NULL;
  IDirectDrawSurface *primary = NULL, *picture = NULL;
  IDirectDrawClipper *clipper = NULL;
  std::vector<uint32_t> pixels;
  BITMAPINFO info;
  // The other route: a half-size 5-6-5 picture that GDI converts and
  // stretches itself, with none of the library's kernels.
  std::vector<uint16_t> small;
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } smallInfo;
  HDC memory = NULL;
  HBITMAP section = NULL;
  HGDIOBJ old = NULL;

  bool Open(Stage stage) {
    window = MakeWindow(kStages[stage], kStudyWidth, kStudyHeight);
    // Side by side, none covering another.
    SetWindowPos(window, NULL, stage % 3 * (kStudyWidth + 16),
                 stage / 3 * (kStudyHeight + 40), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    PumpMessages();
    pixels.resize(size_t(kStudyWidth) * kStudyHeight);
    for (size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = uint32_t(i * 2654435761u);
    info = TopDownPicture(kStudyWidth, kStudyHeight);
    small.resize(size_t(kStudyWidth / 2) * (kStudyHeight / 2));
    for (size_t i = 0; i < small.size(); ++i)
      small[i] = uint16_t(i * 40503u);
    memset(&smallInfo, 0, sizeof smallInfo);
    smallInfo.header = info.bmiHeader;
    smallInfo.header.biWidth = kStudyWidth / 2;
    smallInfo.header.biHeight = -(kStudyHeight / 2);
    smallInfo.header.biBitCount = 16;
    smallInfo.header.biCompression = BI_BITFIELDS;
    smallInfo.masks[0] = 0xF800;
    smallInfo.masks[1] = 0x07E0;
    smallInfo.masks[2] = 0x001F;
    void *bits = NULL;
    section = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (section == NULL)
      return false;
    memcpy(bits, pixels.data(), pixels.size() * 4);
    memory = CreateCompatibleDC(NULL);
    old = SelectObject(memory, section);
    if (stage == kNoDirectDraw)
      return true;
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
    if (DirectDrawCreate(NULL, &directDraw, NULL) != DD_OK ||
        directDraw->SetCooperativeLevel(
            stage >= kLevelForNoWindow ? NULL : window, DDSCL_NORMAL) != DD_OK)
      return false;
    if (stage == kNormalLevel)
      return true;
    if (directDraw->CreateSurface(&desc, &primary, NULL) != DD_OK)
      return false;
    if (stage == kPrimary)
      return true;
    // Wine moves its rendering onto the clipper's window as the clipper is
    // attached, and does so at its next drawing work (a lock will do).
    bool attachFirst = stage == kAttachedUnbound;
    if (directDraw->CreateClipper(0, &clipper, NULL) != DD_OK ||
        (attachFirst && primary->SetClipper(clipper) != DD_OK) ||
        clipper->SetHWnd(0, window) != DD_OK ||
        (!attachFirst && primary->SetClipper(clipper) != DD_OK))
      return false;
    if (stage == kClipper)
      return true;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = kStudyWidth;
    desc.dwHeight = kStudyHeight;
    if (directDraw->CreateSurface(&desc, &picture, NULL) != DD_OK)
      return false;
    if (stage != kBlitted) {
      memset(&desc, 0, sizeof desc);
      desc.dwSize = sizeof desc;
      if (picture->Lock(NULL, &desc, DDLOCK_WAIT, NULL) != DD_OK)
        return false;
      picture->Unlock(NULL);
      return true;
    }
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    RECT to = {origin.x, origin.y, origin.x + kStudyWidth,
               origin.y + kStudyHeight};
    for (int i = 0; i < 3; ++i)
      primary->Blt(&to, picture, NULL, DDBLT_WAIT, NULL);
    return true;
  }

  void ShowByDIBits() {
    HDC context = GetDC(window);
    SetDIBitsToDevice(context, 0, 0, kStudyWidth, kStudyHeight, 0, 0, 0,
                      kStudyHeight, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(window, context);
    PumpMessages();
  }

  void ShowByStretch() {
    HDC context = GetDC(window);
    SetStretchBltMode(context, COLORONCOLOR); // nearest pixel, as the kernels
    StretchDIBits(context, 0, 0, kStudyWidth, kStudyHeight, 0, 0,
                  kStudyWidth / 2, kStudyHeight / 2, small.data(),
                  reinterpret_cast<const BITMAPINFO *>(&smallInfo),
                  DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, context);
    PumpMessages();
  }

  // The picture in bands of a tenth, a SetDIBitsToDevice each, as a
  // present that shows each band while it is in the cache would.
  void ShowInBands() {
    HDC context = GetDC(window);
    const int lines = kStudyHeight / 10;
    BITMAPINFO band = info;
    band.bmiHeader.biHeight = -lines;
    for (int top = 0; top < kStudyHeight; top += lines)
      SetDIBitsToDevice(context, 0, top, kStudyWidth, lines, 0, 0, 0, lines,
                        &pixels[size_t(top) * kStudyWidth], &band,
                        DIB_RGB_COLORS);
    ReleaseDC(window, context);
    PumpMessages();
  }

  void ShowBySection() {
    HDC context = GetDC(window);
    BitBlt(context, 0, 0, kStudyWidth, kStudyHeight, memory, 0, 0, SRCCOPY);
    ReleaseDC(window, context);
    PumpMessages();
  }

  void Close() {
    if (memory != NULL) {
      SelectObject(memory, old);
      DeleteDC(memory);
    }
    if (section != NULL)
      DeleteObject(section);
    memory = NULL;
    section = NULL;
    if (picture != NULL)
      picture->Release();
    if (clipper != NULL)
      clipper->Release();
    if (primary != NULL)
      primary->Release();
    if (directDraw != NULL)
      directDraw->Release();
    picture = primary = NULL;
    clipper = NULL;
    directDraw = NULL;
    DestroyWindow(window);
    PumpMessages();
  }
};

void StudyGdi(int rounds) {
  printf("GDI showing a %dx%d 32-bit picture on windows of that client area"
         " side by side, by turns, median ms (565 stretch: GDI converting"
         " and doubling a %dx%d 5-6-5 one itself; 10 bands: a SetDIBits a"
         " tenth):\n  %-40s %12s %12s %14s %10s\n",
         kStudyWidth, kStudyHeight, kStudyWidth / 2, kStudyHeight / 2, "",
         "SetDIBits", "DIB BitBlt", "565 stretch", "10 bands");
  const int kStageCount = kAttachedUnbound + 1;
  GdiStudy studies[kStageCount];
  bool opened[kStageCount];
  for (int stage = 0; stage < kStageCount; ++stage) {
    opened[stage] = studies[stage].Open(Stage(stage));
    for (int i = 0; opened[stage] && i < 5; ++i) {
      studies[stage].ShowByDIBits();
      studies[stage].ShowBySection();
      studies[stage].ShowByStretch();
      studies[stage].ShowInBands();
    }
  }
  const int kWays = 4;
  std::vector<double> times[kStageCount][kWays];
  LARGE_INTEGER start, end;
  for (int round = 0; round < rounds; ++round)
    for (int turn = 0; turn < kWays * kStageCount; ++turn) {
      int which = (round + turn) % (kWays * kStageCount);
      int stage = which / kWays, way = which % kWays;
      if (!opened[stage])
        continue;
      QueryPerformanceCounter(&start);
      if (way == 0)
        studies[stage].ShowByDIBits();
      else if (way == 1)
        studies[stage].ShowBySection();
      else if (way == 2)
        studies[stage].ShowByStretch();
      else
        studies[stage].ShowInBands();
      QueryPerformanceCounter(&end);
      times[stage][way].push_back(Milliseconds(start, end));
    }
  for (int stage = 0; stage < kStageCount; ++stage) {
    studies[stage].Close();
    if (opened[stage])
      printf("  %-40s %12.3f %12.3f %14.3f %10.3f\n", kStages[stage],
             MedianOf(times[stage][0]), MedianOf(times[stage][1]),
             MedianOf(times[stage][2]), MedianOf(times[stage][3]));
    else
      printf("  %-40s could not be set up\n", kStages[stage]);
  }
}

bool Check(bool check, const char *what, double ratio, double most) {
  bool missed = ratio > most;
  printf("  %-44s %6.2f (at most %.2f)%s\n", what, ratio, most,
         check && missed ? ": MISSED" : "");
  return check && missed;
}

} // namespace

int main(int argc, char **argv) {
  bool check = false, fullScreen = false, study = true, onlyStudy = false;
  int rounds = 200;
  double native = 0;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--check") == 0)
      check = true;
    else if (strcmp(argv[i], "--fullscreen") == 0)
      fullScreen = true;
    else if (strcmp(argv[i], "--no-study") == 0)
      study = false;
    else if (strcmp(argv[i], "--only-study") == 0)
      onlyStudy = true;
    else if (strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
      rounds = atoi(argv[++i]);
    else if (strcmp(argv[i], "--native-kernels") == 0 && i + 1 < argc)
      native = atof(argv[++i]);
    else {
      fprintf(stderr,
              "usage: %s [--check] [--fullscreen] [--no-study] [--rounds N]"
              " [--native-kernels MS] [--only-study]\n",
              argv[0]);
      return 2;
    }
  }
  if (rounds < 1) {
    fprintf(stderr, "--rounds wants a count above 0\n");
    return 2;
  }
  if (onlyStudy) {
    StudyGdi(rounds);
    return 0;
  }
  // Unpaced: the full-screen present would wait for the refresh.
  _putenv("LURN_VSYNC=0");

  RouteTimes byGdi, byDirectDraw;
  int width = 0, height = 0;
  if (!TimeRoute("gdi", fullScreen, rounds, byGdi, width, height) ||
      !TimeRoute("directdraw", fullScreen, rounds, byDirectDraw, width, height))
    return 1;
  double gdi = byGdi.present, directDraw = byDirectDraw.present;
  double copy = (byGdi.copy + byDirectDraw.copy) / 2;
  KernelGeometry geometry = {kPictureWidth, kPictureHeight, width, height,
                             fullScreen};
  double kernels = KernelMilliseconds(geometry, rounds);

  printf("%dx%d 16-bit into a %dx%d %s keeping the desktop, %d rounds,"
         " kernels: %s\n",
         kPictureWidth, kPictureHeight, width, height,
         fullScreen ? "full screen" : "window", rounds, PresentKernels());
  printf("  %-44s median %7.3f ms (fastest tenth below %.3f)\n",
         "UpdatePrimaryBuffer through GDI", gdi, byGdi.fastPresent);
  printf("  %-44s median %7.3f ms (fastest tenth below %.3f)\n",
         "UpdatePrimaryBuffer through DirectDraw", directDraw,
         byDirectDraw.fastPresent);
  printf("  %-44s median %7.3f ms (%.1f MB)\n", "memcpy of the output", copy,
         width * height * 4 / 1e6);
  printf("  %-44s median %7.3f ms\n", "the kernels alone, memory to memory",
         kernels);
  printf("  %-44s median %7.3f ms\n", "  by turns with the GDI present",
         byGdi.kernels);
  printf("  %-44s median %7.3f ms\n", "  by turns with the DirectDraw present",
         byDirectDraw.kernels);
  if (native > 0)
    printf("  %-44s median %7.3f ms\n", "the same kernels natively", native);
  bool missed = Check(check, "GDI present / memcpy", gdi / copy, 3);
  missed |=
      Check(check, "GDI present / DirectDraw present", gdi / directDraw, 0.25);
  if (native > 0)
    missed |= Check(check, "kernels here / natively", kernels / native, 1.5);
  if (study && !fullScreen)
    StudyGdi(rounds / 2 < 30 ? 30 : rounds / 2);
  return missed ? 1 : 0;
}
