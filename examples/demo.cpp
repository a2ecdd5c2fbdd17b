// lurn's demo: opens the display windowed (or full screen with
// --fullscreen) and the keyboard and mouse, prints the pixel layout it got,
// and draws every frame through the drawing address, pitch and layout
// fields: drifting colour bands whose speed the wheel sets, a square the
// arrow keys move, a cursor at the mouse pointer (coloured by its buttons) and
// a panel lighting up the keys held; along the bottom a box for each Space
// press and left click (none missed) and each byte of the name typed,
// which Return prints. It prints the frame rate once a second
// and stops when the window closes, Escape is pressed, --frames N have run
// or --seconds N have passed.
#include <lurn.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>
#elif defined(__EMSCRIPTEN__)
#include <emscripten.h>
#include <windows.h> // CanvasWindow, from lurn's stand-in headers
#else
#include <SDL.h>
#endif
#include <dinput.h> // the key codes

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

void ShowTitle(const char *title); // in the window's title bar

// Counts frames and shows the rate once a second.
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
    char text[64];
    snprintf(text, sizeof text, "%lu frames per second",
             frames * 1000 / (now - second));
    printf("%s\n", text);
    fflush(stdout);
    ShowTitle(text);
    second = now;
    frames = 0;
    ++seconds;
  }
  bool Done(const Options &options, long frameNumber) const {
    return (options.frames != 0 && frameNumber >= options.frames) ||
           (options.seconds != 0 && long(seconds) >= options.seconds);
  }
};

// What the input has made of the scene so far.
struct Scene {
  long phase;           // the bands' offset
  long speed;           // pixels per frame, set by the wheel
  int squareX, squareY; // moved by the arrow keys
  int cursorX, cursorY; // the pointer's pixel on the picture
  bool cursorShown;     // while the pointer is over the picture
  int taps, clicks;     // Space presses and left clicks, none missed
  char name[64];        // typed, UTF-8; Return prints it
  bool quit;
};

int Clamp(int value, int low, int high) {
  return value < low ? low : value > high ? high : value;
}

void ReadInput(LurnDirectDraw &display, LurnDirectInput &input, Scene &scene) {
  input.GetStateKeyboard();
  if (input.KeyDown(DIK_ESCAPE))
    scene.quit = true;
  const int step = 4;
  if (input.KeyDown(DIK_LEFT))
    scene.squareX -= step;
  if (input.KeyDown(DIK_RIGHT))
    scene.squareX += step;
  if (input.KeyDown(DIK_UP))
    scene.squareY -= step;
  if (input.KeyDown(DIK_DOWN))
    scene.squareY += step;
  // Presses between two frames count, however short: a quick double tap
  // at a low frame rate gives 2.
  scene.taps += input.KeyPresses(DIK_SPACE);
  size_t length = strlen(scene.name);
  length += size_t(
      input.ReadText(scene.name + length, int(sizeof scene.name - length)));
  for (int back = input.KeyPresses(DIK_BACK); back > 0 && length > 0; --back)
    while (length > 0 && (scene.name[--length] & 0xC0) == 0x80) {
    } // a whole UTF-8 character
  scene.name[length] = 0;
  if (input.KeyPresses(DIK_RETURN) && length > 0) {
    printf("name: %s\n", scene.name);
    fflush(stdout);
  }
  scene.squareX = Clamp(scene.squareX, 0, kWidth - 48);
  scene.squareY = Clamp(scene.squareY, 0, kHeight - 48);

  input.GetStateMouse();
  // The real pointer, wherever the picture is shown and however scaled.
  LurnLong x = 0, y = 0;
  scene.cursorShown = display.GetCursorPosition(&x, &y) == 1;
  scene.cursorX = int(x);
  scene.cursorY = int(y);
  scene.clicks += input.ButtonPresses(0);
  scene.speed = Clamp(int(scene.speed + input.mouseState.lZ / 120), -16, 16);
  input.mouseState.lX = input.mouseState.lY = input.mouseState.lZ = 0;
  scene.phase += scene.speed;
}

