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
  std::string kernel;         // LURN_KERNEL: avx2, sse2 or c; "" the best
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
// understood is named on the diagnostic line (its first 64 characters),
// once for each variable and value, and the default used. Safe from any
// thread.
Settings ReadSettings();

// Writes one diagnostic line (printf's format, no newline) to standard error
// and the debugger's output on Windows, and appends it to the file named by
// LURN_LOG when set: a GUI program has no standard error. LURN_LOG is read
// at each line, since lines come from Open, from frames and from the
// settings themselves. A file that cannot be opened is named once on
// standard error. Safe from any thread.
void SayDiagnostic(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
