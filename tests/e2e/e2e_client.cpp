// The end-to-end test client, written as a game of the library's era would
// be: its own window and message loop, both records in static storage, a
// frame loop of clear, lock, draw, unlock, present and input reads. It draws
// four quadrants (red, green, blue, white) through the layout fields and
// reports what it sees on standard output, one line per fact, for the test
// script to wait on:
//   OPEN <result>               LAYOUT <red> <green> <blue> <pitch> <bits>
//   GETTERS <ok|bad>            (with --getters: the Get methods answer the
//                               fields)
//   WINDOW <x> <y> <w> <h>      (client area, screen coordinates)
//   STATUS <frames> <clearFails> <lockFails> <updateFails> <restores> <ms>
//   KEY <code> <state>          MOUSE <x> <y> <z> <b0> <b1> <b2> <b3>
//   UNREAD <result>             (mouse read before acquisition)
//   REACQUIRED <mouseReleased>  (back in front: the mouse toggled twice,
//                               unless --no-toggle)
//   LOCKPITCH <pitchPixels>     (after the first successful lock)
//   ACTIVE <0|1>                (the window lost or regained the focus)
//   AUX <ok|bad>                CLOSED <all-null|left>          EXIT
//   GDI <ok|failed>             (--gdi: text drawn through GetDC, once)
//   KEYBOARD <result>           (with --input, when the display's Open
//                               failed: OpenKeyboard on the same window)
//   CURSOR <over> <x> <y>       (GetCursorPosition, when it changes)
// --keep opens with KeepDesktop; --paced leaves out the client's own pause
// between frames, as a game paced by its flips does; --gdi writes "lurn" in
// black on yellow at the centre of the picture through the drawing surface's
// GetDC (Windows);
// --frame-ms N draws a frame (and reads the input) every N ms at most, the
// window's messages taken meanwhile; --pattern draws a fine pattern instead
// of the quadrants; --dead-window
// passes the handle of a window destroyed first; --set NAME=VALUE calls
// LurnSetSetting (SET <name> <result>); --log FILE sends
// the lines to a file instead. On Windows, F5 makes the client area
// 643 x 487 (no multiple of a picture's size) and says WINDOW anew; --at X,Y
// puts the client area's
// corner there on the screen (0,0 is the window's), --activate TITLE only
// brings the window of that title back to the front, as a user would, and
// --sequences runs the window sequences below and exits; --own-dc gives the
// window a DC of its own, moved and clipped (see MoveAndClip); --getters
// checks the Get methods.
#include <lurn.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>

#include <ddraw.h>
#elif defined(__EMSCRIPTEN__)
#include <emscripten.h>
#include <windows.h>
#else
#include <SDL.h>
#endif
#include <dinput.h>

namespace {

struct Options {
  bool fullScreen, aux, input, toggle, pattern, deadWindow, keep, gdi, paced;
  bool sequences, ownDc, getters;
  int depth;
  int width, height;             // the mode
  int clientWidth, clientHeight; // the window's client area
  double seconds;
  int atX, atY; // the client area's corner, with `at`
  bool at;
  unsigned frameMs; // the least time from one frame to the next
};

void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char *format, ...) {
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  printf("\n");
  fflush(stdout);
}

