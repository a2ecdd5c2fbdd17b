// Opening and closing the display: DirectDraw set-up in full-screen or
// windowed mode, the 16-bit pixel layout, the clipper.
#include <ddraw.h>
#include <lurn.h>

#include <stdarg.h>
#include <stdio.h>

#include "../empty_field.h"
#include "../errors/diagnostic.h"
#include "../errors/report_error.h"
#include "../open_records.h"
#include "../window/window_look.h"
#include "display_state.h"

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

// The displays the library opened, with what it stored in each and each
// one's state.
OpenRecords<LurnDirectDraw, DisplayState> openDisplays;

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
// list's copy, with the state taken with it. The states of the entries
// forgotten go here too, so that both paths drop them.
void ReleaseDisplay(LurnDirectDraw &display, const LurnDirectDraw *record,
                    DisplayState *taken = NULL) {
  // Dropped last: giving the window back runs the window's handlers, which
  // may call Close again and must find the display closed.
  std::vector<DisplayState *> states(taken != NULL ? 1 : 0, taken);
  openDisplays.Forget(record, display, states);
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
  for (DisplayState *state : states)
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

DisplayState *FindDisplayState(const void *directDraw) {
  return Empty(directDraw) ? NULL : openDisplays.SideHolding(directDraw);
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

namespace {

// What the steps of one Open share.
struct Opening {
  LurnDirectDraw &display;
  Settings settings;
  DisplayState *state;
  HWND window;
  bool exclusive;        // a flip chain in exclusive mode
  bool leaveWindowToGdi; // the picture is shown through GDI
  bool converting;       // drawn in a format of its own, converted
  DDPIXELFORMAT drawing; // that format
};

// Opening again lets go of what the library stored in this record instead
// of leaking it (and, full screen, the exclusive mode that would refuse
// the new one), as the list's copy has it: the fields may be a copy's,
// garbage or zero, and are overwritten unread: emptied first, so that a
// window handler closing this record as the old window is given back
// finds it closed.
void LetGoOfEarlierOpen(LurnDirectDraw &display) {
  LurnDirectDraw stored;
  DisplayState *state;
  bool reopening = openDisplays.Take(display, stored, state);
  display.directDraw = NULL;
  display.directDraw2 = NULL;
  display.primarySurface = NULL;
  display.secondarySurface = NULL;
  display.auxSurface = NULL;
  display.clipper = NULL;
  display.secondaryBits = NULL;
  display.auxBits = NULL;
  if (reopening)
    ReleaseDisplay(stored, NULL, state);
}

// The DirectDraw object and its second interface; the record is listed
// then: the window's handlers, run by the later steps, may close it, and
// Close must then let go of what it holds.
int CreateDirectDraw(Opening &open) {
  LurnDirectDraw &display = open.display;
  HRESULT result = DirectDrawCreate(NULL, &display.directDraw, NULL);
  if (result != DD_OK)
    return Fail(display.window, result, "DirectDrawCreate");
  result = display.directDraw->QueryInterface(
      IID_IDirectDraw2, reinterpret_cast<void **>(&display.directDraw2));
  if (result != DD_OK)
    return Fail(display.window, result,
                "no IDirectDraw2 from the DirectDraw object");
  // A new object where a listed one was: that entry's record was let go of
  // without Close.
  LurnDirectDraw fresh;
  memset(&fresh, 0, sizeof fresh);
  fresh.directDraw = display.directDraw;
  std::vector<DisplayState *> stale;
  openDisplays.Forget(NULL, fresh, stale);
  for (DisplayState *state : stale)
    DropDisplayState(state);
  open.state = NewDisplayState(open.settings);
  openDisplays.Remember(display, open.state);
  return 1;
}

// Keeping the desktop, a full-screen display on Windows is a window
// covering its monitor, drawn like a windowed one; natively the stand-in
// never changes the real display's mode anyway.
int TakeWindow(Opening &open) {
#if defined(LURN_WINDOW_SYSTEM)
  LurnDirectDraw &display = open.display;
  DisplayState *state = open.state;
  if (!open.exclusive || !(display.flags & LurnDirectDraw::KeepDesktop) ||
      state == NULL)
    return 1;
  if (display.bitsPerPixel != 16 && display.bitsPerPixel != 32)
    return Fail(display.window, DDERR_INVALIDPIXELFORMAT,
                "full screen at %u bits keeping the desktop: 16 or 32 only",
                display.bitsPerPixel);
  state->window.handle = display.window;
  state->window.keepsDesktop = true;
  state->fullScreenClient = true;
  state->modeWidth = display.width;
  state->modeHeight = display.height;
  state->desktop.converting = true;
  open.exclusive = false;
  HRESULT result = CoverMonitor(state->window);
  if (result != DD_OK)
    return Fail(display.window, result,
                "full screen keeping the desktop needs a window; %p is none",
                display.window);
  if (Empty(display.directDraw))
    return 0; // the window's own handler closed the display meanwhile
#else
  (void)open;
#endif
  return 1;
}

// Exclusive with the mode set, or the normal level.
int SetLevel(Opening &open) {
  LurnDirectDraw &display = open.display;
  void *window = display.window;
  HRESULT result;
  if (open.exclusive) {
    result = display.directDraw->SetCooperativeLevel(
        open.window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    if (result != DD_OK)
      return Fail(window, result, "exclusive full-screen level on window %p",
                  window);
    result = display.directDraw->SetDisplayMode(display.width, display.height,
                                                display.bitsPerPixel);
    if (result != DD_OK) {
      char modes[160];
      DescribeModes(display.directDraw, display.bitsPerPixel, modes,
                    sizeof modes);
      return Fail(window, result, "full screen %ux%u at %u bits%s",
                  display.width, display.height, display.bitsPerPixel, modes);
    }
    return 1;
  }
  // A picture shown through GDI leaves the window to GDI: Wine ties its
  // DirectDraw rendering to the window the level names, and GDI's drawing
  // on that window then goes to the X server uncached, at several times
  // the cost. The primary and the clipper still go on the window.
  result = display.directDraw->SetCooperativeLevel(
      open.leaveWindowToGdi ? NULL : open.window, DDSCL_NORMAL);
  if (result != DD_OK)
    return Fail(window, result, "normal level on window %p", window);
  if (!(display.flags & LurnDirectDraw::FullScreen))
    display.pitchPixels = display.width;
  return 1;
}

// The primary surface (with its back buffer, exclusive), and whether the
// picture is converted: keeping the desktop, a picture of another depth
// than the desktop's is drawn in a surface of its own format and converted
// at each present.
int CreatePrimary(Opening &open) {
  LurnDirectDraw &display = open.display;
  DDCAPS caps;
  memset(&caps, 0, sizeof caps);
  caps.dwSize = sizeof caps;
  HRESULT result = display.directDraw->GetCaps(&caps, NULL);
  if (result != DD_OK)
    return Fail(display.window, result, "the driver's capabilities");
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (open.exclusive) {
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP |
                          DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
    desc.dwBackBufferCount = 1;
  } else {
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
  }
  result =
      display.directDraw->CreateSurface(&desc, &display.primarySurface, NULL);
  if (result != DD_OK)
    return Fail(display.window, result, "the primary surface%s",
                open.exclusive ? " with one back buffer" : "");
  if ((display.flags & LurnDirectDraw::KeepDesktop) && open.state != NULL &&
      !open.exclusive) {
    DDPIXELFORMAT format;
    memset(&format, 0, sizeof format);
    format.dwSize = sizeof format;
    display.primarySurface->GetPixelFormat(&format);
    if (format.dwRGBBitCount != display.bitsPerPixel &&
        display.bitsPerPixel == 16)
      open.state->desktop.converting = true;
  }
  open.drawing = ExplicitFormat(display.bitsPerPixel);
  open.converting = open.state != NULL && open.state->desktop.converting;
  return 1;
}

// The drawing surface: the back buffer, or a system-memory surface whose
// address and pitch are known at once; and the auxiliary surface.
int CreateDrawingSurfaces(Opening &open) {
  LurnDirectDraw &display = open.display;
  void *window = display.window;
  unsigned width = display.width, height = display.height;
  const DDPIXELFORMAT *format = open.converting ? &open.drawing : NULL;
  HRESULT result;
  LONG drawingPitch = 0, auxPitch = 0;
  if (open.exclusive) {
    // The drawing address and pitch come with the first lock.
    DDSCAPS backBuffer;
    backBuffer.dwCaps = DDSCAPS_BACKBUFFER;
    result = display.primarySurface->GetAttachedSurface(
        &backBuffer, &display.secondarySurface);
  } else {
    // The pitch is the surface's own, which for odd widths is more than
    // the width: a client drawing with it before its first lock draws
    // straight.
    result = CreateSystemSurface(
        display.directDraw, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY,
        display.width, display.height, &display.secondarySurface,
        &display.secondaryBits, &drawingPitch, format);
    // Every lock refuses a line of more than 65535 pixels, as the record
    // counts them (Wine pads a 65535-pixel line to 131072 bytes): refused
    // here rather than at the first frame.
    if (result == DD_OK && (static_cast<DWORD>(drawingPitch) >> 1) > 0xFFFF)
      return Fail(window, DDERR_TOOBIGWIDTH,
                  "the drawing surface %ux%u has lines of %ld bytes; a lock "
                  "takes at most 65535 pixels (131070 bytes) a line",
                  width, height, static_cast<long>(drawingPitch));
    if (display.flags & LurnDirectDraw::FullScreen)
      display.secondaryBits = NULL; // as full screen always: the first lock
    else if (result == DD_OK && drawingPitch > 0)
      display.pitchPixels = static_cast<unsigned short>(drawingPitch / 2);
  }
  if (result != DD_OK)
    return Fail(window, result, "the %s %ux%u",
                open.exclusive ? "back buffer of"
                               : "system-memory drawing surface",
                width, height);
  if (display.flags & LurnDirectDraw::AuxSurface) {
    // In the drawing surface's format, converted or not.
    result = CreateSystemSurface(
        display.directDraw, DDSCAPS_SYSTEMMEMORY, display.width, display.height,
        &display.auxSurface, &display.auxBits, &auxPitch, format);
    if (result != DD_OK) {
      ReleaseDisplay(display, &display);
      return Fail(window, result, "the auxiliary surface %ux%u", width, height);
    }
  }
  if (open.leaveWindowToGdi && open.state != NULL && !open.exclusive)
    KeepPixelsOwn(display, *open.state, drawingPitch, auxPitch);
  return 1;
}

// The pixel layout fields from the drawing format. Windowed, this checks
// the desktop's depth against the requested one; a converted picture has
// its own.
int ReadPixelLayout(Opening &open) {
  LurnDirectDraw &display = open.display;
  unsigned depth = display.bitsPerPixel;
  DDPIXELFORMAT format = open.drawing;
  if (!open.converting) {
    memset(&format, 0, sizeof format);
    format.dwSize = sizeof format;
    display.primarySurface->GetPixelFormat(&format);
  }
  if (format.dwRGBBitCount != depth) {
    unsigned found = format.dwRGBBitCount;
    if (display.flags & LurnDirectDraw::FullScreen)
      return Fail(display.window, DDERR_INVALIDPIXELFORMAT,
                  "full screen at %u bits, the mode came up at %u bits", depth,
                  found);
    // Advising the bit when the environment cleared it would send the
    // user round in a circle.
    if (open.settings.keepDesktop == 0)
      return Fail(display.window, DDERR_INVALIDPIXELFORMAT,
                  "windowed at %u bits, the desktop is %u bits%s; ask for %u "
                  "or open FullScreen; LURN_KEEP_DESKTOP=0 in the environment "
                  "cleared the KeepDesktop option bit (0x10), which has the "
                  "picture converted",
                  depth, found, LayoutName(format), found);
    return Fail(display.window, DDERR_INVALIDPIXELFORMAT,
                "windowed at %u bits, the desktop is %u bits%s; ask for %u, "
                "open FullScreen, or keep the desktop and have the picture "
                "converted: the KeepDesktop option bit (0x10) or "
                "LURN_KEEP_DESKTOP=1",
                depth, found, LayoutName(format), found);
  }
  for (const PixelLayout &layout : kPixelLayouts)
    if (format.dwRBitMask == layout.redMask &&
        format.dwGBitMask == layout.greenMask &&
        format.dwBBitMask == layout.blueMask) {
      display.redShift = layout.redShift;
      display.greenBits = layout.greenBits;
      display.blueShift = layout.blueShift;
      break;
    }
  return 1;
}

// The clipper, bound to the window and attached to the primary. Wine also
// moves its rendering onto the window of a clipper as it is attached to
// the primary: leaving the window to GDI, the clipper is attached before
// it is bound, to the same end.
int AttachClipper(Opening &open) {
  LurnDirectDraw &display = open.display;
  HRESULT result = display.directDraw->CreateClipper(0, &display.clipper, NULL);
  if (result != DD_OK)
    return Fail(display.window, result, "the clipper");
  const char *const attachFailed = "the clipper on the primary surface";
  if (open.leaveWindowToGdi &&
      (result = display.primarySurface->SetClipper(display.clipper)) != DD_OK)
    return Fail(display.window, result, attachFailed);
  result = display.clipper->SetHWnd(0, open.window);
  if (result != DD_OK)
    return Fail(display.window, result, "the clipper on window %p",
                display.window);
  if (!open.leaveWindowToGdi &&
      (result = display.primarySurface->SetClipper(display.clipper)) != DD_OK)
    return Fail(display.window, result, attachFailed);
#if defined(LURN_WINDOW_SYSTEM)
  if (open.state != NULL) {
    open.state->window.handle = display.window;
    open.state->window.keepsDesktop =
        (display.flags & LurnDirectDraw::KeepDesktop) != 0;
    TakeAltEnter(open.state->window, open.state->window.keepsDesktop &&
                                         open.state->settings.altEnter);
    TakeCursor(open.state->window, open.state->settings.hideCursor);
  }
#endif
  return 1;
}

} // namespace

int LurnDirectDraw::Open(void *window, unsigned short width,
                         unsigned short height, unsigned char depth,
                         unsigned char options) {
  LetGoOfEarlierOpen(*this);
  // Whatever the outcome, the record is listed with what it now holds.
  struct Listed {
    LurnDirectDraw &display;
    ~Listed() {
      if (display.directDraw != NULL || display.directDraw2 != NULL)
        openDisplays.Remember(display);
    }
  } listed = {*this};
  // The settings are read here, once, not at every frame.
  Opening open = {*this,
                  ReadSettings(),
                  NULL,
                  static_cast<HWND>(window),
                  (options & FullScreen) != 0,
                  false,
                  false,
                  DDPIXELFORMAT()};
  // A developer who asks for the figures sees what they were made under.
  if (open.settings.stats)
    SayDiagnostic("%s", DescribeSettings().c_str());
  if (open.settings.keepDesktop == 1)
    options |= KeepDesktop;
  else if (open.settings.keepDesktop == 0)
    options &= ~KeepDesktop;
  flags = options;
  this->window = window;
  bitsPerPixel = depth;
  this->width = width;
  this->height = height;
#if defined(_WIN32)
  open.leaveWindowToGdi =
      (flags & KeepDesktop) && open.settings.present == kPresentGdi;
#endif
  // Full screen takes the window over and windowed presents into it; a
  // null window windowed is accepted and shows nothing.
  if ((window != NULL || (flags & FullScreen)) && !IsWindow(open.window))
    return Fail(window, DDERR_INVALIDPARAMS,
                "%s needs a window, and %p is none (destroyed, or not a "
                "window's handle)",
                (flags & FullScreen) ? "full screen" : "windowed", window);
  return CreateDirectDraw(open) && TakeWindow(open) && SetLevel(open) &&
         CreatePrimary(open) && CreateDrawingSurfaces(open) &&
         ReadPixelLayout(open) && AttachClipper(open);
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
