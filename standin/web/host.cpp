// The stand-in's browser host: the page's canvas is the one window, its
// events come through Emscripten's html5.h, and the picture, the clock,
// the wait for the next frame and the dialog through host.js. Handlers only
// queue events; the platform takes them in when it pumps, between frames.
#include <emscripten/html5.h>
#include <string.h>

#include <vector>

#include "present/alt_enter.h"
#include "present/frame_policy.h"
#include "present/pacing.h"
#include "standin.h"

extern "C" {
// host.js: see there.
int lurn_host_attach(const char *selector, const char *sink);
void lurn_host_put(const unsigned char *rgba, int width, int height);
void lurn_host_canvas_size(int *width, int *height);
void lurn_host_to_canvas(double clientX, double clientY, int *x, int *y);
int lurn_host_sink_focused();
double lurn_host_now();
void lurn_host_wait_frame(); // the one point where the page gets its turn
void lurn_host_request(int fullScreen, int pointerLock);
void lurn_host_leave_full_screen();
int lurn_host_take_text(char *buffer, int size);
void lurn_host_show_dialog(const char *title, const char *text);
int lurn_host_dialog_open();
void lurn_host_set_cursor(int hidden);
}

// The canvas's Alt+Enter: how many displays take it there.
struct WindowAltEnter {
  int takers;
};