Options ParseOptions(int argc, char **argv) {
  Options options = {false, false, false, true,  false, false, false, false,
                     false, false, false, false, 16,    320,   240,   640,
                     480,   10,    0,     0,     false, 0};
  for (int i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    const char *value = i + 1 < argc ? argv[i + 1] : "";
    if (strcmp(arg, "--fullscreen") == 0)
      options.fullScreen = true;
    else if (strcmp(arg, "--aux") == 0)
      options.aux = true;
    else if (strcmp(arg, "--input") == 0)
      options.input = true;
    else if (strcmp(arg, "--no-toggle") == 0)
      options.toggle = false;
    else if (strcmp(arg, "--pattern") == 0)
      options.pattern = true;
    else if (strcmp(arg, "--dead-window") == 0)
      options.deadWindow = true;
    else if (strcmp(arg, "--keep") == 0)
      options.keep = true;
    else if (strcmp(arg, "--gdi") == 0)
      options.gdi = true;
    else if (strcmp(arg, "--paced") == 0)
      options.paced = true;
    else if (strcmp(arg, "--sequences") == 0)
      options.sequences = true;
    else if (strcmp(arg, "--own-dc") == 0)
      options.ownDc = true;
    else if (strcmp(arg, "--getters") == 0)
      options.getters = true;
    else if (strcmp(arg, "--depth") == 0 && ++i)
      options.depth = atoi(value);
    else if (strcmp(arg, "--mode") == 0 && ++i)
      sscanf(value, "%dx%d", &options.width, &options.height);
    else if (strcmp(arg, "--client") == 0 && ++i)
      sscanf(value, "%dx%d", &options.clientWidth, &options.clientHeight);
    else if (strcmp(arg, "--at") == 0 && ++i)
      options.at = sscanf(value, "%d,%d", &options.atX, &options.atY) == 2;
    else if (strcmp(arg, "--seconds") == 0 && ++i)
      options.seconds = atof(value);
    else if (strcmp(arg, "--frame-ms") == 0 && ++i)
      options.frameMs = static_cast<unsigned>(atoi(value));
    else if (strcmp(arg, "--set") == 0 && ++i) {
      // NAME=VALUE: a setting the program chooses, before any Open.
      char name[64] = "";
      const char *equals = strchr(value, '=');
      if (equals != NULL && size_t(equals - value) < sizeof name)
        memcpy(name, value, size_t(equals - value));
      Say("SET %s %d", name, LurnSetSetting(name, equals ? equals + 1 : ""));
    } else if (strcmp(arg, "--log") == 0 && ++i)
      freopen(value, "w", stdout); // a launcher may not pass our output on
  }
  return options;
}

LurnDirectDraw display;
LurnDirectInput input;

unsigned short Pack(int red, int green, int blue) {
  int greenShift = display.redShift - display.greenBits;
  return static_cast<unsigned short>(
      ((red >> 3) << display.redShift) |
      ((green >> (8 - display.greenBits)) << greenShift) |
      ((blue >> 3) << display.blueShift));
}

// A picture whose every pixel differs from its neighbours, for checks of
// scaling pixel by pixel.
void DrawPattern() {
  unsigned short *row = static_cast<unsigned short *>(display.secondaryBits);
  for (int y = 0; y < display.height; ++y, row += display.pitchPixels)
    for (int x = 0; x < display.width; ++x)
      row[x] = Pack(x * 8 & 255, y * 4 & 255, (x + y) * 8 & 255);
}

void DrawQuadrants() {
  const unsigned short colours[4] = {Pack(255, 0, 0), Pack(0, 255, 0),
                                     Pack(0, 0, 255), Pack(255, 255, 255)};
  unsigned short *row = static_cast<unsigned short *>(display.secondaryBits);
  for (int y = 0; y < display.height; ++y, row += display.pitchPixels)
    for (int x = 0; x < display.width; ++x)
      row[x] = colours[(y * 2 / display.height) * 2 + x * 2 / display.width];
}

// Finds the auxiliary surface as the frame's clear left it (0x7FFF), then
// writes it whole and reads it back.
bool AuxiliaryMemoryHolds(int frame) {
  unsigned short *aux = static_cast<unsigned short *>(display.auxBits);
  size_t count = size_t(display.width) * display.height;
  if (aux[0] != 0x7FFF || aux[count - 1] != 0x7FFF)
    return false;
  for (size_t i = 0; i < count; ++i)
    aux[i] = static_cast<unsigned short>(i + frame);
  for (size_t i = 0; i < count; ++i)
    if (aux[i] != static_cast<unsigned short>(i + frame))
      return false;
  return true;
}

