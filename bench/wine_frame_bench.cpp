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
// Options: --full makes the plain program's window cover the screen, the
// size of the DLL's full screen; --sleep MS ends each frame with Sleep(MS),
// as games leave the CPU to others; --devices makes the display routes a
// game's client, which also reads the keyboard and the mouse each frame
// (GetStateKeyboard, KeyDown, GetStateMouse), and --presses one that asks
// for presses and strokes too (KeyPresses, KeyStrokes, ButtonPresses);
// --trace N runs N frames untimed and marks the end of each call with a
// lookup of the global atom "lurn-mark NAME", a request of its own in
// Wine's +server log, for bench/round_trips.awk to count each call's
// requests between the marks. Prints "ROUTE fps F cpu C" (C in per cent of
// one core). scripts/bench.sh runs it idle and beside busy loops.
#include <dinput.h>
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

struct Options {
  double seconds;
  int sleep;        // ms at the end of each frame; 0 for none
  bool devices;     // the keyboard and the mouse read each frame
  bool presses;     // and their presses and strokes asked for
  bool full;        // the plain program covers the screen
  long traceFrames; // frames run with marks, untimed; 0 for a timed run
};
Options options;

// The end of a call, in Wine's +server log: a global atom's lookup is a
// request to the server that names it.
void Mark(const char *call) {
  if (options.traceFrames == 0)
    return;
  char name[64];
  snprintf(name, sizeof name, "lurn-mark %s", call);
  GlobalFindAtomA(name);
}

