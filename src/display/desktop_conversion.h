// Showing a display's picture on the desktop as it is (the KeepDesktop
// bit): the drawing surface converted and scaled by the library's kernels
// into a surface in the desktop's format (or on Windows a picture GDI
// shows), then shown 1:1 at the window's client area.
#ifndef LURN_DESKTOP_CONVERSION_H
#define LURN_DESKTOP_CONVERSION_H

#include <ddraw.h>
#include <lurn.h>
#include <stdint.h>

struct DisplayState;
struct PresentScratch;
struct Pixels;
struct GdiPicture;

struct DesktopConversion {
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
  unsigned char *memory[2];
  int memoryPitch;
  int convertedWidth, convertedHeight;
  PresentScratch *scratch;
  // Windows: the picture GDI shows, when the display presents through GDI.
  GdiPicture *gdi;
};

// Lets go of the conversion's surfaces, scratch and GDI picture.
void ReleaseConversion(DesktopConversion &conversion);

// Has a system-memory surface of `height` lines of `pitch` bytes keep its
// pixels in zeroed memory of the library's own, which the surface holds
// and frees as it goes (however long the client keeps it): the pixels are
// then read and written without a lock. Null, nothing changed, where the
// platform does not take memory (only Windows can, and not the fakes).
unsigned char *GiveOwnMemory(IDirectDrawSurface *surface, int width, int height,
                             int pitch);

// Converts and scales the drawing surface into the conversion surface,
// black around the picture, and blits that onto the primary at the
// window's client area. Returns UpdatePrimaryBuffer's answer.
int PresentToDesktop(LurnDirectDraw &display, DisplayState &state);

// Locks the drawing surface and describes its pixels; false, nothing left
// locked, when it cannot be read.
bool LockDrawing(LurnDirectDraw &display, Pixels &pixels);

// Blits `from` of `source` onto the primary at `to` (screen coordinates,
// the source rectangle built with SetRect), 1:1 or scaled: only the part on
// the monitors, the source cut in proportion (a platform may refuse a copy
// past the screen, DDERR_INVALIDRECT). A monitor left of or above the
// primary has negative coordinates; a platform that refuses a copy past the
// primary monitor gets the part on that. DD_OK, with nothing blitted, when
// nothing of `to` is on any monitor.
HRESULT BlitOnScreen(IDirectDrawSurface *primary, RECT to,
                     IDirectDrawSurface *source, RECT from, DWORD flags);

#if defined(_WIN32)
// Whether the display's presents go through GDI: it keeps the desktop
// and LURN_PRESENT does not ask for DirectDraw's blit.
bool PresentsWithGdi(const LurnDirectDraw &display, const DisplayState &state);
// Converts and scales the drawing surface into a picture of the client
// area's size and shows it on the window's device context with one call.
// Returns UpdatePrimaryBuffer's answer.
int PresentWithGdi(LurnDirectDraw &display, DisplayState &state);
// Lets go of the GDI picture.
void ForgetGdiPicture(DesktopConversion &conversion);
#endif

#endif