// Text drawn with GDI on the picture, as programs of the era label theirs.
void DrawText(Options const &options) {
#if defined(_WIN32)
  static bool said = false;
  HDC context = NULL;
  bool drawn = display.secondarySurface->GetDC(&context) == DD_OK;
  if (drawn) {
    SetBkMode(context, OPAQUE);
    SetBkColor(context, RGB(255, 255, 0));
    SetTextColor(context, RGB(0, 0, 0));
    drawn = TextOutA(context, options.width / 2, options.height / 2, "lurn",
                     4) != 0;
    display.secondarySurface->ReleaseDC(context);
  }
  if (!said)
    Say("GDI %s", drawn ? "ok" : "failed");
  said = true;
#else
  (void)options;
#endif
}

struct Counts {
  long frames, clearFails, lockFails, updateFails, restores;
};

struct Seen {
  unsigned char keys[256];
  long mouse[3];
  unsigned char buttons[4];
};

// Under E2E_PRESSES, the presses and strokes (repeats counted) each read
// counted and the text typed.
void SayPresses(bool mouse) {
  if (getenv("E2E_PRESSES") == NULL)
    return;
  for (int i = 0; i < (mouse ? 4 : 256); ++i) {
    int presses = mouse ? input.ButtonPresses(i)
                        : input.KeyPresses(static_cast<unsigned char>(i));
    if (presses != 0)
      Say("%s %d %d", mouse ? "CLICKS" : "PRESSES", i, presses);
    int strokes = mouse ? 0 : input.KeyStrokes(static_cast<unsigned char>(i));
    if (strokes != 0)
      Say("STROKES %d %d", i, strokes);
  }
  char text[64];
  if (!mouse && input.ReadText(text, sizeof text) > 0)
    Say("TEXT %s", text);
}

void ReadInput(Seen &seen) {
  input.GetStateKeyboard();
  SayPresses(false);
  for (int key = 0; key < 256; ++key) {
    int state = input.KeyDown(static_cast<unsigned char>(key));
    if (state != seen.keys[key]) {
      seen.keys[key] = static_cast<unsigned char>(state);
      Say("KEY %d %d", key, seen.keys[key]);
    }
  }
  if (input.GetStateMouse() != 0)
    return; // lost, and not yet back
  SayPresses(true);

  bool changed = input.mouseState.lX || input.mouseState.lY ||
                 input.mouseState.lZ ||
                 memcmp(input.mouseState.rgbButtons, seen.buttons, 4) != 0;
  seen.mouse[0] += input.mouseState.lX;
  seen.mouse[1] += input.mouseState.lY;
  seen.mouse[2] += input.mouseState.lZ;
  memcpy(seen.buttons, input.mouseState.rgbButtons, 4);
  memset(&input.mouseState, 0, 12);
  if (changed)
    Say("MOUSE %ld %ld %ld %d %d %d %d", seen.mouse[0], seen.mouse[1],
        seen.mouse[2], seen.buttons[0], seen.buttons[1], seen.buttons[2],
        seen.buttons[3]);
}

// Back in front: the mouse is toggled off and on to be acquired again (the
// library no longer needs it; --no-toggle leaves it out).
[[maybe_unused]] void Reacquire(const Options &options) {
  if (input.mouse == NULL || !options.toggle)
    return;
  input.SyncAcquireMouse();
  input.SyncAcquireMouse();
  Say("REACQUIRED %d", input.mouseReleased);
}

// The pointer on the picture, said after each frame where it changed.
void SayCursor() {
  static long last[3] = {-1, -1, -1};
  LurnLong x = -1, y = -1;
  long now[3] = {display.GetCursorPosition(&x, &y), long(x), long(y)};
  if (memcmp(now, last, sizeof now) != 0)
    Say("CURSOR %ld %ld %ld", now[0], now[1], now[2]);
  memcpy(last, now, sizeof now);
}

