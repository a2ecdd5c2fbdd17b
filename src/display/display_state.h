// What every open display keeps beside its record, exclusive or windowed:
// its settings, read once at Open, its presents' pacer, and when it keeps
// the desktop, the conversion of its picture and (Windows) its hold on the
// window it took. The side record of the display's entry in the list of
// open displays, from Open to Close.
#ifndef LURN_DISPLAY_STATE_H
#define LURN_DISPLAY_STATE_H

// Before any Windows header: those define `near`.
#include "../present/present.h"

#include <ddraw.h>
#include <lurn.h>

#include "../settings/settings.h"
#include "desktop_conversion.h"

#include "../window/window.h"

class Pacer;

struct DisplayState {
  Settings settings;
  // Opened FullScreen: the picture keeps its shape, presents are paced, and
  // Alt+Enter shows the mode's size times a whole number in a window.
  bool fullScreenClient;
  int modeWidth, modeHeight;
  // Made at the first present when presents are paced or counted.
  Pacer *pacer;
  // Where the last present put the picture, for the pointer's place on it.
  Placement placed;
  DesktopConversion desktop;
  TakenWindow window;
  // Keeping the desktop through GDI (Windows), the drawing and auxiliary
  // surfaces keep their pixels in the library's own memory, which the
  // frame's clear, lock and present then use without a DirectDraw call:
  // under Wine any such call wakes DirectDraw's thread, which then spins a
  // core. Null `bits` where the platform does not take the memory. A client
  // that asks for the DirectDraw interfaces (GetDD, GetPrimarySurface,
  // GetRenderSurface) may draw with DirectDraw itself, whose work runs
  // apart: its frames lock, fill and wait as DirectDraw orders them.
  struct OwnSurface {
    unsigned char *bits;
    int pitch; // bytes
    PixelFormat format;
  } drawing, aux;
  bool clientUsesDirectDraw;
};

// The state of `display` while its frames are written in the library's
// own memory (see DisplayState::drawing); null otherwise.
DisplayState *DrawsInOwnMemory(const LurnDirectDraw &display);

DisplayState *NewDisplayState(const Settings &settings);

// The window whose display scaling the library sees to: a display keeping
// the desktop's; null for others.
inline void *ScaledWindow(const DisplayState *state) {
  return state != NULL && state->window.keepsDesktop ? state->window.handle
                                                     : NULL;
}
// The state of the open display holding `directDraw`, or null; defined
// beside the list of open displays.
DisplayState *FindDisplayState(const void *directDraw);
// Releases the conversion, gives the window back what the display took
// from it (the last display on it gives back its style and place as the
// first found them, and Alt+Enter) and deletes the state. The window's
// handlers may run meanwhile: Close takes the state off the list first and
// drops it once the display's fields are let go.
void DropDisplayState(DisplayState *state);

// Whether the display's picture fills a screen: it is a full-screen
// client's, or its window, whose client area is `client` at `origin` on
// the screen, covers the screen (Alt+Enter made it so).
bool FillsScreen(const LurnDirectDraw &display, const DisplayState &state,
                 const RECT &client, POINT origin);
// Whether a client area of `client`'s size at `origin` on the screen covers
// the primary.
bool CoversPrimary(IDirectDrawSurface *primary, const RECT &client,
                   POINT origin);

#if defined(_WIN32)
// Under LURN_CAPTURE, writes every Nth frame's drawing surface as PNG.
void CaptureFrame(LurnDirectDraw &display, DisplayState &state);
#else
// Natively the stand-in captures what it shows.
inline void CaptureFrame(LurnDirectDraw &, DisplayState &) {}
#endif

#endif
