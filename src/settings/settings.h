// The settings both builds take from the environment, read when a display
// opens rather than each frame.
#ifndef LURN_SETTINGS_H
#define LURN_SETTINGS_H

#include <string>

// How a picture fills the area it is shown in: stretched to it, the largest
// size of its own shape, or the largest whole multiple of its size. Unset:
// the caller's default (a window stretches, a full screen keeps the shape).
enum ScaleMode { kScaleUnset, kScaleStretch, kScaleAspect, kScaleInteger };

// How a display that keeps the desktop puts its picture in the window on
// Windows: GDI on the window's device context, or DirectDraw's blit onto the
// primary surface.
enum PresentRoute { kPresentGdi, kPresentDirectDraw };

struct Settings {
  int keepDesktop;            // LURN_KEEP_DESKTOP: -1 unset, 0 or 1
  ScaleMode scale;            // LURN_SCALE: stretch, aspect or integer
  bool vsync;                 // LURN_VSYNC: flips wait for the refresh
  bool altEnter;              // LURN_ALTENTER: the library takes Alt+Enter
  std::string capture;        // LURN_CAPTURE: a folder for frames, "" none
  unsigned long captureEvery; // LURN_CAPTURE_EVERY: every n-th frame
  std::string kernel;         // LURN_KERNEL: avx2, sse2 or c; "" the best
  bool errorBox;              // LURN_ERROR_BOX: errors shown in a box too
  PresentRoute present;       // LURN_PRESENT: gdi or directdraw
};

// The settings as the environment gives them now. The shared settings'
// older LURN_STANDIN_ names are read too (the new name wins). A value not
// understood is named on standard error, once for each variable and value,
// and the default used. Safe from any thread.
Settings ReadSettings();

#endif