// One frame. A failed step costs the frame; the client restores the
// surfaces and draws everything again next time. Returns false once a lock
// failure has closed the display.
bool Frame(const Options &options, Counts &counts) {
  ++counts.frames;
  bool drawn = false;
  if (!display.ClearSecondaryBuffer()) {
    ++counts.clearFails;
  } else if (!display.LockSecondaryBuffer()) {
    ++counts.lockFails;
    if (display.directDraw == NULL) {
      Say("LOCK closed the display");
      return false;
    }
  } else {
    static bool locked = false;
    if (!locked)
      Say("LOCKPITCH %d", display.pitchPixels);
    locked = true;
    if (options.pattern)
      DrawPattern();
    else
      DrawQuadrants();
    if (options.aux && counts.frames % 50 == 1)
      Say("AUX %s", AuxiliaryMemoryHolds(int(counts.frames)) ? "ok" : "bad");
    display.UnlockSecondaryBuffer();
    if (options.gdi)
      DrawText(options);
    drawn = true;
    if (!display.UpdatePrimaryBuffer()) {
      ++counts.updateFails;
      drawn = false;
    }
  }
  if (!drawn)
    counts.restores += display.RestoreSurfaces();
  SayCursor();
  return true;
}

void SayStatus(const Counts &counts, unsigned long milliseconds) {
  Say("STATUS %ld %ld %ld %ld %ld %lu", counts.frames, counts.clearFails,
      counts.lockFails, counts.updateFails, counts.restores, milliseconds);
}

bool OpenAll(void *window, void *instance, const Options &options) {
  unsigned char flags = LurnDirectDraw::ReleaseSecondary;
  if (options.fullScreen)
    flags |= LurnDirectDraw::FullScreen;
  if (options.aux)
    flags |= LurnDirectDraw::AuxSurface;
  if (options.keep)
    flags |= LurnDirectDraw::KeepDesktop;
  int opened = display.Open(window, static_cast<unsigned short>(options.width),
                            static_cast<unsigned short>(options.height),
                            static_cast<unsigned char>(options.depth), flags);
  Say("OPEN %d", opened);
  if (!opened) {
    if (options.input)
      Say("KEYBOARD %d",
          input.Open(window, instance) ? input.OpenKeyboard(window) : -1);
    return false;
  }
  Say("LAYOUT %d %d %d %d %s", display.redShift, display.greenBits,
      display.blueShift, display.pitchPixels,
      display.secondaryBits ? "set" : "null");
  // Asked only when told: a client that takes the interfaces may draw with
  // DirectDraw itself, and the library then orders its frames after that.
  if (options.getters) {
    bool same = display.GetDD() == display.directDraw &&
                display.GetPrimarySurface() == display.primarySurface &&
                display.GetRenderSurface() == display.secondarySurface;
    Say("GETTERS %s", same ? "ok" : "bad");
  }
  if (!options.input)
    return true;
  if (!input.Open(window, instance) || !input.OpenKeyboard(window) ||
      !input.OpenMouse(window))
    return false;
  memset(&input.mouseState, 0x55, sizeof input.mouseState);
  LurnLong unread = input.GetStateMouse();
  bool untouched = input.mouseState.lX == 0x55555555;
  Say("UNREAD %ld %s", static_cast<long>(unread),
      untouched ? "untouched" : "read");
  memset(&input.mouseState, 0, sizeof input.mouseState);
  input.SyncAcquireMouse();
  return true;
}

void CloseAll() {
  input.SyncAcquireKeyboard(); // its toggle exercised once, undone by Close
  input.Close();
  display.Close();
  bool allNull = !display.directDraw && !display.directDraw2 &&
                 !display.primarySurface && !display.secondarySurface &&
                 !display.auxSurface && !display.clipper &&
                 !input.directInput && !input.keyboard && !input.mouse;
  Say("CLOSED %s", allNull ? "all-null" : "left");
}

} // namespace

