// A game's frame loop under Wine, timed whole for some seconds, with the
// process's CPU time over the run (every thread's, Wine's DirectDraw thread
// included). One route a run:
//   plain-gdi   a 1280x960 window, one SetDIBitsToDevice of a 32-bit picture
//               and the message pump a frame, no DirectDraw: the yardstick;
//   windowed    the DLL keeping the desktop, a 640x480 16-bit picture in a
//               1280x960 window, unpaced: clear, lock, draw, unlock,
//               present, pump;
//   fullscreen  the same full screen (a window covering the screen), paced
//               at the refresh.
// Prints "ROUTE fps F cpu C" (C in per cent of one core). scripts/bench.sh
// runs it idle and beside busy loops.
#include <lurn.h>
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "wine_window.h"

namespace {

const int kPictureWidth = 640, kPictureHeight = 480;
const int kClientWidth = 1280, kClientHeight = 960;

double Seconds(const FILETIME &time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return double(value.QuadPart) / 1e7;
}

// The process's user and kernel time so far, in seconds.
double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
    return 0;
  return Seconds(kernel) + Seconds(user);
}

double Now() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

// Runs `frame` for `seconds` after a second's warm-up, and prints the rate
// and the share of a core the process used meanwhile.
template <class Frame>
bool Run(const char *route, double seconds, Frame frame) {
  for (double until = Now() + 1; Now() < until;)
    if (!frame())
      return false;
  double start = Now(), processor = ProcessorSeconds();
  long frames = 0;
  while (Now() - start < seconds) {
    if (!frame())
      return false;
    ++frames;
  }
  double spent = Now() - start;
  printf("%s fps %.1f cpu %.0f\n", route, double(frames) / spent,
         100 * (ProcessorSeconds() - processor) / spent);
  return true;
}

bool PlainGdi(double seconds) {
  HWND window = MakeWindow("lurn frame bench", kClientWidth, kClientHeight);
  std::vector<uint32_t> pixels(size_t(kClientWidth) * kClientHeight);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = uint32_t(i * 2654435761u);
  BITMAPINFO info = TopDownPicture(kClientWidth, kClientHeight);
  bool ran = Run("plain-gdi", seconds, [&] {
    HDC context = GetDC(window);
    SetDIBitsToDevice(context, 0, 0, kClientWidth, kClientHeight, 0, 0, 0,
                      kClientHeight, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(window, context);
    PumpMessages();
    return true;
  });
  DestroyWindow(window);
  return ran;
}

bool Display(const char *route, bool fullScreen, double seconds) {
  HWND window = MakeWindow("lurn frame bench", kClientWidth, kClientHeight);
  PumpMessages();
  static LurnDirectDraw display;
  if (!OpenKeepingDesktop(display, window, kPictureWidth, kPictureHeight,
                          fullScreen)) {
    fprintf(stderr, "%s: the display did not open\n", route);
    return false;
  }
  unsigned frame = 0;
  bool ran = Run(route, seconds, [&] {
    ++frame;
    if (!display.ClearSecondaryBuffer() || !display.LockSecondaryBuffer())
      return false;
    // A moving square of a tenth of the picture, as a game draws sprites.
    unsigned short *line =
        static_cast<unsigned short *>(display.secondaryBits) +
        size_t(display.pitchPixels) * (frame % (kPictureHeight - 48));
    for (int y = 0; y < 48; ++y, line += display.pitchPixels)
      for (int x = 0; x < 640; ++x)
        line[x] = static_cast<unsigned short>(x * 97 ^ (y + frame) * 131);
    display.UnlockSecondaryBuffer();
    display.UpdatePrimaryBuffer();
    PumpMessages();
    return true;
  });
  display.Close();
  DestroyWindow(window);
  return ran;
}

} // namespace

int main(int argc, char **argv) {
  double seconds = argc > 2 ? atof(argv[2]) : 0;
  if (argc != 3 || seconds <= 0) {
    fprintf(stderr, "usage: %s plain-gdi|windowed|fullscreen SECONDS\n",
            argv[0]);
    return 2;
  }
  const char *route = argv[1];
  bool ran = false;
  if (strcmp(route, "plain-gdi") == 0) {
    ran = PlainGdi(seconds);
  } else if (strcmp(route, "windowed") == 0) {
    _putenv("LURN_VSYNC=0");
    ran = Display(route, false, seconds);
  } else if (strcmp(route, "fullscreen") == 0) {
    _putenv("LURN_VSYNC=1");
    ran = Display(route, true, seconds);
  } else {
    fprintf(stderr, "unknown route %s\n", route);
    return 2;
  }
  return ran ? 0 : 1;
}