namespace {

const char kSink[] = "#lurn-text";
const uint32_t kCanvasId = 1;

struct Canvas {
  bool attached;
  char selector[64];
};
Canvas canvas;

// An event as a handler saw it, taken in at the next pump.
struct HostEvent {
  enum Kind { kKey, kButton, kMotion, kWheel, kFocus, kBlur, kMouseLost } kind;
  unsigned char key;
  bool down, repeat, alt;
  bool space; // a Space press that gives text: its default is prevented
  int index;
  long x, y;
  int virtualKey;
  DWORD time;
};
std::vector<HostEvent> pending;

// Exclusive mode wants the full screen; Alt+Enter switches a window there
// and back. Leaving it with Esc takes the focus, as a switch away does.
bool exclusiveWanted = false;
bool fullScreen = false;
WindowAltEnter canvasAltEnter = {0};
AltEnter altEnter;
// Where the last present put the picture, for the pointer in exclusive mode.
Rect shownArea = {0, 0, 0, 0}, shownPicture = {0, 0, 0, 0};
int pointerX = 0, pointerY = 0;
// Frames the page has had since the last present: an unpaced loop gets one.
unsigned framesWaited = 0, framesAtPresent = 0;
double lastTurn = 0; // when the page last had its turn
// A loop that calls the platform without presenting (its window in the
// back, its surfaces lost, reading input only) still gives the page a turn
// this often: the press or click that brings it back must get through.
const double kLongestWithoutTurn = 50;
std::vector<unsigned char> rgba;

DWORD Millis(double timestamp) {
  return DWORD(static_cast<long long>(timestamp));
}

// KeyboardEvent.code to DirectInput's key codes: one table.
struct KeyName {
  const char *code;
  unsigned char key;
};
const KeyName kKeys[] = {
    {"Escape", DIK_ESCAPE},
    {"Digit1", DIK_1},
    {"Digit2", DIK_2},
    {"Digit3", DIK_3},
    {"Digit4", DIK_4},
    {"Digit5", DIK_5},
    {"Digit6", DIK_6},
    {"Digit7", DIK_7},
    {"Digit8", DIK_8},
    {"Digit9", DIK_9},
    {"Digit0", DIK_0},
    {"Minus", DIK_MINUS},
    {"Equal", DIK_EQUALS},
    {"Backspace", DIK_BACK},
    {"Tab", DIK_TAB},
    {"KeyQ", DIK_Q},
    {"KeyW", DIK_W},
    {"KeyE", DIK_E},
    {"KeyR", DIK_R},
    {"KeyT", DIK_T},
    {"KeyY", DIK_Y},
    {"KeyU", DIK_U},
    {"KeyI", DIK_I},
    {"KeyO", DIK_O},
    {"KeyP", DIK_P},
    {"BracketLeft", DIK_LBRACKET},
    {"BracketRight", DIK_RBRACKET},
    {"Enter", DIK_RETURN},
    {"ControlLeft", DIK_LCONTROL},
    {"KeyA", DIK_A},
    {"KeyS", DIK_S},
    {"KeyD", DIK_D},
    {"KeyF", DIK_F},
    {"KeyG", DIK_G},
    {"KeyH", DIK_H},
    {"KeyJ", DIK_J},
    {"KeyK", DIK_K},
    {"KeyL", DIK_L},
    {"Semicolon", DIK_SEMICOLON},
    {"Quote", DIK_APOSTROPHE},
    {"Backquote", DIK_GRAVE},
    {"ShiftLeft", DIK_LSHIFT},
    {"Backslash", DIK_BACKSLASH},
    {"KeyZ", DIK_Z},
    {"KeyX", DIK_X},
    {"KeyC", DIK_C},
    {"KeyV", DIK_V},
    {"KeyB", DIK_B},
    {"KeyN", DIK_N},
    {"KeyM", DIK_M},
    {"Comma", DIK_COMMA},
    {"Period", DIK_PERIOD},
    {"Slash", DIK_SLASH},
    {"ShiftRight", DIK_RSHIFT},
    {"NumpadMultiply", DIK_MULTIPLY},
    {"AltLeft", DIK_LMENU},
    {"Space", DIK_SPACE},
    {"CapsLock", DIK_CAPITAL},
    {"F1", DIK_F1},
    {"F2", DIK_F2},
    {"F3", DIK_F3},
    {"F4", DIK_F4},
    {"F5", DIK_F5},
    {"F6", DIK_F6},
    {"F7", DIK_F7},
    {"F8", DIK_F8},
    {"F9", DIK_F9},
    {"F10", DIK_F10},
    {"NumLock", DIK_NUMLOCK},
    {"ScrollLock", DIK_SCROLL},
    {"Numpad7", DIK_NUMPAD7},
    {"Numpad8", DIK_NUMPAD8},
    {"Numpad9", DIK_NUMPAD9},
    {"NumpadSubtract", DIK_SUBTRACT},
    {"Numpad4", DIK_NUMPAD4},
    {"Numpad5", DIK_NUMPAD5},
    {"Numpad6", DIK_NUMPAD6},
    {"NumpadAdd", DIK_ADD},
    {"Numpad1", DIK_NUMPAD1},
    {"Numpad2", DIK_NUMPAD2},
    {"Numpad3", DIK_NUMPAD3},
    {"Numpad0", DIK_NUMPAD0},
    {"NumpadDecimal", DIK_DECIMAL},
    {"IntlBackslash", DIK_OEM_102},
    {"F11", DIK_F11},
    {"F12", DIK_F12},
    {"NumpadEqual", DIK_NUMPADEQUALS},
    {"NumpadEnter", DIK_NUMPADENTER},
    {"ControlRight", DIK_RCONTROL},
    {"NumpadDivide", DIK_DIVIDE},
    {"PrintScreen", DIK_SYSRQ},
    {"AltRight", DIK_RMENU},
    {"Pause", DIK_PAUSE},
    {"Home", DIK_HOME},
    {"ArrowUp", DIK_UP},
    {"PageUp", DIK_PRIOR},
    {"ArrowLeft", DIK_LEFT},
    {"ArrowRight", DIK_RIGHT},
    {"End", DIK_END},
    {"ArrowDown", DIK_DOWN},
    {"PageDown", DIK_NEXT},
    {"Insert", DIK_INSERT},
    {"Delete", DIK_DELETE},
    {"MetaLeft", DIK_LWIN},
    {"MetaRight", DIK_RWIN},
    {"ContextMenu", DIK_APPS},
};

unsigned char KeyOfCode(const char *code) {
  for (const KeyName &name : kKeys)
    if (strcmp(name.code, code) == 0)
      return name.key;
  return 0;
}

// Keys a browser would act on while the canvas has the focus; printable
// keys keep their default, which gives the text.
bool BrowserKey(const EmscriptenKeyboardEvent &event, unsigned char key) {
  if (event.ctrlKey || event.altKey || event.metaKey)
    return true;
  switch (key) {
  case DIK_UP:
  case DIK_DOWN:
  case DIK_LEFT:
  case DIK_RIGHT:
  case DIK_SPACE:
  case DIK_BACK:
  case DIK_TAB:
  case DIK_F1:
  case DIK_F2:
  case DIK_F3:
  case DIK_F4:
  case DIK_F5:
  case DIK_F6:
  case DIK_F7:
  case DIK_F8:
  case DIK_F9:
  case DIK_F10:
  case DIK_F11:
  case DIK_F12:
    return true;
  default:
    return false;
  }
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent *event, void *) {
  unsigned char key = KeyOfCode(event->code);
  bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
  if (canvasAltEnter.takers > 0 &&
      NoteAltEnterKey(altEnter, key == DIK_RETURN,
                      down ? kAltEnterKeyDown : kAltEnterKeyUp, event->altKey,
                      event->repeat))
    return EM_TRUE; // the stand-in's own key: applied at the next present
  if (key == 0)
    return EM_FALSE;
  // Space is printable, but scrolls the page: its text comes with the key.
  bool space = key == DIK_SPACE && down && !event->ctrlKey && !event->altKey;
  pending.push_back(HostEvent{HostEvent::kKey, key, down, bool(event->repeat),
                              bool(event->altKey), space, 0, 0, 0,
                              int(event->keyCode), Millis(event->timestamp)});
  return BrowserKey(*event, key);
}

void ToCanvas(const EmscriptenMouseEvent &event, int &x, int &y) {
  lurn_host_to_canvas(double(event.clientX), double(event.clientY), &x, &y);
}

EM_BOOL OnMouse(int type, const EmscriptenMouseEvent *event, void *) {
  DWORD time = Millis(event->timestamp);
  if (type == EMSCRIPTEN_EVENT_MOUSEMOVE) {
    ToCanvas(*event, pointerX, pointerY);
    pending.push_back(HostEvent{HostEvent::kMotion, 0, false, false, false,
                                false, 0, event->movementX, event->movementY, 0,
                                time});
    return EM_FALSE;
  }
  // DirectInput numbers the buttons left, right, middle; the page left,
  // middle, right.
  const int kIndex[] = {0, 2, 1, 3};
  if (event->button > 3)
    return EM_FALSE;
  bool down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
  if (down && exclusiveWanted)
    lurn_host_request(0, 1); // an exclusive display's mouse: locked
  ToCanvas(*event, pointerX, pointerY);
  pending.push_back(HostEvent{HostEvent::kButton, 0, down, false, false, false,
                              kIndex[event->button], 0, 0, 0, time});
  return EM_FALSE;
}

EM_BOOL OnWheel(int, const EmscriptenWheelEvent *event, void *) {
  // One notch a wheel step; the page's wheel counts down as positive.
  long notches = event->deltaY < 0 ? 1 : event->deltaY > 0 ? -1 : 0;
  pending.push_back(HostEvent{HostEvent::kWheel, 0, false, false, false, false,
                              0, notches, 0, 0,
                              Millis(event->mouse.timestamp)});
  return EM_TRUE;
}

EM_BOOL OnFocus(int type, const EmscriptenFocusEvent *, void *) {
  pending.push_back(HostEvent{type == EMSCRIPTEN_EVENT_FOCUS ? HostEvent::kFocus
                                                             : HostEvent::kBlur,
                              0, false, false, false, false, 0, 0, 0, 0, 0});
  return EM_FALSE;
}

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent *event,
                     void *) {
  // Hidden, the keys are let go; shown again, the canvas may still hold
  // the focus without a focus event.
  if (event->hidden || lurn_host_sink_focused())
    pending.push_back(
        HostEvent{event->hidden ? HostEvent::kBlur : HostEvent::kFocus, 0,
                  false, false, false, false, 0, 0, 0, 0, 0});
  return EM_FALSE;
}

