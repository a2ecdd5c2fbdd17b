// The per-frame half of the display: lock, clear, present, restore.
// Every method here answers its failure value on an object that is not open
// (closed, or the original of a closed copy) instead of touching what it
// holds: a failed lock closes the object in the middle of a client's frame.
// Before any Windows header: those define `near`.
#include "../present/present.h"

#include <ddraw.h>
#include <lurn.h>

#include "../empty_field.h"
#include "../errors/report_error.h"
#include "../open_records.h"
#include "../present/frame_policy.h"
#include "../present/pacing.h"
#include "../window/window_look.h"
#include "display_state.h"
#if defined(_WIN32)
#include "windows_monitor.h"
#endif

namespace {

// Re-issues a colour fill while the hardware is busy.
HRESULT Fill(IDirectDrawSurface *surface, DDBLTFX *fx) {
  HRESULT result;
  do
    result = surface->Blt(NULL, NULL, NULL, DDBLT_COLORFILL, fx);
  while (result == DDERR_WASSTILLDRAWING);
  return result;
}

// The present's blit flags. The value is DDBLT_ALPHAEDGEBLEND's, which asks
// for nothing a plain blit into the window would not do: no platform this
// runs on blends alpha edges, and the blit is a plain scaled copy.
const DWORD kPresentBlitFlags = 0x10;

// The display's pacer, made at its first present when presents are paced
// or counted; the frame counts as ready from here.
Pacer *ReadyPacer(LurnDirectDraw &display, DisplayState *state) {
  if (state == NULL ||
      (state->settings.vsync == kVsyncOff && !state->settings.stats))
    return NULL;
  if (state->pacer == NULL)
    state->pacer = new Pacer(NewPacingClock(display.window), state->settings);
  state->pacer->Ready();
  return state->pacer;
}

void Presented(Pacer *pacer, Pacer::Kind kind, bool platformWaited = false) {
  if (pacer != NULL)
    pacer->Presented(kind, platformWaited);
}

// How the platform's blit fills the client area at `origin`: DirectDraw's
// stretches the picture to it, the stand-in's places it as the scale
// setting says (keeping its shape on a window that covers the screen).
ScaleMode BlitScale(const LurnDirectDraw &display, const DisplayState &state,
                    const RECT &client, POINT origin) {
#if defined(_WIN32)
  (void)display, (void)state, (void)client, (void)origin;
  return kScaleStretch;
#else
  return ScaleFor(state.settings.scale,
                  FillsScreen(display, state, client, origin));
#endif
}

#if defined(LURN_WINDOW_SYSTEM)
bool FollowsMonitor(DisplayState &state) {
#if defined(_WIN32)
  return FollowDisplayChanges(state);
#else
  (void)state; // the tests' fake window system: one monitor, no scaling
  return false;
#endif
}
#endif

} // namespace