// A 16-bit colour in the display's layout from 8-bit components.
unsigned short Pack(const LurnDirectDraw &display, int red, int green,
                    int blue) {
  int greenShift = display.redShift - display.greenBits;
  return static_cast<unsigned short>(
      ((red >> 3) << display.redShift) |
      ((green >> (8 - display.greenBits)) << greenShift) |
      ((blue >> 3) << display.blueShift));
}

void FillBox(const LurnDirectDraw &display, int left, int top, int width,
             int height, unsigned short colour) {
  unsigned short *pixels = static_cast<unsigned short *>(display.secondaryBits);
  for (int y = Clamp(top, 0, display.height);
       y < Clamp(top + height, 0, display.height); ++y)
    for (int x = Clamp(left, 0, display.width);
         x < Clamp(left + width, 0, display.width); ++x)
      pixels[y * display.pitchPixels + x] = colour;
}

void DrawScene(const LurnDirectDraw &display, const LurnDirectInput &input,
               const Scene &scene) {
  unsigned short *row = static_cast<unsigned short *>(display.secondaryBits);
  for (int y = 0; y < display.height; ++y) {
    for (int x = 0; x < display.width; ++x) {
      int band = int((x + y + scene.phase) & 255);
      row[x] = Pack(display, band, (x * 255) / display.width,
                    (y * 255) / display.height);
    }
    row += display.pitchPixels;
  }
  FillBox(display, scene.squareX, scene.squareY, 48, 48,
          Pack(display, 255, 255, 255));
  // The keys held: a 16 x 16 panel, one cell per key code.
  for (int key = 0; key < 256; ++key) {
    bool held = input.keyState[key] & 0x80;
    FillBox(display, 8 + (key % 16) * 6, 8 + (key / 16) * 6, 5, 5,
            held ? Pack(display, 255, 255, 0) : Pack(display, 40, 40, 40));
  }
  // Along the bottom: a box per Space press, per click, per byte typed.
  const int counts[3] = {scene.taps % 40, scene.clicks % 40,
                         int(strlen(scene.name))};
  for (int line = 0; line < 3; ++line)
    for (int i = 0; i < counts[line]; ++i)
      FillBox(display, 8 + i * 6, display.height - 24 + line * 6, 5, 5,
              Pack(display, line == 0 ? 255 : 0, line == 1 ? 255 : 0,
                   line == 2 ? 255 : 128));
  const unsigned char *buttons = input.mouseState.rgbButtons;
  unsigned short cursor = Pack(display, buttons[0] ? 255 : 0,
                               buttons[1] ? 255 : 0, buttons[2] ? 255 : 0);
  if (!buttons[0] && !buttons[1] && !buttons[2])
    cursor = Pack(display, 0, 0, 0);
  if (scene.cursorShown) {
    FillBox(display, scene.cursorX - 6, scene.cursorY - 1, 13, 3, cursor);
    FillBox(display, scene.cursorX - 1, scene.cursorY - 6, 3, 13, cursor);
  }
}

// One frame: clear, lock, draw, unlock, present. A lost surface costs the
// frame: the library has tried to restore it, and the next frame redraws
// everything. Returns false when the display is gone (a failed lock closes
// it after showing the error box).
bool RunFrame(LurnDirectDraw &display, const LurnDirectInput &input,
              const Scene &scene) {
  if (!display.ClearSecondaryBuffer()) {
    display.RestoreSurfaces();
    return true;
  }
  if (!display.LockSecondaryBuffer())
    return false;
  DrawScene(display, input, scene);
  display.UnlockSecondaryBuffer();
  display.UpdatePrimaryBuffer();
  return true;
}

// Plain records in static storage.
LurnDirectDraw display;
LurnDirectInput input;