EM_BOOL OnFullScreen(int, const EmscriptenFullscreenChangeEvent *event,
                     void *) {
  bool now = event->isFullscreen != 0;
  // Leaving it (Esc) while the display wants it is a switch away: the focus
  // goes, and the next press or click asks for the full screen again.
  if (fullScreen && !now && exclusiveWanted) {
    pending.push_back(HostEvent{HostEvent::kBlur, 0, false, false, false, false,
                                0, 0, 0, 0, 0});
    lurn_host_request(1, 0);
  }
  if (!fullScreen && now && exclusiveWanted)
    pending.push_back(HostEvent{HostEvent::kFocus, 0, false, false, false,
                                false, 0, 0, 0, 0, 0});
  fullScreen = now;
  return EM_FALSE;
}

// The pointer lock's end (the browser's Esc) is a lost mouse.
EM_BOOL OnPointerLock(int, const EmscriptenPointerlockChangeEvent *event,
                      void *) {
  if (!event->isActive && exclusiveWanted)
    pending.push_back(HostEvent{HostEvent::kMouseLost, 0, false, false, false,
                                false, 0, 0, 0, 0, 0});
  return EM_FALSE;
}

void TakeEvent(const HostEvent &event) {
  if (event.kind == HostEvent::kKey && event.down)
    SendKeyDown(kCanvasId, event.key, WPARAM(event.virtualKey), event.alt,
                event.repeat);
  if (event.space)
    SendText(kCanvasId, " ");
  InputLock lock;
  InputState &input = Input();
  switch (event.kind) {
  case HostEvent::kKey:
    NoteKey(event.key, event.down, event.repeat, event.time);
    break;
  case HostEvent::kButton:
    NoteButton(event.index, event.down, event.time);
    break;
  case HostEvent::kMotion:
    NoteMotion(event.x, event.y, event.time);
    break;
  case HostEvent::kWheel:
    NoteWheel(event.x, event.time);
    break;
  case HostEvent::kFocus:
    input.focusWindowId = kCanvasId;
    input.focusKnown = true;
    break;
  case HostEvent::kMouseLost:
    ++input.focusLosses; // the devices read as lost and acquire again
    break;
  case HostEvent::kBlur:
    if (!input.focusKnown || input.focusWindowId == kCanvasId) {
      LoseInputFocus();
      altEnter.returnHeld = false;
    }
    break;
  }
}

