// The SDL host's events: focus, keys, mouse movement, wheel and buttons,
// gathered by an event watch so that events a client pumps (or a test
// pushes) reach DirectInput and the display's focus rules.
#include <dinput.h>

#include "desktop.h"

namespace {

struct KeyMapping {
  SDL_Scancode scancode;
  unsigned char key;
};

// A full PC keyboard, extended keys included.
const KeyMapping kKeyMap[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_1, DIK_1},
    {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9},
    {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q},
    {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E},
    {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_U, DIK_U},
    {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O},
    {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A},
    {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_J, DIK_J},
    {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B},
    {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1},
    {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5},
    {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7},
    {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_F13, DIK_F13},
    {SDL_SCANCODE_F14, DIK_F14},
    {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
    {SDL_SCANCODE_POWER, DIK_POWER},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP},
    {SDL_SCANCODE_MUTE, DIK_MUTE},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
    {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
};

// DirectInput numbers the buttons left, right, middle, then the extras.
int ButtonIndex(Uint8 button) {
  switch (button) {
  case SDL_BUTTON_LEFT:
    return 0;
  case SDL_BUTTON_RIGHT:
    return 1;
  case SDL_BUTTON_MIDDLE:
    return 2;
  case SDL_BUTTON_X1:
    return 3;
  default:
    return -1;
  }
}

// Marks the windows whose place the input state remembers: after SDL_Quit
// window IDs start again from 1, and a new window is not the old one.
const char kPointerWindowMark[] = "lurn.pointer";

bool PointerWindowKnown(InputState &input) {
  SDL_Window *window = LiveWindow(input.pointerWindowId);
  return window != NULL &&
         SDL_GetWindowData(window, kPointerWindowMark) == &input;
}

void RememberPointerWindow(InputState &input, SDL_Window *window) {
  SDL_SetWindowData(window, kPointerWindowMark, &input);
  input.pointerWindowId = SDL_GetWindowID(window);
  SDL_GetWindowPosition(window, &input.pointerWindowLeft,
                        &input.pointerWindowTop);
}

int SDLCALL Watch(void *, SDL_Event *event) {
  if (event->type == SDL_TEXTINPUT) {
    SendText(event->text.windowID, event->text.text); // not under the lock
    return 1;
  }
  if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) {
    if (TakeAltEnter(event->key))
      return 1; // the stand-in's own key: the window switches
    if (event->type == SDL_KEYDOWN)
      SendKey(event->key); // not under the lock either
  }
  InputLock lock;
  InputState &input = Input();
  switch (event->type) {
  case SDL_WINDOWEVENT:
    if (event->window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
      input.focusWindowId = event->window.windowID;
      input.focusKnown = true;
    } else if (event->window.event == SDL_WINDOWEVENT_FOCUS_LOST &&
               (!input.focusKnown ||
                input.focusWindowId == event->window.windowID)) {
      LoseInputFocus();
      AltEnterFocusLost(event->window.windowID);
    }
    break;
  case SDL_KEYDOWN:
  case SDL_KEYUP: {
    unsigned char key = KeyCodeOf(event->key.keysym.scancode);
    if (key != 0)
      NoteKey(key, event->type == SDL_KEYDOWN, event->key.repeat != 0,
              event->key.timestamp);
    break;
  }
  case SDL_MOUSEMOTION: {
    long x = event->motion.xrel, y = event->motion.yrel;
    SDL_Window *window = SDL_GetWindowFromID(event->motion.windowID);
    // Relative mode counts the device's own motion, never positions.
    if (window != NULL && !SDL_GetRelativeMouseMode()) {
      if (PointerWindowKnown(input)) {
        int left, top;
        SDL_GetWindowPosition(window, &left, &top);
        x += left - input.pointerWindowLeft;
        y += top - input.pointerWindowTop;
      }
      RememberPointerWindow(input, window);
    } else {
      input.pointerWindowId = 0;
    }
    NoteMotion(x, y, event->motion.timestamp);
    break;
  }
  case SDL_MOUSEWHEEL: {
    long notches = event->wheel.y;
    if (event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
      notches = -notches;
    NoteWheel(notches, event->wheel.timestamp);
    break;
  }
  case SDL_MOUSEBUTTONDOWN:
  case SDL_MOUSEBUTTONUP: {
    int index = ButtonIndex(event->button.button);
    if (index >= 0)
      NoteButton(index, event->type == SDL_MOUSEBUTTONDOWN,
                 event->button.timestamp);
    break;
  }
  default:
    break;
  }
  return 1;
}

} // namespace

// Window surfaces in plain memory: SDL's GL-backed ones copy each frame
// through a texture. SDL decides once per video session, when the first
// window surface is made, so the choice is made when the program starts
// (for a client that touches a window surface before its first Open) and
// again when a DirectDraw object is made (SDL_Quit forgets hints); the
// override beats a client's hint and the environment variable. SDL's
// Wayland driver has no plain-memory window surfaces: there the texture is
// the only way.
bool PreferSoftwareFramebuffer() {
  const char *driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver()
                                                   : getenv("SDL_VIDEODRIVER");
  bool wayland = driver != NULL && strcmp(driver, "wayland") == 0;
  return SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION,
                                 wayland ? "1" : "0",
                                 SDL_HINT_OVERRIDE) == SDL_TRUE;
}
const bool kSoftwareFramebufferAtStart = PreferSoftwareFramebuffer();

void WatchEvents() {
  PreferSoftwareFramebuffer();
  // SDL_Quit forgets its watches; installing again must not double one.
  SDL_DelEventWatch(Watch, NULL);
  SDL_AddEventWatch(Watch, NULL);
}

void NoteWindowMove(SDL_Window *window) {
  // SDL's last pointer position lies in this window when SDL reported it
  // last, or is older than anything seen; either way it was taken where
  // the window stands now.
  InputLock lock;
  InputState &input = Input();
  if (PointerWindowKnown(input) &&
      input.pointerWindowId != SDL_GetWindowID(window))
    return;
  RememberPointerWindow(input, window);
}

void TakeHostEvents() { SDL_PumpEvents(); }

bool HasFocus(Uint32 windowId) {
  if (LiveWindow(windowId) == NULL)
    return false;
  // Until SDL reports a focus change, the client's window counts as in
  // front: headless drivers and bare X servers never report one.
  InputLock lock;
  const InputState &input = Input();
  return !input.focusKnown || input.focusWindowId == windowId;
}

void SendKey(const SDL_KeyboardEvent &key) {
  SendKeyDown(key.windowID, KeyCodeOf(key.keysym.scancode),
              WPARAM(key.keysym.sym), (key.keysym.mod & KMOD_ALT) != 0,
              key.repeat != 0);
}

unsigned char KeyCodeOf(SDL_Scancode scancode) {
  for (const KeyMapping &mapping : kKeyMap)
    if (mapping.scancode == scancode)
      return mapping.key;
  return 0;
}
