// Showing a display's picture on its window through GDI: the drawing
// surface converted and scaled by the library's kernels into 32-bit lines
// of the library's own, a band of the client area at a time, each band put
// on the window's device context while it is still in the processor's
// cache. Under Wine this costs about what two copies of the picture's bytes
// cost, where DirectDraw's blit onto the primary costs tens of times more;
// and GDI keeps to the screen by itself.
// Before any Windows header: those define `near`.
#include "../present/frame_policy.h"
#include "../present/present.h"

#include <string.h>

#include <algorithm>
#include <vector>

#include "display_state.h"

struct GdiBand {
  std::vector<uint32_t> pixels;
  int width = 0, lines = 0;
};

namespace {

// About half the cache a core has to itself on today's processors.
const int kBandBytes = 512 * 1024;

GdiBand &BandFor(DesktopConversion &conversion, int width) {
  if (conversion.gdi == NULL)
    conversion.gdi = new GdiBand();
  GdiBand &band = *conversion.gdi;
  if (band.width != width) {
    band.width = width;
    band.lines = std::max(1, kBandBytes / (width * 4));
    band.pixels.assign(size_t(width) * size_t(band.lines), 0);
  }
  return band;
}

// Fills the client area band by band: black around the picture, the picture
// through the kernels, each band shown before the next is written.
bool ShowInBands(LurnDirectDraw &display, DesktopConversion &conversion,
                 GdiBand &band, HDC context, const Rect &area,
                 const Rect &picture) {
  Pixels drawing = {NULL, 0, 0, 0, {0, 0, 0, 0}};
  if (!LockDrawing(display, drawing))
    return false;
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = area.w;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  bool shown = true;
  for (int top = 0; shown && top < area.h; top += band.lines) {
    int lines = std::min(band.lines, area.h - top);
    TargetPixels target = {reinterpret_cast<unsigned char *>(&band.pixels[0]),
                           area.w,
                           lines,
                           area.w * 4,
                           {32, 0xFF0000, 0x00FF00, 0x0000FF}};
    Rect inBand = {0, 0, area.w, lines};
    Rect placed = {picture.x, picture.y - top, picture.w, picture.h};
    FillAround(target, inBand, placed);
    info.bmiHeader.biHeight = -lines; // top-down, as the kernels write
    shown = PresentScaled(drawing, Rect{0, 0, display.width, display.height},
                          target, placed, inBand, *conversion.scratch) &&
            SetDIBitsToDevice(context, 0, top, DWORD(area.w), DWORD(lines), 0,
                              0, 0, UINT(lines), &band.pixels[0], &info,
                              DIB_RGB_COLORS) != 0;
  }
  display.secondarySurface->Unlock(NULL);
  return shown;
}

} // namespace

bool PresentsWithGdi(const LurnDirectDraw &display, const DisplayState &state) {
  return (display.flags & LurnDirectDraw::KeepDesktop) &&
         state.settings.present == kPresentGdi;
}

int PresentWithGdi(LurnDirectDraw &display, DisplayState &state) {
  HWND window = static_cast<HWND>(display.window);
  RECT client = {0, 0, 0, 0};
  if (!GetClientRect(window, &client) || client.right <= 0 ||
      client.bottom <= 0)
    return 1; // gone or minimised: nothing to show
  // Nothing is drawn on the primary, but the client may use it: one that
  // another program's mode change took away comes back, as on the blit's
  // route.
  if (display.primarySurface->IsLost() == DDERR_SURFACELOST)
    display.primarySurface->Restore();
  GdiBand &band = BandFor(state.desktop, client.right);
  Rect area = {0, 0, client.right, client.bottom};
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  ScaleMode mode = ScaleFor(state.settings.scale,
                            FillsScreen(display, state, client, origin));
  Rect place = PlacePicture(mode, display.width, display.height, area);
  state.placed = Placement{area, place, false};
  HDC context = GetDC(window);
  if (context == NULL)
    return 0;
  bool shown = ShowInBands(display, state.desktop, band, context, area, place);
  ReleaseDC(window, context);
  return shown;
}

void ForgetGdiBand(DesktopConversion &conversion) {
  delete conversion.gdi;
  conversion.gdi = NULL;
}