bool OpenAll(void *window, void *instance, const Options &options) {
  unsigned char flags = LurnDirectDraw::ReleaseSecondary |
                        (options.fullScreen ? LurnDirectDraw::FullScreen : 0);
  if (!display.Open(window, kWidth, kHeight, 16, flags) ||
      !input.Open(window, instance) || !input.OpenKeyboard(window) ||
      !input.OpenMouse(window))
    return false;
  input.SyncAcquireKeyboard();
  input.SyncAcquireMouse();
  printf("layout %d %d %d pitch %d\n", display.redShift, display.greenBits,
         display.blueShift, display.pitchPixels);
  fflush(stdout);
  return true;
}

void CloseAll() {
  input.Close();
  display.Close();
}

Scene StartScene() {
  Scene scene;
  memset(&scene, 0, sizeof scene);
  scene.speed = 4;
  scene.squareX = kWidth / 2 - 24;
  scene.squareY = kHeight / 2 - 24;
  scene.cursorX = kWidth / 2;
  scene.cursorY = kHeight / 2;
  return scene;
}

} // namespace

#if defined(_WIN32)

namespace {

bool windowClosed = false;
HWND demoWindow = NULL;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  if (message == WM_DESTROY) {
    windowClosed = true;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void ShowTitle(const char *title) {
  char text[96];
  snprintf(text, sizeof text, "lurn demo - %s", title);
  SetWindowTextA(demoWindow, text);
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
  if (!OpenAll(window, instance, options)) {
    CloseAll();
    return 1;
  }
  Scene scene = StartScene();
  FrameRate rate;
  rate.Start(GetTickCount());
  for (long frameNumber = 0; !windowClosed && !scene.quit; ++frameNumber) {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (rate.Done(options, frameNumber))
      break;
    ReadInput(display, input, scene);
    if (!RunFrame(display, input, scene))
      break;
    rate.Count(GetTickCount());
    Sleep(1);
  }
  CloseAll();
  DestroyWindow(window);
  return 0;
}

#elif defined(__EMSCRIPTEN__)

// In a web page: the page's canvas is the window and its title the page's.
// The loop blocks as elsewhere; the page gets its turn at each present.
EM_JS(void, SetPageTitle, (const char *title),
      { document.title = 'lurn demo - ' + UTF8ToString(title); });

namespace {

void ShowTitle(const char *title) { SetPageTitle(title); }

} // namespace

int main(int argc, char **argv) {
  Options options = ParseOptions(argc, argv);
  HWND window = CanvasWindow("#screen");
  if (window == NULL || !OpenAll(window, NULL, options)) {
    CloseAll();
    return 1;
  }
  Scene scene = StartScene();
  FrameRate rate;
  rate.Start((unsigned long)emscripten_get_now());
  for (long frameNumber = 0; !scene.quit; ++frameNumber) {
    if (rate.Done(options, frameNumber))
      break;
    ReadInput(display, input, scene);
    if (!RunFrame(display, input, scene))
      break;
    rate.Count((unsigned long)emscripten_get_now());
  }
  CloseAll();
  return 0;
}

#else

namespace {

SDL_Window *demoWindow = NULL;

void ShowTitle(const char *title) {
  char text[96];
  snprintf(text, sizeof text, "lurn demo - %s", title);
  SDL_SetWindowTitle(demoWindow, text);
}

} // namespace

int main(int argc, char **argv) {
  Options options = ParseOptions(argc, argv);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window *window =
      SDL_CreateWindow("lurn demo", SDL_WINDOWPOS_CENTERED,
                       SDL_WINDOWPOS_CENTERED, kWidth, kHeight, 0);
  demoWindow = window;
  if (window == NULL || !OpenAll(window, NULL, options)) {
    CloseAll();
    SDL_Quit();
    return 1;
  }
  Scene scene = StartScene();
  bool windowClosed = false;
  FrameRate rate;
  rate.Start(SDL_GetTicks());
  for (long frameNumber = 0; !windowClosed && !scene.quit; ++frameNumber) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
      if (event.type == SDL_QUIT)
        windowClosed = true;
    if (rate.Done(options, frameNumber))
      break;
    ReadInput(display, input, scene);
    if (!RunFrame(display, input, scene))
      break;
    rate.Count(SDL_GetTicks());
    SDL_Delay(1);
  }
  CloseAll();
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}

#endif
