// Alt+Enter: a window goes between windowed and full screen (desktop-sized,
// borderless, no mode change). A windowed client's window covers the screen
// and back; a full-screen client's shows its mode in a window of the mode's
// size times the largest whole number that fits, and back. The flip chain
// stays; only the window changes.
#include <string.h>

#include <atomic>
#include <map>
#include <mutex>

#include "desktop.h"

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

// A window switched away from how its client set it up, and what it was.
struct Switched {
  bool exclusive; // the full-screen client's window, shown windowed
  WindowPlace place;
};

// The windows switched, and the Alt+Enter presses not yet applied, by
// window ID, under `switching`. The event watch notes presses on whichever
// thread pumps; presents apply them on theirs.
std::mutex switching;
std::map<Uint32, Switched> switchedWindows;
std::map<Uint32, unsigned> pendingPresses;
std::atomic<bool> altEnterTaken(true);

void Toggle(SDL_Window *window) {
  SDL_Rect screen;
  if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &screen) != 0)
    return;
  Uint32 id = SDL_GetWindowID(window);
  bool exclusive = ExclusiveWindowId() == id;
  WindowPlace back;
  bool goBack = false;
  {
    std::lock_guard<std::mutex> hold(switching);
    std::map<Uint32, Switched>::iterator it = switchedWindows.find(id);
    goBack = it != switchedWindows.end() && it->second.exclusive == exclusive;
    if (goBack) {
      back = it->second.place;
      switchedWindows.erase(it);
    } else {
      switchedWindows[id] = Switched{exclusive, PlaceOf(window)};
    }
  }
  if (goBack) {
    PlaceWindow(window, &back);
    return;
  }
  if (!exclusive) {
    PlaceWindow(window, NULL);
    return;
  }
  int width, height;
  {
    DisplayLock hold;
    width = int(Display().width);
    height = int(Display().height);
  }
  WindowPlace place = {{0, 0, 0, 0}, true, FrameOf(window)};
  Rect client = ModeWindow(
      width, height, Rect{screen.x, screen.y, screen.w, screen.h}, place.frame);
  place.rect = SDL_Rect{client.x, client.y, client.w, client.h};
  PlaceWindow(window, &place);
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
  std::map<Uint32, Switched>::iterator it =
      switchedWindows.find(SDL_GetWindowID(window));
  return it != switchedWindows.end() && !it->second.exclusive;
}

bool TakeAltEnter(const SDL_KeyboardEvent &key) {
  if (key.keysym.scancode != SDL_SCANCODE_RETURN ||
      !(key.keysym.mod & KMOD_ALT) || !altEnterTaken)
    return false;
  if (key.type == SDL_KEYDOWN && !key.repeat) {
    std::lock_guard<std::mutex> hold(switching);
    ++pendingPresses[key.windowID];
  }
  return true;
}

void SetAltEnterTaken(bool taken) { altEnterTaken = taken; }

void ForgetAltEnter(Uint32 windowId) {
  WindowPlace back;
  bool goBack = false;
  {
    std::lock_guard<std::mutex> hold(switching);
    pendingPresses.erase(windowId);
    std::map<Uint32, Switched>::iterator it = switchedWindows.find(windowId);
    if (it == switchedWindows.end())
      return;
    goBack = !it->second.exclusive;
    back = it->second.place;
    switchedWindows.erase(it);
  }
  SDL_Window *window = goBack ? LiveWindow(windowId) : NULL;
  if (window != NULL)
    PlaceWindow(window, &back);
}

void ApplyAltEnter(SDL_Window *window) {
  unsigned presses = 0;
  {
    std::lock_guard<std::mutex> hold(switching);
    std::map<Uint32, unsigned>::iterator pending =
        pendingPresses.find(SDL_GetWindowID(window));
    if (pending == pendingPresses.end())
      return;
    presses = pending->second;
    pendingPresses.erase(pending);
  }
  // Each press switches: an even number of them leaves the window as it was
  // after switching there and back. Switching moves windows, which may run
  // the event watch: no lock is held.
  for (unsigned i = 0; i < presses; ++i)
    Toggle(window);
}
