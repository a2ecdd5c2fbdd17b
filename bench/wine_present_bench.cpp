// What the windowed present on a desktop of another depth costs against
// the blit every windowed present pays anyway. In one window of a
// 1280x960 client, by turns: (a) lurn's UpdatePrimaryBuffer of a 640x480
// 16-bit picture with KeepDesktop, which converts and scales it into a
// surface of the desktop's format and blits that onto the primary; (b) a
// plain DirectDraw blit of a 1280x960 system-memory surface already in the
// desktop's format onto the primary, through a clipper on the same window.
// Prints both medians and their ratio, and what the library's kernels take
// alone, memory to memory; with --check exits 1 when the ratio is above
// 1.3. Run it on a 32-bit desktop (Wine on a 24-bit X screen). The kernel
// set named is this program's pick, made by the DLL's rule from the same
// processor and LURN_KERNEL.
#include <ddraw.h>
#include <lurn.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "present/present.h"

namespace {

const int kPictureWidth = 640, kPictureHeight = 480;
const int kClientWidth = 1280, kClientHeight = 960;
const double kMostRatio = 1.3;

HWND MakeWindow() {
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "lurn present bench";
  RegisterClassA(&windowClass);
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  return CreateWindowA("lurn present bench", "lurn present bench",
                       WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                       frame.right - frame.left, frame.bottom - frame.top, NULL,
                       NULL, instance, NULL);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// The platform's own windowed present on lurn's DirectDraw object, primary
// and clipper (a second DirectDraw object on one window upsets Wine's X11
// driver): a system-memory surface of the client area's size in the
// primary's format, blitted 1:1.
struct PlainBlit {
  IDirectDrawSurface *primary = NULL;
  IDirectDrawSurface *picture = NULL;
  IDirectDrawSurface *fence = NULL;
  HWND window = NULL;
  DWORD bitsPerPixel = 0;

  bool Open(const LurnDirectDraw &display) {
    window = static_cast<HWND>(display.window);
    primary = display.primarySurface;
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (primary->GetSurfaceDesc(&desc) != DD_OK)
      return false;
    bitsPerPixel = desc.ddpfPixelFormat.dwRGBBitCount;
    DDPIXELFORMAT format = desc.ddpfPixelFormat;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = kClientWidth;
    desc.dwHeight = kClientHeight;
    desc.ddpfPixelFormat = format;
    if (display.directDraw->CreateSurface(&desc, &picture, NULL) != DD_OK)
      return false;
    desc.dwWidth = desc.dwHeight = 1;
    if (display.directDraw->CreateSurface(&desc, &fence, NULL) != DD_OK)
      return false;
    // A picture that is not all one colour, like a real frame.
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (picture->Lock(NULL, &desc, DDLOCK_WAIT, NULL) != DD_OK)
      return false;
    for (DWORD y = 0; y < desc.dwHeight; ++y)
      for (LONG x = 0; x < desc.lPitch; ++x)
        static_cast<unsigned char *>(desc.lpSurface)[y * desc.lPitch + x] =
            static_cast<unsigned char>(x ^ y);
    picture->Unlock(NULL);
    return true;
  }

  HRESULT Present() {
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    return primary->Blt(&client, picture, NULL, DDBLT_WAIT, NULL);
  }

  // Wine's DirectDraw hands blits to a thread of its own and returns before
  // they are done; a lock waits until that thread has done everything
  // handed to it before. Each timed present ends with one.
  void WaitForPlatform() {
    DDSURFACEDESC desc;
    memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (fence->Lock(NULL, &desc, DDLOCK_WAIT, NULL) == DD_OK)
      fence->Unlock(NULL);
  }

  void Close() {
    for (IDirectDrawSurface **surface : {&picture, &fence})
      if (*surface != NULL)
        (*surface)->Release();
    picture = fence = NULL;
  }
};

// The library's kernels alone, memory to memory: the part of the present
// that the plain blit does not pay.
struct KernelsAlone {
  std::vector<uint16_t> picture;
  std::vector<uint32_t> converted;
  PresentScratch scratch;

  KernelsAlone()
      : picture(kPictureWidth * kPictureHeight),
        converted(kClientWidth * kClientHeight) {
    for (size_t i = 0; i < picture.size(); ++i)
      picture[i] = static_cast<uint16_t>(i * 97);
  }

  void Run() {
    Pixels from = {reinterpret_cast<const unsigned char *>(picture.data()),
                   kPictureWidth,
                   kPictureHeight,
                   kPictureWidth * 2,
                   {16, 0xF800, 0x07E0, 0x001F}};
    TargetPixels to = {reinterpret_cast<unsigned char *>(converted.data()),
                       kClientWidth,
                       kClientHeight,
                       kClientWidth * 4,
                       {32, 0xFF0000, 0x00FF00, 0x0000FF}};
    Rect whole = {0, 0, kPictureWidth, kPictureHeight};
    Rect area = {0, 0, kClientWidth, kClientHeight};
    PresentScaled(from, whole, to, area, area, scratch);
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

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to,
                    LARGE_INTEGER frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The value below which the given share of the sorted values lies.
double Quantile(const std::vector<double> &sorted, double share) {
  double at = share * static_cast<double>(sorted.size() - 1);
  size_t below = static_cast<size_t>(at);
  if (below + 1 >= sorted.size())
    return sorted.back();
  double part = at - static_cast<double>(below);
  return sorted[below] * (1 - part) + sorted[below + 1] * part;
}

// Prints the median and the quartiles; returns the median.
double Summary(const char *name, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  double median = Quantile(times, 0.5);
  printf("  %-44s median %7.3f ms (quartiles %.3f to %.3f)\n", name, median,
         Quantile(times, 0.25), Quantile(times, 0.75));
  return median;
}

} // namespace

int main(int argc, char **argv) {
  bool check = false;
  int rounds = 300, presentsPerTurn = 1;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--check") == 0)
      check = true;
    else if (strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
      rounds = atoi(argv[++i]);
    else if (strcmp(argv[i], "--per-turn") == 0 && i + 1 < argc)
      presentsPerTurn = atoi(argv[++i]);
    else {
      fprintf(stderr, "usage: %s [--check] [--rounds N] [--per-turn N]\n",
              argv[0]);
      return 2;
    }
  }
  if (rounds < 1 || presentsPerTurn < 1) {
    fprintf(stderr, "--rounds and --per-turn want counts above 0\n");
    return 2;
  }

  HWND window = MakeWindow();
  PumpMessages();
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  if (client.right != kClientWidth || client.bottom != kClientHeight) {
    fprintf(stderr, "the window's client area is %ldx%ld, not %dx%d\n",
            client.right, client.bottom, kClientWidth, kClientHeight);
    return 1;
  }

  static LurnDirectDraw display;
  if (!display.Open(window, kPictureWidth, kPictureHeight, 16,
                    LurnDirectDraw::KeepDesktop |
                        LurnDirectDraw::ReleaseSecondary) ||
      !DrawPicture(display)) {
    fprintf(stderr, "lurn's display did not open with KeepDesktop\n");
    display.Close();
    return 1;
  }
  PlainBlit plain;
  if (!plain.Open(display)) {
    fprintf(stderr, "the plain blit could not be set up\n");
    plain.Close();
    display.Close();
    return 1;
  }
  if (plain.bitsPerPixel != 32)
    fprintf(stderr, "warning: the desktop runs at %lu bits, not 32\n",
            plain.bitsPerPixel);

  KernelsAlone kernels;
  // The first turns fill caches and the library's scratch: untimed.
  for (int i = 0; i < 10; ++i) {
    display.UpdatePrimaryBuffer();
    HRESULT result = plain.Present();
    if (result != DD_OK) {
      fprintf(stderr, "the plain blit failed: 0x%08lX\n",
              static_cast<unsigned long>(result));
      plain.Close();
      display.Close();
      return 1;
    }
    kernels.Run();
    PumpMessages();
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  enum { kLibrary, kPlatform, kKernels, kContenders };
  std::vector<double> times[kContenders];
  for (int round = 0; round < rounds; ++round) {
    PumpMessages();
    // By turns, each going first in its share of the rounds: none profits
    // from what another left behind more than the others do.
    for (int turn = 0; turn < kContenders; ++turn) {
      int contender = (round + turn) % kContenders;
      QueryPerformanceCounter(&start);
      for (int i = 0; i < presentsPerTurn; ++i) {
        if (contender == kLibrary)
          display.UpdatePrimaryBuffer();
        else if (contender == kPlatform)
          plain.Present();
        else
          kernels.Run();
      }
      plain.WaitForPlatform();
      QueryPerformanceCounter(&end);
      times[contender].push_back(Milliseconds(start, end, frequency) /
                                 presentsPerTurn);
    }
  }
  plain.Close();
  display.Close();
  DestroyWindow(window);

  printf("present of %dx%d 16-bit into a %dx%d window on a %lu-bit desktop,"
         " %d rounds by turns of %d, kernels: %s\n",
         kPictureWidth, kPictureHeight, kClientWidth, kClientHeight,
         plain.bitsPerPixel, rounds, presentsPerTurn, PresentKernels());
  double library =
      Summary("lurn's UpdatePrimaryBuffer with KeepDesktop", times[kLibrary]);
  double platform =
      Summary("plain Blt of 1280x960, the desktop's format", times[kPlatform]);
  Summary("of which the kernels, memory to memory", times[kKernels]);
  double ratio = library / platform;
  printf("  ratio %.2f (at most %.1f)%s\n", ratio, kMostRatio,
         check && ratio > kMostRatio ? ": MISSED" : "");
  return check && ratio > kMostRatio ? 1 : 0;
}