#if defined(_WIN32)

namespace {

bool windowClosed = false;
bool activated = false;

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure,
                         const char *name, UINT style = 0) {
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = name;
  RegisterClassA(&windowClass);
}

void SayWindow(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  Say("WINDOW %ld %ld %ld %ld", origin.x, origin.y, client.right,
      client.bottom);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  if (message == WM_DESTROY) {
    windowClosed = true;
    return 0;
  }
  if (message == WM_ACTIVATEAPP) {
    Say("ACTIVE %d", wParam ? 1 : 0);
    activated = activated || wParam;
  }
  if (message == WM_KEYDOWN && wParam == VK_F5) {
    RECT frame = {0, 0, 643, 487};
    AdjustWindowRect(&frame, DWORD(GetWindowLongA(window, GWL_STYLE)), FALSE);
    SetWindowPos(window, NULL, 0, 0, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    SayWindow(window);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

// --sequences: what programs do to their window around a display keeping
// the desktop, each step at once through the window's messages, one line
// of what came out per case, in this order:
//   TWO <seen> <x> <y> <w> <h> Alt+Enter sent to a window whose display
//                              closed under the program's hook: whether its
//                              own procedure saw it, and where the full-
//                              screen window of another display is
//   UNICODE <char> <unicode>   a character beyond the code page sent to a
//                              Unicode window with a display on it
//   GIVEN <case> <x> <y> <w> <h> <framed>  after Close, restored
//   REOPEN <x> <y> <w> <h>     the program hooked its window, the display
//                              closed and opened again: after Alt+Enter
//   REOPENED <x> <y> <w> <h>   the same window after the last Close
//   TEXT <a> <b> <hooked>      two keyboards on one window: what each read
//                              of one character; then the program's hook
//                              set above, both closed: characters it saw
//   THREAD <read>              ReadText and Close on a thread that does
//                              not own the keyboard's window: bytes read
namespace {

WNDPROC programBeneath;
int sysKeysSeen;
int hookCharacters;
WPARAM lastCharacter;

LRESULT CALLBACK ProgramHook(HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  if (message == WM_CHAR)
    ++hookCharacters;
  return CallWindowProcA(programBeneath, window, message, wParam, lParam);
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam) {
  if (message == WM_SYSKEYDOWN)
    ++sysKeysSeen;
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK UnicodeProc(HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  if (message == WM_CHAR)
    lastCharacter = wParam;
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND SequenceWindow(HINSTANCE instance, DWORD style) {
  HWND window =
      CreateWindowA("lurn sequence", "lurn sequence", style | WS_VISIBLE, 60,
                    70, 328, 267, NULL, NULL, instance, NULL);
  return window;
}

void SendAltEnter(HWND window) {
  SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, 1 | 1L << 29);
  SendMessageA(window, WM_SYSKEYUP, VK_RETURN, 1 | 1L << 29 | 3L << 30);
}

void Hook(HWND window, bool on) {
  LONG_PTR hook = reinterpret_cast<LONG_PTR>(ProgramHook);
  if (on)
    programBeneath = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, hook));
  else
    SetWindowLongPtrA(window, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(programBeneath));
}

void SayPlace(const char *what, HWND window) {
  RECT place;
  GetWindowRect(window, &place);
  Say("%s %ld %ld %ld %ld", what, place.left, place.top,
      place.right - place.left, place.bottom - place.top);
}

DWORD WINAPI ReadOnAnotherThread(LPVOID record) {
  LurnDirectInput &keys = *static_cast<LurnDirectInput *>(record);
  char text[8];
  int read = keys.ReadText(text, sizeof text);
  keys.Close();
  return DWORD(read);
}

void TypedText(HINSTANCE instance) {
  static LurnDirectInput first, second;
  HWND typed = SequenceWindow(instance, WS_OVERLAPPEDWINDOW);
  char text[2][8];
  LurnDirectInput *keys[2] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    keys[i]->Open(typed, instance);
    keys[i]->OpenKeyboard(typed);
    keys[i]->ReadText(text[i], sizeof text[i]);
  }
  SendMessageA(typed, WM_CHAR, 'x', 1);
  for (int i = 0; i < 2; ++i)
    keys[i]->ReadText(text[i], sizeof text[i]);
  Hook(typed, true);
  first.Close();
  second.Close();
  hookCharacters = 0;
  SendMessageA(typed, WM_CHAR, 'y', 1);
  Say("TEXT %s %s %d", text[0], text[1], hookCharacters);
  Hook(typed, false);

  first.Open(typed, instance);
  first.OpenKeyboard(typed);
  HANDLE thread = CreateThread(NULL, 0, ReadOnAnotherThread, &first, 0, NULL);
  DWORD read = 99;
  WaitForSingleObject(thread, INFINITE);
  GetExitCodeThread(thread, &read);
  CloseHandle(thread);
  Say("THREAD %lu", static_cast<unsigned long>(read));
  DestroyWindow(typed);
}

void Sequences(HINSTANCE instance) {
  const unsigned char windowed =
      LurnDirectDraw::ReleaseSecondary | LurnDirectDraw::KeepDesktop;
  const unsigned char fullScreen = windowed | LurnDirectDraw::FullScreen;
  RegisterWindowClass(instance, CountingProc, "lurn sequence");

  HWND window = SequenceWindow(instance, WS_OVERLAPPEDWINDOW);
  // Wine gives a new DirectDraw object the address of one just released.
  HWND other = SequenceWindow(instance, WS_POPUP);
  for (int attempt = 0; attempt < 3; ++attempt) {
    display.Open(window, 320, 240, 16, windowed);
    Hook(window, true);
    display.Close();
    display.Open(other, 640, 480, 16, fullScreen);
    sysKeysSeen = 0;
    SendAltEnter(window);
    display.UpdatePrimaryBuffer();
    RECT place;
    GetWindowRect(other, &place);
    Say("TWO %d %ld %ld %ld %ld", sysKeysSeen, place.left, place.top,
        place.right - place.left, place.bottom - place.top);
    display.Close();
    Hook(window, false);
  }
  DestroyWindow(other);

  WNDCLASSW unicodeClass;
  memset(&unicodeClass, 0, sizeof unicodeClass);
  unicodeClass.lpfnWndProc = UnicodeProc;
  unicodeClass.hInstance = instance;
  unicodeClass.lpszClassName = L"lurn unicode";
  RegisterClassW(&unicodeClass);
  HWND unicode = CreateWindowW(L"lurn unicode", L"lurn unicode",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 70, 328,
                               267, NULL, NULL, instance, NULL);
  display.Open(unicode, 320, 240, 16, windowed);
  SendMessageW(unicode, WM_CHAR, 0x4E2D, 1);
  Say("UNICODE %lx %d", static_cast<unsigned long>(lastCharacter),
      IsWindowUnicode(unicode) ? 1 : 0);
  display.Close();
  DestroyWindow(unicode);

  // Close gives back what Open found: minimised meanwhile, Alt+Enter while
  // minimised, two full-screen displays closed in the order they opened.
  static LurnDirectDraw second;
  const char *cases[] = {"minimised", "alt-enter-minimised", "two-displays"};
  for (int i = 0; i < 3; ++i) {
    HWND given = SequenceWindow(instance, WS_OVERLAPPEDWINDOW);
    display.Open(given, 320, 240, 16, i == 1 ? windowed : fullScreen);
    if (i == 2)
      second.Open(given, 640, 480, 16, fullScreen);
    else
      ShowWindow(given, SW_MINIMIZE);
    if (i == 1) {
      SendAltEnter(given);
      display.UpdatePrimaryBuffer();
    }
    display.Close();
    second.Close();
    ShowWindow(given, SW_RESTORE);
    RECT place;
    GetWindowRect(given, &place);
    LONG_PTR style = GetWindowLongPtrA(given, GWL_STYLE);
    Say("GIVEN %s %ld %ld %ld %ld %d", cases[i], place.left, place.top,
        place.right - place.left, place.bottom - place.top,
        (style & WS_CAPTION) == WS_CAPTION ? 1 : 0);
    DestroyWindow(given);
  }
  // Last: before, this one recursed without end.
  display.Open(window, 320, 240, 16, windowed);
  Hook(window, true);
  for (int open = 0; open < 3; ++open) {
    display.Close();
    display.Open(window, 320, 240, 16, windowed);
  }
  SendAltEnter(window);
  display.UpdatePrimaryBuffer();
  SayPlace("REOPEN", window);
  display.Close();
  Hook(window, false);
  SayPlace("REOPENED", window);
  DestroyWindow(window);
  TypedText(instance);
}

} // namespace

// --own-dc: the window has a DC of its own (CS_OWNDC), which the program
// keeps with its viewport origin moved and a clip region selected, as
// programs that draw their own decorations do; OWNDC <origin> <clip box>
// says at the 30th frame how the program finds it then.
void MoveAndClip(HWND window) {
  HDC context = GetDC(window);
  SetViewportOrgEx(context, 37, 23, NULL);
  HRGN clip = CreateRectRgn(0, 0, 50, 50);
  SelectClipRgn(context, clip);
  DeleteObject(clip);
  ReleaseDC(window, context);
}

void SayOwnDc(HWND window) {
  HDC context = GetDC(window);
  POINT origin = {0, 0};
  RECT box = {0, 0, 0, 0};
  GetViewportOrgEx(context, &origin);
  GetClipBox(context, &box);
  ReleaseDC(window, context);
  Say("OWNDC %ld %ld %ld %ld %ld %ld", origin.x, origin.y, box.left, box.top,
      box.right, box.bottom);
}

// What a user does with the taskbar: the window comes back to the front.
int Activate(const char *title) {
  HWND window = FindWindowA(NULL, title);
  if (window == NULL)
    return 1;
  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  return 0;
}

int main(int argc, char **argv) {
  if (argc == 3 && strcmp(argv[1], "--activate") == 0)
    return Activate(argv[2]);
  Options options = ParseOptions(argc, argv);
  HINSTANCE instance = GetModuleHandleA(NULL);
  if (options.sequences) {
    Sequences(instance);
    Say("EXIT");
    return 0;
  }
  RegisterWindowClass(instance, WindowProc, "lurn e2e",
                      options.ownDc ? CS_OWNDC : 0);
  DWORD style = options.fullScreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
  RECT frame = {0, 0, options.clientWidth, options.clientHeight};
  AdjustWindowRect(&frame, style, FALSE);
  int x = options.at ? options.atX + frame.left : 0;
  int y = options.at ? options.atY + frame.top : 0;
  HWND window =
      CreateWindowA("lurn e2e", "lurn e2e", style | WS_VISIBLE, x, y,
                    frame.right - frame.left, frame.bottom - frame.top, NULL,
                    NULL, instance, NULL);
  if (options.deadWindow)
    DestroyWindow(window);
  if (options.ownDc)
    MoveAndClip(window);
  Counts counts = {0, 0, 0, 0, 0};
  Seen seen;
  memset(&seen, 0, sizeof seen);
  if (OpenAll(window, instance, options)) {
    SayWindow(window);
    DWORD start = GetTickCount(), lastStatus = start, lastFrame = 0;
    while (!windowClosed && GetTickCount() - start < options.seconds * 1000) {
      MSG message;
      while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      if (GetTickCount() - lastFrame < options.frameMs) {
        Sleep(5);
        continue;
      }
      lastFrame = GetTickCount();
      if (activated && GetTickCount() - start > 500)
        Reacquire(options);
      activated = false;
      if (options.input)
        ReadInput(seen);
      if (!Frame(options, counts))
        break;
      if (options.ownDc && counts.frames == 30)
        SayOwnDc(window);
      if (GetTickCount() - lastStatus >= 250) {
        lastStatus = GetTickCount();
        SayStatus(counts, lastStatus - start);
      }
      if (!options.paced)
        Sleep(5);
    }
  }
  CloseAll();
  DestroyWindow(window);
  Say("EXIT");
  return 0;
}

#elif defined(__EMSCRIPTEN__)

// In a web page: the page's canvas is the window; the loop has no message
// pump, and the page gets its turn at each present and Sleep.
int main(int argc, char **argv) {
  Options options = ParseOptions(argc, argv);
  HWND window = CanvasWindow("#screen");
  Counts counts = {0, 0, 0, 0, 0};
  Seen seen;
  memset(&seen, 0, sizeof seen);
  if (OpenAll(window, NULL, options)) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    Say("WINDOW 0 0 %ld %ld", long(client.right), long(client.bottom));
    double start = emscripten_get_now(), lastStatus = start;
    while (emscripten_get_now() - start < options.seconds * 1000) {
      double frameStart = emscripten_get_now();
      if (options.input)
        ReadInput(seen);
      if (!Frame(options, counts))
        break;
      if (emscripten_get_now() - lastStatus >= 250) {
        lastStatus = emscripten_get_now();
        SayStatus(counts, (unsigned long)(lastStatus - start));
      }
      double spent = emscripten_get_now() - frameStart;
      if (options.frameMs > spent)
        Sleep(DWORD(options.frameMs - spent));
    }
  }
  CloseAll();
  Say("EXIT");
  return 0;
}