void WaitForFrame() {
  lurn_host_wait_frame();
  ++framesWaited;
  lastTurn = lurn_host_now();
}

void KeepPageAlive() {
  if (lurn_host_now() - lastTurn > kLongestWithoutTurn)
    WaitForFrame();
}

// The pacing's clock: the page's, less the time the tab was hidden, so
// that a tab shown again counts no late frames for the gap. A sleep waits
// for the next frame, which is the refresh.
class PageClock : public PacingClock {
public:
  long long Now() override { return (long long)(lurn_host_now() * 1000.0); }
  long long TicksPerSecond() override { return 1000000; }
  void SleepUntil(long long) override {
    if (framesWaited == framesAtPresent)
      WaitForFrame();
  }
  Refresh ReadRefresh() override {
    return Refresh{PeriodOfWholeHertz(1000000, 60), false, 0};
  }
};

} // namespace

HWND WINAPI CanvasWindow(const char *selector) {
  if (selector == NULL || strlen(selector) >= sizeof canvas.selector)
    return NULL;
  if (canvas.attached)
    return strcmp(selector, canvas.selector) == 0 ? &canvas : NULL;
  if (!lurn_host_attach(selector, kSink + 1))
    return NULL;
  strcpy(canvas.selector, selector);
  canvas.attached = true;
  emscripten_set_keydown_callback(kSink, NULL, true, OnKey);
  emscripten_set_keyup_callback(kSink, NULL, true, OnKey);
  emscripten_set_focus_callback(kSink, NULL, true, OnFocus);
  emscripten_set_blur_callback(kSink, NULL, true, OnFocus);
  emscripten_set_mousedown_callback(selector, NULL, true, OnMouse);
  emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, NULL, true,
                                  OnMouse);
  emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, NULL, true,
                                    OnMouse);
  emscripten_set_wheel_callback(selector, NULL, true, OnWheel);
  emscripten_set_visibilitychange_callback(NULL, true, OnVisibility);
  emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT,
                                           NULL, true, OnFullScreen);
  emscripten_set_pointerlockchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT,
                                            NULL, true, OnPointerLock);
  return &canvas;
}

