// The settings both builds take from the environment or the program. A display
// reads them when it opens, not at each frame; the kernel choice is made once
// per process (the first frame that needs it), and the error box setting is
// read at each error.
#ifndef LURN_SETTINGS_H
#define LURN_SETTINGS_H

#include <string>

// How a picture fills the area it is shown in: stretched to it, the largest
// size of its own shape, or the largest whole multiple of its size. Unset:
// the caller's default (a window stretches, a full screen keeps the shape).
enum ScaleMode { kScaleUnset, kScaleStretch, kScaleAspect, kScaleInteger };

// Which presents wait for the display's refresh: none, flips (full screen),
// or every present, windowed ones too.
enum VsyncMode { kVsyncOff, kVsyncFlips, kVsyncAll };

// How a display that keeps the desktop puts its picture in the window on
// Windows: GDI on the window's device context, or DirectDraw's blit onto the
// primary surface.
enum PresentRoute { kPresentGdi, kPresentDirectDraw };

// The desktop the stand-in emulates: 16 bits 5-6-5 or 5-5-5, or 32 bits.
enum StandinDesktop { kDesktop565, kDesktop555, kDesktop32 };

struct Settings {
  int keepDesktop;            // LURN_KEEP_DESKTOP: -1 unset, 0 or 1
  ScaleMode scale;            // LURN_SCALE: stretch, aspect or integer
  VsyncMode vsync;            // LURN_VSYNC: 0, 1 (flips) or all
  bool stats;                 // LURN_STATS: a line of figures each second
  bool altEnter;              // LURN_ALTENTER: the library takes Alt+Enter
  std::string capture;        // LURN_CAPTURE: a folder for frames, "" none
  unsigned long captureEvery; // LURN_CAPTURE_EVERY: every n-th frame
  std::string kernel;         // LURN_KERNEL: avx2, sse2, wasm or c; "" the best
  bool errorBox;              // LURN_ERROR_BOX: errors shown in a box too
  bool anyMode; // LURN_STANDIN_ANYMODE: the stand-in offers every mode
  StandinDesktop desktop; // LURN_STANDIN_DESKTOP: 565, 555 or 32
  PresentRoute present;   // LURN_PRESENT: gdi or directdraw
  bool hideCursor; // LURN_HIDE_CURSOR: the system's cursor hidden over the
                   // picture
};

// The settings as the environment and then the program (LurnSetSetting,
// in lurn.h) give them now: the environment wins. The shared settings'
// older LURN_STANDIN_ names are read too (the new name wins). A value not
// understood is passed over for the next (the older name, the program's,
// then the default) and named once on a diagnostic line with the value
// used instead. Safe from any thread.
Settings ReadSettings();

// One diagnostic line naming each setting that is set, with its value in
// force and where it came from (the environment or the program); every
// other one has its default. A display writes it at Open under LURN_STATS.
std::string DescribeSettings();

// LURN_LOG's value in force, for the diagnostic writer: a text, never
// said to be wrong.
std::string LogSetting();

#endif