#else

int main(int argc, char **argv) {
  Options options = ParseOptions(argc, argv);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    Say("SDL_Init failed: %s", SDL_GetError());
    return 1;
  }
  SDL_Window *window = SDL_CreateWindow("lurn e2e", 0, 0, options.clientWidth,
                                        options.clientHeight, 0);
  if (options.fullScreen)
    SDL_ShowCursor(SDL_DISABLE); // as a game does: no pointer over the picture
  Counts counts = {0, 0, 0, 0, 0};
  Seen seen;
  memset(&seen, 0, sizeof seen);
  void *handle = window; // with --dead-window, a destroyed window's
  if (options.deadWindow && window != NULL) {
    SDL_DestroyWindow(window);
    window = NULL;
  }
  if (handle != NULL && OpenAll(handle, NULL, options)) {
    int x, y, w, h;
    SDL_PumpEvents();
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &w, &h);
    Say("WINDOW %d %d %d %d", x, y, w, h);
    Uint32 start = SDL_GetTicks(), lastStatus = start, lastFrame = 0;
    bool windowClosed = false;
    while (!windowClosed && SDL_GetTicks() - start < options.seconds * 1000) {
      SDL_Event event;
      while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
          windowClosed = true;
        if (event.type == SDL_WINDOWEVENT &&
            (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
             event.window.event == SDL_WINDOWEVENT_FOCUS_LOST))
          Say("ACTIVE %d",
              event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ? 1 : 0);
        if (event.type == SDL_WINDOWEVENT &&
            event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED &&
            SDL_GetTicks() - start > 500)
          Reacquire(options);
      }
      if (SDL_GetTicks() - lastFrame < options.frameMs) {
        SDL_Delay(5);
        continue;
      }
      lastFrame = SDL_GetTicks();
      if (options.input)
        ReadInput(seen);
      if (!Frame(options, counts))
        break;
      if (SDL_GetTicks() - lastStatus >= 250) {
        lastStatus = SDL_GetTicks();
        SayStatus(counts, lastStatus - start);
      }
      SDL_Delay(5);
    }
  }
  CloseAll();
  if (window != NULL)
    SDL_DestroyWindow(window);
  SDL_Quit();
  Say("EXIT");
  return 0;
}

#endif