int LurnDirectDraw::LockSecondaryBuffer() {
  if (Empty(directDraw) || !IsOpen(*this) || Empty(secondarySurface) ||
      ((flags & AuxSurface) && Empty(auxSurface)))
    return 0;
  if (const DisplayState *own = DrawsInOwnMemory(*this)) {
    secondaryBits = own->drawing.bits;
    pitchPixels = static_cast<unsigned short>(own->drawing.pitch >> 1);
    if (flags & AuxSurface)
      auxBits = own->aux.bits;
    return 1;
  }
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  HRESULT result = secondarySurface->Lock(NULL, &desc, DDLOCK_WAIT, NULL);
  if (result == DDERR_SURFACELOST) {
    // A flip chain is lost whenever the window goes to the back, and the
    // platform may tell the lock first: that costs the frame, as in the
    // clear and the flip, not the display.
    RestoreSurfaces();
    return 0;
  }
  if (result != DD_OK) {
    Close();
    ReportDirectXError(window, result, "LockSecondaryBuffer",
                       "lock of the drawing surface");
    return 0;
  }
  secondaryBits = desc.lpSurface;
  // The whole byte pitch is halved; a line too long to count in 16 bits is
  // as unusable as a missing address.
  DWORD pitch = static_cast<DWORD>(desc.lPitch) >> 1;
  if (Empty(secondaryBits) || pitch > 0xFFFF) {
    Close();
    ReportDirectXError(window, 0, "LockSecondaryBuffer",
                       "the lock gave address %p and pitch %ld bytes; the "
                       "platform is in trouble, the display is closed",
                       secondaryBits, static_cast<long>(desc.lPitch));
    return 0;
  }
  pitchPixels = static_cast<unsigned short>(pitch);

  if (flags & AuxSurface) {
    desc.dwSize = sizeof desc;
    result = auxSurface->Lock(NULL, &desc, DDLOCK_WAIT, NULL);
    if (result != DD_OK) {
      Close();
      ReportDirectXError(window, result, "LockSecondaryBuffer",
                         "lock of the auxiliary surface");
      return 0;
    }
    auxBits = desc.lpSurface;
    if (Empty(auxBits)) {
      Close();
      ReportDirectXError(window, 0, "LockSecondaryBuffer",
                         "the auxiliary lock gave address %p; the display "
                         "is closed",
                         auxBits);
      return 0;
    }
  }
  return 1;
}

void LurnDirectDraw::UnlockSecondaryBuffer() {
  if (Empty(directDraw) || !IsOpen(*this) || DrawsInOwnMemory(*this) != NULL)
    return;
  if (!Empty(secondarySurface))
    secondarySurface->Unlock(NULL);
  if ((flags & AuxSurface) && !Empty(auxSurface))
    auxSurface->Unlock(NULL);
}

int LurnDirectDraw::ClearSecondaryBuffer() {
  if (Empty(directDraw) || !IsOpen(*this) || Empty(secondarySurface))
    return 0;
  if (flags & NoClear)
    return 1;
  if (const DisplayState *own = DrawsInOwnMemory(*this)) {
    memset(own->drawing.bits, 0, size_t(own->drawing.pitch) * height);
    if (flags & AuxSurface) {
      const DisplayState::OwnSurface &aux = own->aux;
      FillPixels(TargetPixels{aux.bits, width, height, aux.pitch, aux.format},
                 Rect{0, 0, width, height}, 0x7FFF);
    }
    return 1;
  }
  DDBLTFX fx;
  memset(&fx, 0, sizeof fx);
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0;
  HRESULT result = Fill(secondarySurface, &fx);
  if (result == DD_OK && (flags & AuxSurface)) {
    if (Empty(auxSurface))
      return 0;
    fx.dwFillColor = 0x7FFF;
    result = Fill(auxSurface, &fx);
  }
  if (result == DDERR_SURFACELOST)
    RestoreSurfaces();
  return result == DD_OK;
}