uint32_t WindowIdFromHandle(HWND window) {
  return window == &canvas && canvas.attached ? kCanvasId : 0;
}
HWND WindowHandle(uint32_t id) {
  return id == kCanvasId && canvas.attached ? &canvas : NULL;
}
void ForgetDeadWindows() {}
void WatchEvents() {}

bool ReadDesktopSize(DWORD &width, DWORD &height) {
  int w = 0, h = 0;
  lurn_host_canvas_size(&w, &h);
  if (w <= 0 || h <= 0)
    return false;
  width = DWORD(w);
  height = DWORD(h);
  return true;
}

void ShowSystemCursor() { lurn_host_set_cursor(0); }

void CoverScreen(uint32_t) {
  exclusiveWanted = true;
  lurn_host_request(1, 0); // carried out now or at the next press or click
}
void PutWindowBack(uint32_t) {
  exclusiveWanted = false;
  lurn_host_leave_full_screen();
}

void ShowOnWindow(uint32_t windowId, const Pixels &source, const Rect &from,
                  const RECT *screenArea, const Settings &settings,
                  PresentScratch &scratch) {
  // An unpaced loop gets its frame here: the page must have its turn.
  if (framesWaited == framesAtPresent)
    WaitForFrame();
  framesAtPresent = framesWaited;
  if (windowId != kCanvasId || !canvas.attached)
    return;
  // Alt+Enter's presses: the page's full screen went with the key itself;
  // the picture follows the full screen (fullScreen below).
  while (NextAltEnterMove(altEnter, screenArea == NULL) != kAltEnterNone) {
  }
  int width = 0, height = 0;
  lurn_host_canvas_size(&width, &height);
  if (width <= 0 || height <= 0)
    return;
  rgba.resize(size_t(width) * size_t(height) * 4);
  TargetPixels target = {
      rgba.data(), width, height, width * 4,
      PixelFormat{32, 0x0000FF, 0x00FF00, 0xFF0000, 0xFF000000u}};
  Rect area = {0, 0, width, height};
  if (screenArea != NULL)
    area = Rect{int(screenArea->left), int(screenArea->top),
                int(screenArea->right - screenArea->left),
                int(screenArea->bottom - screenArea->top)};
  ScaleMode mode = ScaleFor(settings.scale, screenArea == NULL || fullScreen);
  Rect picture = PlacePicture(mode, from.w, from.h, area);
  FillAround(target, area, picture);
  PresentScaled(source, from, target, picture, Rect{0, 0, width, height},
                scratch);
  lurn_host_put(rgba.data(), width, height);
  shownArea = area;
  shownPicture = picture;
  if (settings.hideCursor)
    lurn_host_set_cursor(1);
}

