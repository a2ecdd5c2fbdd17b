// Alt+Enter: a window goes between windowed and full screen (desktop-sized,
// borderless, no mode change). A windowed client's window covers the screen
// and back; a full-screen client's shows its mode in a window of the mode's
// size times the largest whole number that fits, and back. The flip chain
// stays; only the window changes.
#include <string.h>

#include <mutex>

#include "desktop.h"
#include "present/alt_enter.h"

namespace {

// What the window's frame adds around it, as SDL last heard (none without
// a window manager, nor for a borderless window).
FrameSize FrameOf(SDL_Window *window) {
  FrameSize frame = {0, 0, 0, 0};
  if (SDL_GetWindowBordersSize(window, &frame.top, &frame.left, &frame.bottom,
                               &frame.right) != 0)
    frame = FrameSize{0, 0, 0, 0};
  return frame;
}

} // namespace

// Alt+Enter on a window, as both builds decide it, where the window was
// just before it switched, to go back to, and how many displays take it
// there. Kept on the window itself (SDL's data of the window), made by the
// first display whose level names the window, freed by the last.
struct WindowAltEnter {
  AltEnter altEnter;
  WindowPlace before;
  int takers;
};

namespace {

const char kAltEnterData[] = "lurn.altEnter";

// Guards every window's Alt+Enter. The event watch notes presses on
// whichever thread pumps; presents apply them on theirs.
std::mutex switching;

// Under the lock: the window's Alt+Enter, null where no display takes it.
WindowAltEnter *Of(SDL_Window *window) {
  return window == NULL ? NULL
                        : static_cast<WindowAltEnter *>(
                              SDL_GetWindowData(window, kAltEnterData));
}

// Moves the window once, for one press noted: false when none was.
bool SwitchOnce(SDL_Window *window) {
  Uint32 id = SDL_GetWindowID(window);
  bool exclusive = ExclusiveWindowId() == id;
  WindowPlace back;
  AltEnterMove move;
  {
    std::lock_guard<std::mutex> hold(switching);
    WindowAltEnter *found = Of(window);
    if (found == NULL)
      return false;
    move = NextAltEnterMove(found->altEnter, exclusive);
    if (move == kAltEnterCover || move == kAltEnterModeWindow)
      found->before = PlaceOf(window);
    back = found->before;
  }
  SDL_Rect screen;
  switch (move) {
  case kAltEnterNone:
    return false;
  case kAltEnterCover:
    PlaceWindow(window, NULL);
    break;
  case kAltEnterBack:
  case kAltEnterFullScreen:
    PlaceWindow(window, &back);
    break;
  case kAltEnterModeWindow:
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &screen) == 0) {
      int width, height;
      {
        DisplayLock hold;
        width = int(Display().width);
        height = int(Display().height);
      }
      WindowPlace place = {{0, 0, 0, 0}, true, FrameOf(window)};
      Rect client =
          ModeWindow(width, height,
                     Rect{screen.x, screen.y, screen.w, screen.h}, place.frame);
      place.rect = SDL_Rect{client.x, client.y, client.w, client.h};
      PlaceWindow(window, &place);
    }
    break;
  }
  return true;
}

} // namespace

WindowPlace PlaceOf(SDL_Window *window) {
  WindowPlace place;
  SDL_GetWindowPosition(window, &place.rect.x, &place.rect.y);
  SDL_GetWindowSize(window, &place.rect.w, &place.rect.h);
  place.bordered = !(SDL_GetWindowFlags(window) & SDL_WINDOW_BORDERLESS);
  place.frame = FrameOf(window);
  return place;
}

