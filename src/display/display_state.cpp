// Every open display's state, listed under its DirectDraw interface.
// Before any Windows header: those define `near`.
#include "../present/present.h"

#include "display_state.h"

#include <string.h>

#include <mutex>
#include <vector>

#include "../present/pacing.h"
#include "windows_window.h"

namespace {

// Every open display's state, keyed by its DirectDraw interface. The lock
// guards the list, for separate displays opened and closed on separate
// threads; a state itself is used by whichever thread uses its display, one
// at a time as the display. The window procedure never touches one: it
// notes Alt+Enter for the window, and the presenting thread applies it.
std::mutex statesLock;
std::vector<DisplayState *> states;

} // namespace

DisplayState *RememberDisplayState(const void *directDraw,
                                   const Settings &settings) {
  ForgetDisplayState(directDraw);
  if (directDraw == NULL)
    return NULL;
  DisplayState *state = new DisplayState();
  state->directDraw = directDraw;
  state->settings = settings;
  state->desktop.scratch = new PresentScratch();
  std::lock_guard<std::mutex> hold(statesLock);
  states.push_back(state);
  return state;
}

DisplayState *FindDisplayState(const void *directDraw) {
  std::lock_guard<std::mutex> hold(statesLock);
  for (DisplayState *state : states)
    if (state->directDraw == directDraw)
      return state;
  return NULL;
}

DisplayState *TakeDisplayState(const void *directDraw) {
  std::lock_guard<std::mutex> hold(statesLock);
  for (size_t i = 0; i < states.size(); ++i)
    if (directDraw != NULL && states[i]->directDraw == directDraw) {
      DisplayState *state = states[i];
      states[i] = states.back();
      states.pop_back();
      return state;
    }
  return NULL;
}

void DropDisplayState(DisplayState *state) {
  if (state == NULL)
    return;
  ReleaseConversion(state->desktop);
#if defined(LURN_WINDOW_SYSTEM)
  GiveWindowBack(*state);
#endif
  delete state->pacer;
  delete state;
}

DisplayState *DrawsInOwnMemory(const LurnDirectDraw &display) {
  DisplayState *state = FindDisplayState(display.directDraw);
  if (state == NULL || state->drawing.bits == NULL ||
      state->clientUsesDirectDraw ||
      ((display.flags & LurnDirectDraw::AuxSurface) && state->aux.bits == NULL))
    return NULL;
  return state;
}

bool FillsScreen(const LurnDirectDraw &display, const DisplayState &state,
                 const RECT &client, POINT origin) {
  if (state.fullScreenClient)
    return true;
#if defined(LURN_WINDOW_SYSTEM)
  if (state.window.held && WindowCovers(state.window.handle))
    return true;
#endif
  // Natively the platform switches the window on Alt+Enter: the library
  // sees only that the client area is the whole screen.
  return CoversPrimary(display.primarySurface, client, origin);
}

bool CoversPrimary(IDirectDrawSurface *primary, const RECT &client,
                   POINT origin) {
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  return origin.x == 0 && origin.y == 0 &&
         primary->GetSurfaceDesc(&desc) == DD_OK &&
         client.right == LONG(desc.dwWidth) &&
         client.bottom == LONG(desc.dwHeight);
}

void ForgetDisplayState(const void *directDraw) {
  DropDisplayState(TakeDisplayState(directDraw));
}
