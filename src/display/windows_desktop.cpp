// The Windows side of keeping the desktop: presents paced to the display's
// refresh, and frames captured as PNG (the window itself: windows_window.cpp).
#include <ddraw.h>
#include <lurn.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "../present/capture.h"
#include "../present/present.h"
#include "keep_desktop.h"

namespace {

int RefreshRate() {
  DEVMODEA mode;
  memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  if (EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode) &&
      mode.dmDisplayFrequency > 1)
    return int(mode.dmDisplayFrequency);
  return 60;
}

long long Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

} // namespace

void CaptureFrame(LurnDirectDraw &display, DesktopState &state) {
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

void WaitForRefresh(DesktopState &state) {
  if (!state.settings.vsync)
    return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  if (state.refreshPeriod == 0) // the rate as the display had it at first
    state.refreshPeriod = frequency.QuadPart / RefreshRate();
  long long period = state.refreshPeriod, now = Ticks();
  long long next = state.lastRefresh + period;
  if (state.lastRefresh == 0 || now - next > 15 * period) {
    // The first present, or one after a pause of a quarter of a second:
    // refreshes count from here.
    state.lastRefresh = now;
    return;
  }
  // Refreshes follow one another a period apart, however late one wake-up:
  // a late present waits for none, the next ones catch up.
  // Sleep wakes late by a millisecond or more, much more on a loaded
  // machine: the last two are waited out yielding the processor.
  long long milliseconds = (next - now) * 1000 / frequency.QuadPart;
  if (milliseconds > 2)
    Sleep(DWORD(milliseconds - 2));
  while (Ticks() < next)
    SwitchToThread();
  state.lastRefresh = next;
}