void PlaceWindow(SDL_Window *window, const WindowPlace *place) {
  const char *driver = SDL_GetCurrentVideoDriver();
  bool wayland = driver != NULL && strcmp(driver, "wayland") == 0;
  NoteWindowMove(window);
  if (place == NULL && wayland) {
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return;
  }
  WindowPlace screen = {{0, 0, 0, 0}, false, {0, 0, 0, 0}};
  if (place == NULL) {
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &screen.rect) !=
        0)
      return;
    place = &screen;
  }
  if (wayland)
    SDL_SetWindowFullscreen(window, 0);
  SDL_SetWindowBordered(window, place->bordered ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowSize(window, place->rect.w, place->rect.h);
  // A window manager puts the frame where the window asks to be, and SDL
  // takes off the frame it last heard of, which lags behind a change of
  // border: the frame goes where the client area wants it, named through
  // SDL's own figures, so that the client area lands at its place.
  FrameSize now = FrameOf(window);
  SDL_SetWindowPosition(window, place->rect.x - place->frame.left + now.left,
                        place->rect.y - place->frame.top + now.top);
  SDL_RaiseWindow(window);
}

bool CoversScreen(SDL_Window *window) {
  std::lock_guard<std::mutex> hold(switching);
  WindowAltEnter *found = Of(window);
  return found != NULL && found->altEnter.switched &&
         !found->altEnter.switchedFullScreen;
}

bool TakeAltEnter(const SDL_KeyboardEvent &key) {
  std::lock_guard<std::mutex> hold(switching);
  WindowAltEnter *found = Of(SDL_GetWindowFromID(key.windowID));
  return found != NULL &&
         NoteAltEnterKey(
             found->altEnter, key.keysym.scancode == SDL_SCANCODE_RETURN,
             key.type == SDL_KEYDOWN ? kAltEnterKeyDown : kAltEnterKeyUp,
             (key.keysym.mod & KMOD_ALT) != 0, key.repeat != 0);
}

void AltEnterFocusLost(Uint32 windowId) {
  std::lock_guard<std::mutex> hold(switching);
  WindowAltEnter *found = Of(SDL_GetWindowFromID(windowId));
  if (found != NULL)
    found->altEnter.returnHeld = false; // its release goes elsewhere
}

WindowAltEnter *HoldAltEnter(Uint32 windowId) {
  SDL_Window *window = LiveWindow(windowId);
  if (window == NULL)
    return NULL;
  std::lock_guard<std::mutex> hold(switching);
  WindowAltEnter *found = Of(window);
  if (found == NULL) {
    found = new WindowAltEnter();
    SDL_SetWindowData(window, kAltEnterData, found);
  }
  ++found->takers;
  return found;
}

void ForgetAltEnter(WindowAltEnter *held, Uint32 windowId) {
  if (held == NULL)
    return;
  WindowPlace back;
  bool goBack = false;
  SDL_Window *window = LiveWindow(windowId);
  {
    std::lock_guard<std::mutex> hold(switching);
    if (--held->takers > 0)
      return;
    goBack = held->altEnter.switched && !held->altEnter.switchedFullScreen;
    back = held->before;
    if (Of(window) == held)
      SDL_SetWindowData(window, kAltEnterData, NULL);
    delete held;
  }
  if (window != NULL && goBack)
    PlaceWindow(window, &back);
}

void ApplyAltEnter(SDL_Window *window) {
  // Each press switches: an even number of them leaves the window as it was
  // after switching there and back. Switching moves windows, which may run
  // the event watch: no lock is held.
  while (SwitchOnce(window)) {
  }
}

namespace {
// Where the exclusive window was before it covered its screen; under the
// display lock.
WindowPlace exclusiveWindowPlace;
} // namespace

void CoverScreen(uint32_t windowId) {
  SDL_Window *window = LiveWindow(windowId);
  if (window == NULL)
    return;
  DisplayLock hold;
  exclusiveWindowPlace = PlaceOf(window);
  PlaceWindow(window, NULL);
}

void PutWindowBack(uint32_t windowId) {
  SDL_Window *window = LiveWindow(windowId);
  DisplayLock hold;
  if (window != NULL)
    PlaceWindow(window, &exclusiveWindowPlace);
}
