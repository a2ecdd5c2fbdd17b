// What an open display keeps beside its record: its settings, read once at
// Open, and what showing a picture on the desktop as it is needs (the
// KeepDesktop bit): a surface in the desktop's format the picture is
// converted into, and on Windows the window's old style, place and
// procedure, the captured frames and the last refresh waited for.
#ifndef LURN_KEEP_DESKTOP_H
#define LURN_KEEP_DESKTOP_H

#include <ddraw.h>
#include <lurn.h>
#include <stdint.h>

#include <vector>

#include "../settings/settings.h"

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
  unsigned long frames;    // presented, counted for the capture
  long long lastRefresh;   // the last paced present, in counter ticks
  long long refreshPeriod; // likewise
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
// Whether the display's presents go through GDI: it keeps the desktop
// and LURN_PRESENT does not ask for DirectDraw's blit.
bool PresentsWithGdi(const LurnDirectDraw &display, const DesktopState &state);
// Converts and scales the drawing surface into the library's own picture
// at the client area's size and shows it on the window's device context.
// Returns UpdatePrimaryBuffer's answer.
int PresentWithGdi(LurnDirectDraw &display, DesktopState &state);
// Lets go of the GDI picture.
void ForgetGdiPicture(DesktopState &state);
// Waits out the rest of the display's refresh since the last paced present
// (nothing when the present itself took that long, or LURN_VSYNC=0).
void WaitForRefresh(DesktopState &state);
#else
inline void CaptureFrame(LurnDirectDraw &, DesktopState &) {}
inline void WaitForRefresh(DesktopState &) {}
#endif

#endif
