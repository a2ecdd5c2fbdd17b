// Showing a display's picture on its window through GDI: the drawing
// surface converted and scaled by the library's kernels into a 32-bit
// top-down picture of the library's own at the client area's size, put on
// the window's device context. Under Wine this costs about what a copy of
// the picture's bytes costs, where DirectDraw's blit onto the primary costs
// tens of times more; and GDI keeps to the screen by itself.
// Before any Windows header: those define `near`.
#include "../present/frame_policy.h"
#include "../present/present.h"

#include <string.h>

#include <vector>

#include "display_state.h"

struct GdiPicture {
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  RECT last = {0, 0, 0, 0}; // where the picture went in it
  BITMAPINFO info;
};

namespace {

// The picture at the client area's size, black until a frame is drawn.
GdiPicture &PictureOf(DesktopConversion &conversion, int width, int height) {
  if (conversion.gdi == NULL)
    conversion.gdi = new GdiPicture();
  GdiPicture &picture = *conversion.gdi;
  if (picture.width == width && picture.height == height)
    return picture;
  picture.pixels.assign(size_t(width) * size_t(height), 0);
  picture.width = width;
  picture.height = height;
  picture.last = RECT{0, 0, 0, 0};
  memset(&picture.info, 0, sizeof picture.info);
  BITMAPINFOHEADER &header = picture.info.bmiHeader;
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -height; // top-down, as the kernels write
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  return picture;
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
  GdiPicture &picture = PictureOf(state.desktop, client.right, client.bottom);
  Rect area = {0, 0, picture.width, picture.height};
  TargetPixels target = {reinterpret_cast<unsigned char *>(&picture.pixels[0]),
                         picture.width,
                         picture.height,
                         picture.width * 4,
                         {32, 0xFF0000, 0x00FF00, 0x0000FF}};
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  ScaleMode mode = ScaleFor(state.settings.scale,
                            FillsScreen(display, state, client, origin));
  Rect place = PlacePicture(mode, display.width, display.height, area);
  state.placed = Placement{area, place, false};
  if (!ConvertDrawing(display, state.desktop, target, place, picture.last))
    return 0;
  HDC context = GetDC(window);
  if (context == NULL)
    return 0;
  int lines = SetDIBitsToDevice(
      context, 0, 0, DWORD(picture.width), DWORD(picture.height), 0, 0, 0,
      UINT(picture.height), &picture.pixels[0], &picture.info, DIB_RGB_COLORS);
  ReleaseDC(window, context);
  return lines != 0;
}

void ForgetGdiPicture(DesktopConversion &conversion) {
  delete conversion.gdi;
  conversion.gdi = NULL;
}
