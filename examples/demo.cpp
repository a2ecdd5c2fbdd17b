// lurn's demo: opens the display windowed (or full screen with
// --fullscreen), prints the pixel layout it got, draws an animated scene
// through the drawing address, pitch and layout fields, and shows it every
// frame with the frame rate until the window closes, Escape is pressed,
// --frames N have run or --seconds N have passed.
#include <lurn.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <SDL.h>
#endif

namespace {

const unsigned short kWidth = 640;
const unsigned short kHeight = 480;

struct Options {
  bool fullScreen;
  long frames;  // 0: no limit
  long seconds; // 0: no limit
};

Options ParseOptions(int argc, char **argv) {
  Options options = {false, 0, 0};
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--fullscreen") == 0)
      options.fullScreen = true;
    else if (strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
      options.frames = atol(argv[++i]);
    else if (strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
      options.seconds = atol(argv[++i]);
  }
  return options;
}

// Counts frames and prints the rate once a second.
struct FrameRate {
  unsigned long second, frames, seconds;
  void Start(unsigned long now) {
    second = now;
    frames = seconds = 0;
  }
  void Count(unsigned long now) {
    ++frames;
    if (now - second < 1000)
      return;
    printf("%lu frames per second\n", frames * 1000 / (now - second));
    fflush(stdout);
    second = now;
    frames = 0;
    ++seconds;
  }
  bool Done(const Options &options, long frameNumber) const {
    return (options.frames != 0 && frameNumber >= options.frames) ||
           (options.seconds != 0 && long(seconds) >= options.seconds);
  }
};

// A 16-bit colour in the display's layout from 8-bit components.
unsigned short Pack(const LurnDirectDraw &display, int red, int green,
                    int blue) {
  int greenShift = display.redShift - display.greenBits;
  return static_cast<unsigned short>(
      ((red >> 3) << display.redShift) |
      ((green >> (8 - display.greenBits)) << greenShift) |
      ((blue >> 3) << display.blueShift));
}

// Diagonal colour bands drifting with the frame number.
void DrawScene(const LurnDirectDraw &display, long frame) {
  unsigned short *row = static_cast<unsigned short *>(display.secondaryBits);
  for (int y = 0; y < display.height; ++y) {
    for (int x = 0; x < display.width; ++x) {
      int band = (x + y + frame * 4) & 255;
      row[x] = Pack(display, band, (x * 255) / display.width,
                    (y * 255) / display.height);
    }
    row += display.pitchPixels;
  }
}

// One frame: clear, lock, draw, unlock, present. A lost surface costs the
// frame; the next one redraws everything.
void RunFrame(LurnDirectDraw &display, long frame) {
  display.ClearSecondaryBuffer();
  if (!display.LockSecondaryBuffer())
    return;
  DrawScene(display, frame);
  display.UnlockSecondaryBuffer();
  display.UpdatePrimaryBuffer();
}

LurnDirectDraw display; // plain record in static storage

} // namespace

#if defined(_WIN32)

namespace {

bool quit = false;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  if (message == WM_DESTROY || (message == WM_KEYDOWN && wParam == VK_ESCAPE)) {
    quit = true;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char **argv) {
  Options options = ParseOptions(argc, argv);
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
  windowClass.lpszClassName = "lurn demo";
  RegisterClassA(&windowClass);
  RECT frame = {0, 0, kWidth, kHeight};
  DWORD style = options.fullScreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
  AdjustWindowRect(&frame, style, FALSE);
  HWND window =
      CreateWindowA("lurn demo", "lurn demo", style | WS_VISIBLE, 0, 0,
                    frame.right - frame.left, frame.bottom - frame.top, NULL,
                    NULL, instance, NULL);
  unsigned char flags = LurnDirectDraw::ReleaseSecondary |
                        (options.fullScreen ? LurnDirectDraw::FullScreen : 0);
  if (!display.Open(window, kWidth, kHeight, 16, flags)) {
    display.Close();
    return 1;
  }
  printf("layout %d %d %d pitch %d\n", display.redShift, display.greenBits,
         display.blueShift, display.pitchPixels);
  fflush(stdout);
  FrameRate rate;
  rate.Start(GetTickCount());
  for (long frameNumber = 0; !quit; ++frameNumber) {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (rate.Done(options, frameNumber))
      break;
    RunFrame(display, frameNumber);
    rate.Count(GetTickCount());
    Sleep(1);
  }
  display.Close();
  DestroyWindow(window);
  return 0;
}

#else

int main(int argc, char **argv) {
  Options options = ParseOptions(argc, argv);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window *window =
      SDL_CreateWindow("lurn demo", SDL_WINDOWPOS_CENTERED,
                       SDL_WINDOWPOS_CENTERED, kWidth, kHeight, 0);
  unsigned char flags = LurnDirectDraw::ReleaseSecondary |
                        (options.fullScreen ? LurnDirectDraw::FullScreen : 0);
  if (window == NULL || !display.Open(window, kWidth, kHeight, 16, flags)) {
    display.Close();
    SDL_Quit();
    return 1;
  }
  printf("layout %d %d %d pitch %d\n", display.redShift, display.greenBits,
         display.blueShift, display.pitchPixels);
  fflush(stdout);
  bool quit = false;
  FrameRate rate;
  rate.Start(SDL_GetTicks());
  for (long frameNumber = 0; !quit; ++frameNumber) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT ||
          (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE))
        quit = true;
    }
    if (rate.Done(options, frameNumber))
      break;
    RunFrame(display, frameNumber);
    rate.Count(SDL_GetTicks());
    SDL_Delay(1);
  }
  display.Close();
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}

#endif
