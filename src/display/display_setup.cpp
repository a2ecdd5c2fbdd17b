// Opening and closing the display: DirectDraw set-up in full-screen or
// windowed mode, the 16-bit pixel layout, the clipper.
#include <ddraw.h>
#include <lurn.h>

#include <stdarg.h>
#include <stdio.h>

#include "../empty_field.h"
#include "../errors/report_error.h"
#include "../open_records.h"
#include "display_state.h"
#include "windows_window.h"

namespace {

struct PixelLayout {
  DWORD redMask, greenMask, blueMask;
  unsigned char redShift, greenBits, blueShift;
};

// Tried in this order; the first exact match of all three masks wins.
const PixelLayout kPixelLayouts[] = {
    {0xF800, 0x07E0, 0x001F, 11, 6, 0},
    {0xFC00, 0x03E0, 0x001F, 10, 5, 0},
    {0xF800, 0x07C0, 0x003F, 11, 5, 0},
    {0x7C00, 0x03E0, 0x001F, 10, 5, 0},
};

int Fail(void *window, HRESULT code, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
int Fail(void *window, HRESULT code, const char *format, ...) {
  char what[256];
  va_list args;
  va_start(args, format);
  vsnprintf(what, sizeof what, format, args);
  va_end(args);
  ReportDirectXError(window, code, "Open", "%s", what);
  return 0;
}

// The desktop's layout as people name it, for the diagnostic line.
const char *LayoutName(const DDPIXELFORMAT &format) {
  if (format.dwRBitMask == 0xF800 && format.dwGBitMask == 0x07E0 &&
      format.dwBBitMask == 0x001F)
    return " (5-6-5)";
  if (format.dwRBitMask == 0x7C00 && format.dwGBitMask == 0x03E0 &&
      format.dwBBitMask == 0x001F)
    return " (5-5-5)";
  return "";
}

// Counts the modes the display lists, and names the first few at `depth`.
struct ModeList {
  DWORD depth;
  unsigned atDepth, total;
  char named[80];
};

HRESULT WINAPI ListMode(LPDDSURFACEDESC desc, LPVOID context) {
  ModeList &list = *static_cast<ModeList *>(context);
  ++list.total;
  if (desc->ddpfPixelFormat.dwRGBBitCount == list.depth && list.atDepth++ < 5) {
    size_t used = strlen(list.named);
    snprintf(list.named + used, sizeof list.named - used, "%s%lux%lu",
             used != 0 ? ", " : "", static_cast<unsigned long>(desc->dwWidth),
             static_cast<unsigned long>(desc->dwHeight));
  }
  return DDENUMRET_OK;
}

// "; the display offers N modes at D bits: the first few", or less when
// it lists none at that depth, or nothing when it cannot list them.
void DescribeModes(IDirectDraw *directDraw, unsigned depth, char *text,
                   size_t size) {
  ModeList list = {depth, 0, 0, ""};
  *text = '\0';
  if (directDraw->EnumDisplayModes(0, NULL, &list, ListMode) != DD_OK ||
      list.total == 0)
    return;
  if (list.atDepth == 0)
    snprintf(text, size,
             "; the display offers no mode at %u bits (%u at "
             "other depths)",
             depth, list.total);
  else
    snprintf(text, size, "; the display offers %u mode%s at %u bits: %s%s",
             list.atDepth, list.atDepth == 1 ? "" : "s", depth, list.named,
             list.atDepth > 5 ? ", ..." : "");
}

// Creates a system-memory surface of the object's size with `caps`, locks it
// once to learn its address (and its pitch, if asked), and unlocks it. A
// lock that gives no address is DDERR_LOCKEDSURFACES, and the surface stays
// locked.
HRESULT CreateSystemSurface(IDirectDraw *directDraw, DWORD caps,
                            unsigned short width, unsigned short height,
                            IDirectDrawSurface **surface, void **bits,
                            LONG *pitch, const DDPIXELFORMAT *format = NULL) {
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  if (format != NULL) {
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = *format;
  }
  desc.dwHeight = height;
  desc.dwWidth = width;
  desc.ddsCaps.dwCaps = caps;
  HRESULT result = directDraw->CreateSurface(&desc, surface, NULL);
  if (result != DD_OK)
    return result;
  desc.dwSize = sizeof desc;
  result = (*surface)->Lock(NULL, &desc, DDLOCK_WAIT, NULL);
  if (result != DD_OK)
    return result;
  *bits = desc.lpSurface;
  if (*bits == NULL)
    return DDERR_LOCKEDSURFACES;
  if (pitch != NULL)
    *pitch = desc.lPitch;
  (*surface)->Unlock(NULL);
  return DD_OK;
}

// Shown through GDI, the drawing and auxiliary surfaces keep their pixels
// in the library's memory, at the pitches the platform gave them, and the
// fields point there. Where the platform does not take it for both, the
// frames go through DirectDraw.
void KeepPixelsOwn(LurnDirectDraw &display, DisplayState &state,
                   LONG drawingPitch, LONG auxPitch) {
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  if (drawingPitch <= 0 ||
      display.secondarySurface->GetPixelFormat(&format) != DD_OK)
    return;
  DisplayState::OwnSurface drawing = {
      GiveOwnMemory(display.secondarySurface, display.width, display.height,
                    int(drawingPitch)),
      int(drawingPitch),
      PixelFormat{format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask,
                  format.dwBBitMask}};
  if (drawing.bits == NULL)
    return;
  // The surface's first memory is gone.
  if (!(display.flags & LurnDirectDraw::FullScreen))
    display.secondaryBits = drawing.bits;
  if (display.flags & LurnDirectDraw::AuxSurface) {
    DisplayState::OwnSurface aux = {GiveOwnMemory(display.auxSurface,
                                                  display.width, display.height,
                                                  int(auxPitch)),
                                    int(auxPitch), drawing.format};
    if (aux.bits == NULL)
      return; // both surfaces go through DirectDraw
    display.auxBits = aux.bits;
    state.aux = aux;
  }
  state.drawing = drawing;
}

// The displays the library opened, with what it stored in each.
OpenRecords<LurnDirectDraw> openDisplays;

// Releases the interface a field holds, if any, and nulls the field.
template <class Interface> void Drop(Interface *&field) {
  if (!Empty(field)) {
    field->Release();
    field = NULL;
  }
}

// Lets go of everything `display` holds and nulls its fields, forgetting
// every listed record that holds any of it: Close runs it on the record
// (`record` is then the record, whose entry goes too), a reopen on the
// list's copy. Whatever else the library keeps for an open display is let
// go here too, so that both paths drop it.
void ReleaseDisplay(LurnDirectDraw &display, const LurnDirectDraw *record) {
  openDisplays.Forget(record, display);
  // Dropped last: giving the window back runs the window's handlers, which
  // may call Close again and must find the display closed.
  DisplayState *state =
      Empty(display.directDraw) ? NULL : TakeDisplayState(display.directDraw);
  if (!Empty(display.directDraw)) {
    Drop(display.clipper);
    // The back buffer goes before the primary: releasing a flip chain's
    // front buffer destroys its back buffer with it.
    if (display.flags & LurnDirectDraw::ReleaseSecondary)
      Drop(display.secondarySurface);
    Drop(display.primarySurface);
    if (display.flags & LurnDirectDraw::AuxSurface)
      Drop(display.auxSurface);
    // Leaving exclusive mode is what gives the desktop its mode back.
    display.directDraw->SetCooperativeLevel(static_cast<HWND>(display.window),
                                            DDSCL_NORMAL);
    Drop(display.directDraw);
  }
  Drop(display.directDraw2);
  DropDisplayState(state);
}

// Nulls the fields Close would let go of, releasing nothing: what they
// hold is not the record's (or no longer anyone's).
void EmptyDisplay(LurnDirectDraw &display) {
  IDirectDrawSurface **surfaces[] = {
      &display.primarySurface,
      (display.flags & LurnDirectDraw::ReleaseSecondary)
          ? &display.secondarySurface
          : NULL,
      (display.flags & LurnDirectDraw::AuxSurface) ? &display.auxSurface
                                                   : NULL};
  for (IDirectDrawSurface **surface : surfaces)
    if (surface != NULL && !Empty(*surface))
      *surface = NULL;
  if (!Empty(display.clipper))
    display.clipper = NULL;
  if (!Empty(display.directDraw))
    display.directDraw = NULL;
  if (!Empty(display.directDraw2))
    display.directDraw2 = NULL;
}

// The drawing surface's format when it is not the desktop's: 5-6-5, or
// full screen at 32 bits 8-8-8.
DDPIXELFORMAT ExplicitFormat(unsigned char depth) {
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  format.dwFlags = DDPF_RGB;
  format.dwRGBBitCount = depth;
  format.dwRBitMask = depth == 16 ? 0xF800 : 0xFF0000;
  format.dwGBitMask = depth == 16 ? 0x07E0 : 0x00FF00;
  format.dwBBitMask = depth == 16 ? 0x001F : 0x0000FF;
  return format;
}

} // namespace

bool IsOpen(const LurnDirectDraw &display) {
  return openDisplays.IsOpen(display);
}

size_t HeldInterfaces(const LurnDirectDraw &display,
                      const void *held[kMostInterfaces]) {
  size_t count = 0;
  AddHeld(display.directDraw, held, count);
  AddHeld(display.directDraw2, held, count);
  AddHeld(display.primarySurface, held, count);
  AddHeld(display.secondarySurface, held, count);
  AddHeld(display.auxSurface, held, count);
  AddHeld(display.clipper, held, count);
  return count;
}

int LurnDirectDraw::Open(void *window, unsigned short width,
                         unsigned short height, unsigned char depth,
                         unsigned char options) {
  // Opening again lets go of what the library stored in this record instead
  // of leaking it (and, full screen, the exclusive mode that would refuse
  // the new one), as the list's copy has it: the fields may be a copy's,
  // garbage or zero, and are overwritten unread: emptied first, so that a
  // window handler closing this record as the old window is given back
  // finds it closed.
  LurnDirectDraw stored;
  bool reopening = openDisplays.Take(*this, stored);
  directDraw = NULL;
  directDraw2 = NULL;
  primarySurface = NULL;
  secondarySurface = NULL;
  auxSurface = NULL;
  clipper = NULL;
  secondaryBits = NULL;
  auxBits = NULL;
  if (reopening)
    ReleaseDisplay(stored, NULL);
  // Whatever the outcome, the record is listed with what it now holds.
  struct Listed {
    LurnDirectDraw &display;
    ~Listed() {
      if (display.directDraw != NULL || display.directDraw2 != NULL)
        openDisplays.Remember(display);
    }
  } listed = {*this};
  // The settings are read here, once, not at every frame.
  const Settings settings = ReadSettings();
  if (settings.keepDesktop == 1)
    options |= KeepDesktop;
  else if (settings.keepDesktop == 0)
    options &= ~KeepDesktop;
  flags = options;
  this->window = window;
  bitsPerPixel = depth;
  this->width = width;
  this->height = height;
  HWND hwnd = static_cast<HWND>(window);
  // Full screen takes the window over and windowed presents into it; a
  // null window windowed is accepted and shows nothing.
  if ((hwnd != NULL || (flags & FullScreen)) && !IsWindow(hwnd))
    return Fail(window, DDERR_INVALIDPARAMS,
                "%s needs a window, and %p is none (destroyed, or not a "
                "window's handle)",
                (flags & FullScreen) ? "full screen" : "windowed", window);

  HRESULT result = DirectDrawCreate(NULL, &directDraw, NULL);
  if (result != DD_OK)
    return Fail(window, result, "DirectDrawCreate");
  result = directDraw->QueryInterface(IID_IDirectDraw2,
                                      reinterpret_cast<void **>(&directDraw2));
  if (result != DD_OK)
    return Fail(window, result, "no IDirectDraw2 from the DirectDraw object");
  // Listed already: the window's handlers, run by the calls below, may
  // close the record, and Close must then let go of what it holds.
  openDisplays.Remember(*this);
  DisplayState *state = RememberDisplayState(directDraw, settings);
  // Keeping the desktop, a full-screen display on Windows is a window
  // covering its monitor, drawn like a windowed one; natively the stand-in
  // never changes the real display's mode anyway.
  bool exclusive = (flags & FullScreen) != 0;
  bool leaveWindowToGdi = false;
#if defined(_WIN32)
  leaveWindowToGdi = (flags & KeepDesktop) && settings.present == kPresentGdi;
#endif
#if defined(LURN_WINDOW_SYSTEM)
  if (exclusive && (flags & KeepDesktop) && state != NULL) {
    if (depth != 16 && depth != 32)
      return Fail(window, DDERR_INVALIDPIXELFORMAT,
                  "full screen at %u bits keeping the desktop: 16 or 32 only",
                  depth);
    state->window.handle = window;
    state->fullScreenClient = true;
    state->modeWidth = width;
    state->modeHeight = height;
    state->desktop.converting = true;
    exclusive = false;
    result = CoverMonitor(*state);
    if (result != DD_OK)
      return Fail(window, result,
                  "full screen keeping the desktop needs a "
                  "window; %p is none",
                  window);
    if (Empty(directDraw))
      return 0; // the window's own handler closed the display meanwhile
  }
#endif

  if (exclusive) {
    result = directDraw->SetCooperativeLevel(hwnd, DDSCL_EXCLUSIVE |
                                                       DDSCL_FULLSCREEN);
    if (result != DD_OK)
      return Fail(window, result, "exclusive full-screen level on window %p",
                  window);
    result = directDraw->SetDisplayMode(width, height, depth);
    if (result != DD_OK) {
      char modes[160];
      DescribeModes(directDraw, depth, modes, sizeof modes);
      return Fail(window, result, "full screen %ux%u at %u bits%s", width,
                  height, depth, modes);
    }
  } else {
    // A picture shown through GDI leaves the window to GDI: Wine ties its
    // DirectDraw rendering to the window the level names, and GDI's drawing
    // on that window then goes to the X server uncached, at several times
    // the cost. The primary and the clipper still go on the window.
    result = directDraw->SetCooperativeLevel(leaveWindowToGdi ? NULL : hwnd,
                                             DDSCL_NORMAL);
    if (result != DD_OK)
      return Fail(window, result, "normal level on window %p", window);
    if (!(flags & FullScreen))
      pitchPixels = width;
  }

  DDCAPS caps;
  memset(&caps, 0, sizeof caps);
  caps.dwSize = sizeof caps;
  result = directDraw->GetCaps(&caps, NULL);
  if (result != DD_OK)
    return Fail(window, result, "the driver's capabilities");

  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (exclusive) {
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
                          DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    desc.dwBackBufferCount = 1;
  } else {
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
  }
  result = directDraw->CreateSurface(&desc, &primarySurface, NULL);
  if (result != DD_OK)
    return Fail(window, result, "the primary surface%s",
                exclusive ? " with one back buffer" : "");

  // Keeping the desktop, a picture of another depth than the desktop's is
  // drawn in a surface of its own format and converted at each present.
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  if ((flags & KeepDesktop) && state != NULL && !exclusive) {
    primarySurface->GetPixelFormat(&format);
    if (format.dwRGBBitCount != depth && depth == 16)
      state->desktop.converting = true;
  }
  const DDPIXELFORMAT drawing = ExplicitFormat(depth);
  bool converting = state != NULL && state->desktop.converting;

  LONG drawingPitch = 0;
  if (exclusive) {
    // The drawing address and pitch come with the first lock.
    DDSCAPS backBuffer;
    backBuffer.dwCaps = DDSCAPS_BACKBUFFER;
    result = primarySurface->GetAttachedSurface(&backBuffer, &secondarySurface);
  } else {
    // The pitch is the surface's own, which for odd widths is more than
    // the width: a client drawing with it before its first lock draws
    // straight.
    result = CreateSystemSurface(
        directDraw, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, width,
        height, &secondarySurface, &secondaryBits, &drawingPitch,
        converting ? &drawing : NULL);
    // Every lock refuses a line of more than 65535 pixels, as the record
    // counts them (Wine pads a 65535-pixel line to 131072 bytes): refused
    // here rather than at the first frame.
    if (result == DD_OK && (static_cast<DWORD>(drawingPitch) >> 1) > 0xFFFF)
      return Fail(window, DDERR_TOOBIGWIDTH,
                  "the drawing surface %ux%u has lines of %ld bytes; a lock "
                  "takes at most 65535 pixels (131070 bytes) a line",
                  width, height, static_cast<long>(drawingPitch));
    if (flags & FullScreen)
      secondaryBits = NULL; // as full screen always: the first lock tells
    else if (result == DD_OK && drawingPitch > 0)
      pitchPixels = static_cast<unsigned short>(drawingPitch / 2);
  }
  if (result != DD_OK)
    return Fail(window, result, "the %s %ux%u",
                exclusive ? "back buffer of" : "system-memory drawing surface",
                width, height);

  LONG auxPitch = 0;
  if (flags & AuxSurface) {
    // In the drawing surface's format, converted or not.
    result = CreateSystemSurface(directDraw, DDSCAPS_SYSTEMMEMORY, width,
                                 height, &auxSurface, &auxBits, &auxPitch,
                                 converting ? &drawing : NULL);
    if (result != DD_OK) {
      ReleaseDisplay(*this, this);
      return Fail(window, result, "the auxiliary surface %ux%u", width, height);
    }
  }
  if (leaveWindowToGdi && state != NULL && !exclusive)
    KeepPixelsOwn(*this, *state, drawingPitch, auxPitch);

  // Windowed, this checks the desktop's depth against the requested one;
  // a converted picture has its own.
  if (converting)
    format = drawing;
  else
    primarySurface->GetPixelFormat(&format);
  if (format.dwRGBBitCount != bitsPerPixel) {
    unsigned found = format.dwRGBBitCount;
    if (flags & FullScreen)
      return Fail(window, DDERR_INVALIDPIXELFORMAT,
                  "full screen at %u bits, the mode came up at %u bits", depth,
                  found);
    // Advising the bit when the environment cleared it would send the
    // user round in a circle.
    if (settings.keepDesktop == 0)
      return Fail(window, DDERR_INVALIDPIXELFORMAT,
                  "windowed at %u bits, the desktop is %u bits%s; ask for %u "
                  "or open FullScreen; LURN_KEEP_DESKTOP=0 in the environment "
                  "cleared the KeepDesktop option bit (0x10), which has the "
                  "picture converted",
                  depth, found, LayoutName(format), found);
    return Fail(window, DDERR_INVALIDPIXELFORMAT,
                "windowed at %u bits, the desktop is %u bits%s; ask for %u, "
                "open FullScreen, or keep the desktop and have the picture "
                "converted: the KeepDesktop option bit (0x10) or "
                "LURN_KEEP_DESKTOP=1",
                depth, found, LayoutName(format), found);
  }
  for (size_t i = 0; i < sizeof kPixelLayouts / sizeof kPixelLayouts[0]; ++i) {
    const PixelLayout &layout = kPixelLayouts[i];
    if (format.dwRBitMask == layout.redMask &&
        format.dwGBitMask == layout.greenMask &&
        format.dwBBitMask == layout.blueMask) {
      redShift = layout.redShift;
      greenBits = layout.greenBits;
      blueShift = layout.blueShift;
      break;
    }
  }

  result = directDraw->CreateClipper(0, &clipper, NULL);
  if (result != DD_OK)
    return Fail(window, result, "the clipper");
  // Wine also moves its rendering onto the window of a clipper as it is
  // attached to the primary: leaving the window to GDI, the clipper is
  // attached before it is bound, to the same end.
  const char *const attachFailed = "the clipper on the primary surface";
  if (leaveWindowToGdi &&
      (result = primarySurface->SetClipper(clipper)) != DD_OK)
    return Fail(window, result, attachFailed);
  result = clipper->SetHWnd(0, hwnd);
  if (result != DD_OK)
    return Fail(window, result, "the clipper on window %p", window);
  if (!leaveWindowToGdi &&
      (result = primarySurface->SetClipper(clipper)) != DD_OK)
    return Fail(window, result, attachFailed);
#if defined(LURN_WINDOW_SYSTEM)
  if ((flags & KeepDesktop) && state != NULL) {
    state->window.handle = window;
    TakeAltEnter(*state);
  }
#endif
  return 1;
}

void LurnDirectDraw::Close() {
  if (openDisplays.IsOpen(*this))
    ReleaseDisplay(*this, this);
  else
    EmptyDisplay(*this);
}

namespace {

// A client that takes the interfaces may draw with DirectDraw itself: its
// frames are then locked and filled through DirectDraw, which orders them
// after its own work.
void NoteDirectDrawUse(const LurnDirectDraw &display) {
  if (Empty(display.directDraw))
    return;
  DisplayState *state = FindDisplayState(display.directDraw);
  if (state != NULL)
    state->clientUsesDirectDraw = true;
}

} // namespace

IDirectDraw *LurnDirectDraw::GetDD() {
  NoteDirectDrawUse(*this);
  return directDraw;
}

IDirectDrawSurface *LurnDirectDraw::GetPrimarySurface() {
  NoteDirectDrawUse(*this);
  return primarySurface;
}

IDirectDrawSurface *LurnDirectDraw::GetRenderSurface() {
  NoteDirectDrawUse(*this);
  return secondarySurface;
}
