// What an open display keeps beside its record: its settings, read once at
// Open, and what showing a picture on the desktop as it is needs (the
// KeepDesktop bit): a surface in the desktop's format the picture is
// converted into, and on Windows the window it took and the captured
// frames; on both builds the presents' pacing.
#ifndef LURN_KEEP_DESKTOP_H
#define LURN_KEEP_DESKTOP_H

// Before any Windows header: those define `near`.
#include "../present/present.h"

#include <ddraw.h>
#include <lurn.h>
#include <stdint.h>

#include <vector>

#include "../settings/settings.h"

// The window's styles, place and Alt+Enter are the library's own business on
// Windows (natively the stand-in's); the unit tests also build them natively
// over the fake window system.
#if defined(_WIN32) && !defined(LURN_WINDOW_SYSTEM)
#define LURN_WINDOW_SYSTEM 1
#endif

class Pacer;
struct PresentScratch;
struct TargetPixels;
struct Rect;
struct GdiPicture;

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
  // Windows: the picture GDI shows, when the display presents through GDI.
  GdiPicture *gdi;
  // Windows: the window, and whether the display counts among the displays
  // that took it (its look and place as they found it are kept per window).
  void *window;
  bool holdsWindow;
  // Opened FullScreen: the picture keeps its shape, presents are paced, and
  // Alt+Enter shows the mode's size times a whole number in a window.
  bool fullScreenClient;
  int modeWidth, modeHeight;
  // Made at the first present when presents are paced or counted.
  Pacer *pacer;
  // Where the last present put the picture, for the pointer's place on it.
  Placement placed;
};

// A new state for the display, listed under its DirectDraw interface (null
// for a null interface).
DesktopState *RememberDesktopState(const void *directDraw,
                                   const Settings &settings);
DesktopState *FindDesktopState(const void *directDraw);
// Takes the state of `directDraw` off the list: null when none is listed.
DesktopState *TakeDesktopState(const void *directDraw);
// Releases the conversion surface, gives the window back what the display
// took from it (the last display on it gives back its style and place as
// the first found them, and Alt+Enter) and deletes the state. The window's
// handlers may run meanwhile: Close takes the state first and drops it
// once the display's fields are let go.
void DropDesktopState(DesktopState *state);
void ForgetDesktopState(const void *directDraw); // both at once

// Converts and scales the drawing surface into the conversion surface,
// black around the picture, and blits that onto the primary at the
// window's client area. Returns UpdatePrimaryBuffer's answer.
int PresentToDesktop(LurnDirectDraw &display, DesktopState &state);

// Converts and scales the drawing surface into `target` at `picture`,
// painting the rest black when the picture moved since `last` (then
// updated). False when the drawing surface cannot be read or converted.
bool ConvertDrawing(LurnDirectDraw &display, DesktopState &state,
                    const TargetPixels &target, const Rect &picture,
                    RECT &last);

// Cuts a copy onto the primary at `to` (screen coordinates) down to the
// part on the primary, and the 1:1 or scaled source `from` in proportion.
// False when nothing of `to` is on it.
bool ClipToPrimary(IDirectDrawSurface *primary, RECT &to, RECT &from);

// Windows only; natively the stand-in does these itself.
#if defined(LURN_WINDOW_SYSTEM)
// The window becomes a borderless window covering its monitor; how it was
// is kept for GiveWindowBack.
HRESULT CoverMonitor(DesktopState &state);
// Once the last display on the window lets go: its style and place as the
// first display found them, and its window procedure without the library's
// subclass.
void GiveWindowBack(DesktopState &state);
// Alt+Enter becomes the library's: the window's procedure is subclassed,
// and notes the presses.
void TakeAltEnter(DesktopState &state);
// Switches the window once for each Alt+Enter press noted since the last
// call, on the thread that presents. True when it switched: the window's
// handlers ran, and may have closed the display (`state` is then gone).
bool ApplyAltEnter(DesktopState &state);
// Whether the Return held on `window` belongs to an Alt+Enter the library
// took: the keyboard read leaves it out. `returnHeld` is what the read saw.
bool ReturnTaken(void *window, bool returnHeld);
#endif

#if defined(_WIN32)
// Under LURN_CAPTURE, writes every Nth frame's drawing surface as PNG.
void CaptureFrame(LurnDirectDraw &display, DesktopState &state);
// Whether the display's presents go through GDI: it keeps the desktop
// and LURN_PRESENT does not ask for DirectDraw's blit.
bool PresentsWithGdi(const LurnDirectDraw &display, const DesktopState &state);
// Converts and scales the drawing surface into the library's own picture
// at the client area's size and shows it on the window's device context.
// Returns UpdatePrimaryBuffer's answer.
int PresentWithGdi(LurnDirectDraw &display, DesktopState &state);
// Lets go of the GDI picture.
void ForgetGdiPicture(DesktopState &state);
#else
inline void CaptureFrame(LurnDirectDraw &, DesktopState &) {}
#endif

#endif
