// What an open display keeps beside its record: its settings, read once at
// Open, and what showing a picture on the desktop as it is needs (the
// KeepDesktop bit): a surface in the desktop's format the picture is
// converted into, and on Windows the window's old style, place and
// procedure and the captured frames; on both builds the presents' pacing.
#ifndef LURN_KEEP_DESKTOP_H
#define LURN_KEEP_DESKTOP_H

#include <ddraw.h>
#include <lurn.h>
#include <stdint.h>

#include <vector>

#include "../settings/settings.h"

class Pacer;
struct PresentScratch;

struct DesktopState {
  const void *directDraw; // the display's DirectDraw interface: the key
  Settings settings;
  // The present converts the drawing surface into one of `converted` (the
  // client area's size, the desktop's format) and blits that 1:1. Two, in
  // turn: the platform may still be blitting the last one when the next
  // frame is converted.
  bool converting;
  IDirectDrawSurface *converted[2];
  RECT picture[2]; // where the last picture went inside each
  int turn;        // which one the next frame goes into
  // Where the platform lets the library give them its own memory (Windows),
  // a frame is written there without a lock: each lock waits for the
  // platform's drawing thread on Wine.
  std::vector<unsigned char> memory[2];
  int memoryPitch;
  int convertedWidth, convertedHeight;
  PresentScratch *scratch;
  // Windows: the window as the display found it.
  void *window;
  intptr_t style, exStyle;
  long left, top, right, bottom;
  bool restyled;
  intptr_t oldProcedure; // while Alt+Enter is the library's
  bool covering;         // the window covers its monitor
  // Opened FullScreen: the picture keeps its shape, presents are paced, and
  // Alt+Enter shows the mode's size times a whole number in a window.
  bool fullScreenClient;
  int modeWidth, modeHeight;
  unsigned long frames; // presented, counted for the capture
  // Made at the first present when presents are paced or counted.
  Pacer *pacer;
};

// A new state for the display, listed under its DirectDraw interface (null
// for a null interface).
DesktopState *RememberDesktopState(const void *directDraw,
                                   const Settings &settings);
DesktopState *FindDesktopState(const void *directDraw);
// Gives the window back what the display took from it (style, place,
// procedure), releases the conversion surface and drops the state. Close
// and every release of a display's interfaces call it.
void ForgetDesktopState(const void *directDraw);

// Converts and scales the drawing surface into the conversion surface,
// black around the picture, and blits that onto the primary at the
// window's client area. Returns UpdatePrimaryBuffer's answer.
int PresentToDesktop(LurnDirectDraw &display, DesktopState &state);

// Windows only; natively the stand-in does these itself.
#if defined(_WIN32)
// The window becomes a borderless window covering its monitor; its style
// and place are kept for ForgetDesktopState.
HRESULT CoverMonitor(DesktopState &state);
// The window's style, place and procedure as the display found them.
void GiveWindowBack(DesktopState &state);
// Alt+Enter becomes the library's: the window's procedure is subclassed.
void TakeAltEnter(DesktopState &state);
// Whether some open display takes Alt+Enter: the keyboard read then leaves
// out the Return pressed with Alt.
bool AltEnterTaken();
// Under LURN_CAPTURE, writes every Nth frame's drawing surface as PNG.
void CaptureFrame(LurnDirectDraw &display, DesktopState &state);
#else
inline void CaptureFrame(LurnDirectDraw &, DesktopState &) {}
#endif

#endif