// Runs `frame` for the given seconds after a second's warm-up, and prints
// the rate and the share of a core the process used meanwhile; traced, a
// second's warm-up and the given frames, marked.
template <class Frame> bool Run(const char *route, Frame frame) {
  if (options.traceFrames > 0) {
    long warmUp = 0;
    for (double until = Now() + 1; Now() < until; ++warmUp)
      if (!frame())
        return false;
    Mark("start");
    for (long i = 0; i < options.traceFrames; ++i)
      if (!frame())
        return false;
    Mark("end");
    printf("%s traced %ld frames after %ld\n", route, options.traceFrames,
           warmUp);
    return true;
  }
  double seconds = options.seconds;
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

void EndFrame() {
  if (options.sleep > 0) {
    Sleep(DWORD(options.sleep));
    Mark("Sleep");
  }
}

// The yardstick: windowed at the DLL's window size, or with --full a
// window covering the screen, as the DLL's full screen has it.
bool PlainGdi() {
  int width = kClientWidth, height = kClientHeight;
  HWND window = NULL;
  if (options.full) {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
    window =
        CreateWindowA("STATIC", "lurn frame bench", WS_POPUP | WS_VISIBLE, 0, 0,
                      width, height, NULL, NULL, GetModuleHandleA(NULL), NULL);
  } else {
    window = MakeWindow("lurn frame bench", width, height);
  }
  std::vector<uint32_t> pixels(size_t(width) * height);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = uint32_t(i * 2654435761u);
  BITMAPINFO info = TopDownPicture(width, height);
  bool ran = Run("plain-gdi", [&] {
    HDC context = GetDC(window);
    SetDIBitsToDevice(context, 0, 0, width, height, 0, 0, 0, height,
                      pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(window, context);
    Mark("SetDIBitsToDevice");
    PumpMessages();
    Mark("pump");
    EndFrame();
    return true;
  });
  DestroyWindow(window);
  return ran;
}

// The keyboard and the mouse as a game opens them: both acquired.
bool OpenDevices(LurnDirectInput &input, HWND window) {
  if (!input.Open(window, GetModuleHandleA(NULL)) ||
      !input.OpenKeyboard(window) || !input.OpenMouse(window))
    return false;
  input.SyncAcquireKeyboard();
  input.SyncAcquireMouse();
  return true;
}

// A game's reads of a frame. Returns 1 when the keyboard was read: the
// devices are acquired only while the window has the focus.
int ReadDevices(LurnDirectInput &input) {
  int read = input.GetStateKeyboard();
  Mark("GetStateKeyboard");
  if (options.presses) {
    input.KeyPresses(DIK_SPACE);
    Mark("KeyPresses");
    input.KeyStrokes(DIK_BACK);
    Mark("KeyStrokes");
  }
  input.GetStateMouse();
  Mark("GetStateMouse");
  if (options.presses) {
    input.ButtonPresses(0);
    Mark("ButtonPresses");
  }
  return read;
}

bool Display(const char *route, bool fullScreen) {
  HWND window = MakeWindow("lurn frame bench", kClientWidth, kClientHeight);
  PumpMessages();
  static LurnDirectDraw display;
  if (!OpenKeepingDesktop(display, window, kPictureWidth, kPictureHeight,
                          fullScreen)) {
    fprintf(stderr, "%s: the display did not open\n", route);
    return false;
  }
  static LurnDirectInput input;
  if (options.devices && !OpenDevices(input, window)) {
    fprintf(stderr, "%s: the keyboard and mouse did not open\n", route);
    display.Close();
    return false;
  }
  unsigned frame = 0;
  long reads = 0;
  bool ran = Run(route, [&] {
    ++frame;
    PumpMessages();
    Mark("pump");
    if (!display.ClearSecondaryBuffer())
      return false;
    Mark("ClearSecondaryBuffer");
    if (!display.LockSecondaryBuffer())
      return false;
    // A moving square of a tenth of the picture, as a game draws sprites.
    unsigned short *line =
        static_cast<unsigned short *>(display.secondaryBits) +
        size_t(display.pitchPixels) * (frame % (kPictureHeight - 48));
    for (int y = 0; y < 48; ++y, line += display.pitchPixels)
      for (int x = 0; x < 640; ++x)
        line[x] = static_cast<unsigned short>(x * 97 ^ (y + frame) * 131);
    display.UnlockSecondaryBuffer();
    Mark("LockSecondaryBuffer, draw, UnlockSecondaryBuffer");
    display.UpdatePrimaryBuffer();
    Mark("UpdatePrimaryBuffer");
    if (options.devices)
      reads += ReadDevices(input);
    EndFrame();
    return true;
  });
  if (options.devices && reads == 0)
    fprintf(stderr, "%s: no keyboard read succeeded\n", route);
  input.Close();
  display.Close();
  DestroyWindow(window);
  return ran;
}

} // namespace

int main(int argc, char **argv) {
  bool usable = argc >= 3;
  if (usable)
    options.seconds = atof(argv[2]);
  for (int i = 3; usable && i < argc; ++i) {
    if (strcmp(argv[i], "--devices") == 0)
      options.devices = true;
    else if (strcmp(argv[i], "--full") == 0)
      options.full = true;
    else if (strcmp(argv[i], "--presses") == 0)
      options.devices = options.presses = true;
    else if (strcmp(argv[i], "--sleep") == 0 && i + 1 < argc)
      options.sleep = atoi(argv[++i]);
    else if (strcmp(argv[i], "--trace") == 0 && i + 1 < argc)
      options.traceFrames = atol(argv[++i]);
    else
      usable = false;
  }
  if (!usable || (options.seconds <= 0 && options.traceFrames <= 0)) {
    fprintf(stderr,
            "usage: %s plain-gdi|windowed|fullscreen SECONDS [--sleep MS] "
            "[--full] [--devices] [--presses] [--trace FRAMES]\n",
            argv[0]);
    return 2;
  }
  const char *route = argv[1];
  bool ran = false;
  if (strcmp(route, "plain-gdi") == 0) {
    ran = PlainGdi();
  } else if (strcmp(route, "windowed") == 0) {
    _putenv("LURN_VSYNC=0");
    ran = Display(route, false);
  } else if (strcmp(route, "fullscreen") == 0) {
    if (getenv("LURN_VSYNC") == NULL) // a run may ask for another pacing
      _putenv("LURN_VSYNC=1");
    ran = Display(route, true);
  } else {
    fprintf(stderr, "unknown route %s\n", route);
    return 2;
  }
  return ran ? 0 : 1;
}