bool HasFocus(uint32_t windowId) {
  if (WindowHandle(windowId) == NULL)
    return false;
  // A client's loop has no pump of its own: the events queued so far are
  // taken in first, in order, for the focus they carry.
  if (!pending.empty())
    PumpEvents();
  bool focused;
  {
    InputLock lock;
    const InputState &input = Input();
    focused = !input.focusKnown || input.focusWindowId == windowId;
  }
  // A full-screen client in the back idles a frame at each call, as a
  // minimised game would; any other loop gets no more than its due.
  if (!focused && exclusiveWanted)
    WaitForFrame();
  else
    KeepPageAlive();
  return focused;
}

void TakeHostEvents() {
  KeepPageAlive();
  std::vector<HostEvent> events;
  events.swap(pending);
  for (const HostEvent &event : events)
    TakeEvent(event);
  char text[256];
  while (lurn_host_take_text(text, sizeof text) > 0)
    SendText(kCanvasId, text);
}

WindowAltEnter *HoldAltEnter(uint32_t windowId) {
  if (WindowHandle(windowId) == NULL)
    return NULL;
  ++canvasAltEnter.takers;
  return &canvasAltEnter;
}

void ForgetAltEnter(WindowAltEnter *held, uint32_t) {
  if (held == NULL || --held->takers > 0)
    return;
  if (altEnter.switched && !altEnter.switchedFullScreen)
    lurn_host_leave_full_screen();
  altEnter = AltEnter();
}

PacingClock *NewPacingClock(void *) { return new PageClock; }

// The window-system calls. The screen is the canvas's pixels.
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  lurn_host_show_dialog(caption != NULL ? caption : "",
                        text != NULL ? text : "");
  // The page's turn comes at each frame; the box is modal to the client.
  while (lurn_host_dialog_open())
    lurn_host_wait_frame();
  return IDOK;
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (rect == NULL)
    return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
  int width = 0, height = 0;
  if (WindowIdFromHandle(window) == 0 || rect == NULL)
    return FALSE;
  lurn_host_canvas_size(&width, &height);
  return SetRect(rect, 0, 0, width, height);
}

BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) {
  return WindowIdFromHandle(window) != 0 && point != NULL;
}
BOOL WINAPI ScreenToClient(HWND window, LPPOINT point) {
  return WindowIdFromHandle(window) != 0 && point != NULL;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
  if (point == NULL || !canvas.attached)
    return FALSE;
  int x = pointerX, y = pointerY;
  DisplayLock hold;
  const EmulatedDisplay &display = Display();
  if (display.exclusiveWindowId != 0) {
    // The mode's pixels, through where the last present showed them; the
    // bars around the picture are off the emulated screen.
    int width = int(display.width), height = int(display.height);
    int pictureX = 0, pictureY = 0;
    PointerOnPicture(shownPicture, width, height, x, y, pictureX, pictureY);
    x = x < shownPicture.x                     ? -1
        : x >= shownPicture.x + shownPicture.w ? width
                                               : pictureX;
    y = y < shownPicture.y                     ? -1
        : y >= shownPicture.y + shownPicture.h ? height
                                               : pictureY;
  }
  *point = POINT{x, y};
  return TRUE;
}

void WINAPI Sleep(DWORD milliseconds) {
  double until = lurn_host_now() + milliseconds;
  do
    WaitForFrame();
  while (lurn_host_now() < until);
}

BOOL WINAPI CloseHandle(HANDLE handle) { return handle != NULL; }

// The page has no windows of the window system's own.
HWND WINAPI CreateWindowExW(DWORD, const wchar_t *, const wchar_t *, DWORD, int,
                            int, int, int, HWND, HMENU, HINSTANCE, void *) {
  return NULL;
}
BOOL WINAPI DestroyWindow(HWND) { return FALSE; }
BOOL WINAPI IsWindow(HWND window) { return WindowIdFromHandle(window) != 0; }
DWORD WINAPI GetCurrentThreadId(void) { return 1; }
DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD process) {
  if (process != NULL)
    *process = 1;
  return IsWindow(window) ? 1 : 0;
}
