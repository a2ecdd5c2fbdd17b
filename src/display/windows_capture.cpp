// Frames captured as PNG on Windows, where the library shows what it
// presents (natively the stand-in captures what it shows).
#include <ddraw.h>
#include <lurn.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "../present/capture.h"
#include "../present/present.h"
#include "display_state.h"

void CaptureFrame(LurnDirectDraw &display, DisplayState &state) {
  unsigned long frame = FrameToCapture(state.settings);
  if (frame == 0)
    return;
  IDirectDrawSurface *surface = display.secondarySurface;
  DDPIXELFORMAT format;
  memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  if (surface->GetPixelFormat(&format) != DD_OK ||
      surface->Lock(NULL, &desc, DDLOCK_WAIT | DDLOCK_READONLY, NULL) != DD_OK)
    return; // lost or busy: this frame is not captured
  Pixels pixels = {static_cast<const unsigned char *>(desc.lpSurface),
                   int(desc.dwWidth),
                   int(desc.dwHeight),
                   int(desc.lPitch),
                   {format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask,
                    format.dwBBitMask}};
  CaptureFrame(state.settings, frame, pixels,
               Rect{0, 0, pixels.width, pixels.height});
  surface->Unlock(NULL);
}
