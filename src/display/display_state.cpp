// What every open display keeps beside its record.
// Before any Windows header: those define `near`.
#include "../present/present.h"

#include "display_state.h"

#include <string.h>

#include "../present/pacing.h"
#include "../window/window_look.h"

DisplayState *NewDisplayState(const Settings &settings) {
  DisplayState *state = new DisplayState();
  state->settings = settings;
  state->desktop.scratch = new PresentScratch();
  return state;
}

void DropDisplayState(DisplayState *state) {
  if (state == NULL)
    return;
  ReleaseConversion(state->desktop);
#if defined(LURN_WINDOW_SYSTEM)
  GiveWindowBack(state->window);
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
  if (WindowCovers(state.window))
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
