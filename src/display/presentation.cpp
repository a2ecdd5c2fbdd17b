// The per-frame half of the display: lock, clear, present, restore.
// Every method here answers its failure value on a closed object instead of
// touching a missing interface: a failed lock closes the object in the
// middle of a client's frame.
#include <ddraw.h>
#include <lurn.h>

#include "../empty_field.h"
#include "../errors/report_error.h"
#include "keep_desktop.h"

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

} // namespace

int LurnDirectDraw::LockSecondaryBuffer() {
  if (Empty(directDraw) || Empty(secondarySurface) ||
      ((flags & AuxSurface) && Empty(auxSurface)))
    return 0;
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
  if (Empty(directDraw))
    return;
  if (!Empty(secondarySurface))
    secondarySurface->Unlock(NULL);
  if ((flags & AuxSurface) && !Empty(auxSurface))
    auxSurface->Unlock(NULL);
}

int LurnDirectDraw::ClearSecondaryBuffer() {
  if (Empty(directDraw) || Empty(secondarySurface))
    return 0;
  if (flags & NoClear)
    return 1;
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
  if (Empty(directDraw) || Empty(primarySurface) || Empty(secondarySurface))
    return 0;
  DesktopState *state = FindDesktopState(directDraw);
  if (state != NULL) {
    CaptureFrame(*this, *state);
#if defined(_WIN32)
    if (PresentsWithGdi(*this, *state))
      return PresentWithGdi(*this, *state);
#endif
    if (state->converting)
      return PresentToDesktop(*this, *state);
  }
  if (flags & FullScreen) {
    HRESULT result;
    do
      result = primarySurface->Flip(NULL, 0);
    while (result == DDERR_WASSTILLDRAWING);
    if (result == DDERR_SURFACELOST)
      RestoreSurfaces();
    // A flip that returns well before the next refresh waits out the rest.
    if (result == DD_OK && state != NULL)
      WaitForRefresh(*state);
    return result == DD_OK;
  }

  // A window that is gone (or was never one) has no client area to show the
  // frame in: nothing is presented.
  RECT client = {0, 0, 0, 0};
  if (!GetClientRect(static_cast<HWND>(window), &client))
    return 1;
  POINT origin = {0, 0};
  ClientToScreen(static_cast<HWND>(window), &origin);
  RECT destination = {origin.x, origin.y, client.right + origin.x,
                      client.bottom + origin.y};
  RECT whole = {0, 0, width, height};
  // The platform scales to the client area and the clipper keeps the copy
  // inside the window, but not inside the screen: a window partly off it
  // gets the part that shows.
  if (!ClipToPrimary(primarySurface, destination, whole))
    return 1; // nothing of the window is on the screen
  RECT source;
  SetRect(&source, whole.left, whole.top, whole.right, whole.bottom);
  HRESULT result = primarySurface->Blt(&destination, secondarySurface, &source,
                                       kPresentBlitFlags, NULL);
  // A display mode change takes the window's primary away: it is restored
  // here, so that the next frame shows. Any failure costs this frame.
  if (result == DDERR_SURFACELOST)
    RestoreSurfaces();
  return result == DD_OK;
}

int LurnDirectDraw::RestoreSurfaces() {
  if (Empty(directDraw) || Empty(primarySurface) || Empty(secondarySurface))
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