int LurnDirectDraw::UpdatePrimaryBuffer() {
  if (Empty(directDraw) || !IsOpen(*this) || Empty(primarySurface) ||
      Empty(secondarySurface))
    return 0;
  DisplayState *state = FindDisplayState(directDraw);
#if defined(_WIN32)
  WindowDpiScope dpi(ScaledWindow(state));
#endif
#if defined(LURN_WINDOW_SYSTEM)
  // Alt+Enter, and a window covering its monitor following a display
  // change, are applied here, on the thread that presents. The window's
  // handlers run as it switches, and may close the display.
  if (state != NULL && (ApplyAltEnter(state->window, state->fullScreenClient,
                                      state->modeWidth, state->modeHeight) ||
                        FollowsMonitor(*state))) {
    if (Empty(directDraw) || Empty(primarySurface) || Empty(secondarySurface))
      return 0;
    state = FindDisplayState(directDraw);
  }
  // Whichever way the present goes, the window's record learns where the
  // picture went.
  struct NotedPicture {
    const DisplayState *state;
    ~NotedPicture() {
      if (state != NULL)
        NotePicture(state->window, state->placed);
    }
  } noted = {state};
#endif
  Pacer *pacer = ReadyPacer(*this, state);
  if (state != NULL) {
    CaptureFrame(*this, *state);
#if defined(_WIN32)
    if (PresentsWithGdi(*this, *state)) {
      int shown = PresentWithGdi(*this, *state);
      Presented(pacer,
                state->fullScreenClient ? Pacer::kFlip : Pacer::kWindowed);
      return shown;
    }
#endif
    if (state->desktop.converting) {
      int shown = PresentToDesktop(*this, *state);
      Presented(pacer,
                state->fullScreenClient ? Pacer::kFlip : Pacer::kWindowed);
      return shown;
    }
  }
  if (flags & FullScreen) {
    // The mode is the screen, and the picture fills it.
    if (state != NULL) {
      Rect mode = {0, 0, width, height};
      state->placed = Placement{mode, mode, true};
    }
    HRESULT result;
    // A flip the hardware is not ready for answers "still drawing" until
    // the vertical blank: that flip needs no wait of the library's.
    bool held = false;
    while ((result = primarySurface->Flip(NULL, 0)) == DDERR_WASSTILLDRAWING)
      held = true;
    if (result == DDERR_SURFACELOST)
      RestoreSurfaces();
    if (result == DD_OK)
      Presented(pacer, Pacer::kFlip, held);
    return result == DD_OK;
  }

  // A window that is gone (or was never one) has no client area to show the
  // frame in: nothing is presented.
  RECT client = {0, 0, 0, 0};
  if (!GetClientRect(static_cast<HWND>(window), &client))
    return 1;
  POINT origin = {0, 0};
  ClientToScreen(static_cast<HWND>(window), &origin);
  if (state != NULL) {
    Rect area = {0, 0, client.right, client.bottom};
    ScaleMode mode = BlitScale(*this, *state, client, origin);
    state->placed =
        Placement{area, PlacePicture(mode, width, height, area), false};
  }
  RECT destination = {origin.x, origin.y, client.right + origin.x,
                      client.bottom + origin.y};
  RECT whole = {0, 0, width, height};
  // The platform scales to the client area and the clipper keeps the copy
  // inside the window, but not inside the screen: a window partly off it
  // gets the part that shows.
  HRESULT result = BlitOnScreen(primarySurface, destination, secondarySurface,
                                whole, kPresentBlitFlags);
  // A display mode change takes the window's primary away: it is restored
  // here, so that the next frame shows. Any failure costs this frame.
  if (result == DDERR_SURFACELOST)
    RestoreSurfaces();
  Presented(pacer, Pacer::kWindowed);
  return result == DD_OK;
}

int LurnDirectDraw::RestoreSurfaces() {
  if (Empty(directDraw) || !IsOpen(*this) || Empty(primarySurface) ||
      Empty(secondarySurface))
    return 0;
  if (primarySurface->Restore() != DD_OK)
    return 0;
  if (secondarySurface->Restore() != DD_OK)
    return 0;
  if ((flags & AuxSurface) && !Empty(auxSurface) &&
      auxSurface->Restore() != DD_OK)
    return 0;
  return 1;
}

int LurnDirectDraw::GetCursorPosition(LurnLong *x, LurnLong *y) {
  if (Empty(directDraw) || !IsOpen(*this))
    return 0;
  DisplayState *state = FindDisplayState(directDraw);
#if defined(_WIN32)
  // The pointer in the coordinates the present placed the picture in.
  WindowDpiScope dpi(ScaledWindow(state));
#endif
  POINT pointer = {0, 0};
  if (state == NULL || !GetCursorPos(&pointer))
    return 0;
  const Placement placed = state->placed;
  if (!placed.screen && !ScreenToClient(static_cast<HWND>(window), &pointer))
    return 0; // the window is gone
  int pictureX = 0, pictureY = 0;
  bool on = PointerOnPicture(placed.picture, width, height, pointer.x,
                             pointer.y, pictureX, pictureY);
  if (x != NULL)
    *x = pictureX;
  if (y != NULL)
    *y = pictureY;
  return on ? 1 : 0;
}
