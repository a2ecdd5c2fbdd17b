// Showing a display's picture on its window through GDI: the drawing
// surface converted and scaled by the library's kernels into a 32-bit DIB
// section of the client area's size, then put on the window's device
// context with one BitBlt, so that a compositor never shows half of one
// frame over the other half of the last. Under Wine this costs about what
// three copies of the picture's bytes cost, where DirectDraw's blit onto
// the primary costs tens of times more; and GDI keeps to the screen by
// itself.
// Before any Windows header: those define `near`.
#include "../present/frame_policy.h"
#include "../present/present.h"

#include <string.h>

#include "display_state.h"

struct GdiPicture {
  HDC memory = NULL;
  HBITMAP section = NULL;
  HGDIOBJ old = NULL;
  unsigned char *bits = NULL;
  int width = 0, height = 0;
  RECT placed = {0, 0, 0, 0}; // where the last picture went in it
};

namespace {

void ReleasePicture(GdiPicture &picture) {
  if (picture.memory != NULL) {
    SelectObject(picture.memory, picture.old);
    DeleteDC(picture.memory);
  }
  if (picture.section != NULL)
    DeleteObject(picture.section);
  picture = GdiPicture();
}

// The DIB section of the client area's size, selected into a memory DC;
// null when GDI cannot make one.
GdiPicture *PictureFor(DesktopConversion &conversion, int width, int height) {
  if (conversion.gdi == NULL)
    conversion.gdi = new GdiPicture();
  GdiPicture &picture = *conversion.gdi;
  if (picture.section != NULL && picture.width == width &&
      picture.height == height)
    return &picture;
  ReleasePicture(picture);
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height; // top-down, as the kernels write
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = NULL;
  picture.section =
      CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  picture.memory = picture.section != NULL ? CreateCompatibleDC(NULL) : NULL;
  if (picture.memory == NULL) {
    ReleasePicture(picture);
    return NULL;
  }
  picture.old = SelectObject(picture.memory, picture.section);
  picture.bits = static_cast<unsigned char *>(bits);
  picture.width = width;
  picture.height = height;
  return &picture;
}

// The drawing surface's pixels: the library's own memory, or a lock that
// `Unlocked` lets go of.
bool ReadDrawing(LurnDirectDraw &display, const DisplayState *own,
                 Pixels &drawing) {
  if (own == NULL)
    return LockDrawing(display, drawing);
  drawing = Pixels{own->drawing.bits, display.width, display.height,
                   own->drawing.pitch, own->drawing.format};
  return true;
}

// Converts and scales the drawing surface into the picture, painting black
// around it where it moved.
bool Convert(LurnDirectDraw &display, DisplayState &state, GdiPicture &picture,
             const Rect &area, const Rect &place) {
  const DisplayState *own = DrawsInOwnMemory(display);
  Pixels drawing = {NULL, 0, 0, 0, {0, 0, 0, 0}};
  if (!ReadDrawing(display, own, drawing))
    return false;
  TargetPixels target = {picture.bits,
                         area.w,
                         area.h,
                         area.w * 4,
                         {32, 0xFF0000, 0x00FF00, 0x0000FF}};
  RECT placed = {place.x, place.y, place.x + place.w, place.y + place.h};
  if (memcmp(&placed, &picture.placed, sizeof placed) != 0)
    FillAround(target, area, place);
  picture.placed = placed;
  bool converted =
      PresentScaled(drawing, Rect{0, 0, display.width, display.height}, target,
                    place, area, *state.desktop.scratch);
  if (own == NULL)
    display.secondarySurface->Unlock(NULL);
  return converted;
}

// Puts the picture at the client area's top left through the context as
// GDI leaves it by default, whatever origins and clip region the program
// keeps in it (a window of its own DC's).
bool Show(HDC context, const GdiPicture &picture) {
  int saved = SaveDC(context);
  SetMapMode(context, MM_TEXT);
  SetViewportOrgEx(context, 0, 0, NULL);
  SetWindowOrgEx(context, 0, 0, NULL);
  SelectClipRgn(context, NULL);
  bool shown = BitBlt(context, 0, 0, picture.width, picture.height,
                      picture.memory, 0, 0, SRCCOPY) != 0;
  if (saved != 0)
    RestoreDC(context, saved);
  // GDI may batch the copy: the next frame writes the section.
  GdiFlush();
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
  Rect area = {0, 0, client.right, client.bottom};
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  ScaleMode mode = ScaleFor(state.settings.scale,
                            FillsScreen(display, state, client, origin));
  Rect place = PlacePicture(mode, display.width, display.height, area);
  state.placed = Placement{area, place, false};
  GdiPicture *picture = PictureFor(state.desktop, area.w, area.h);
  if (picture == NULL || !Convert(display, state, *picture, area, place))
    return 0;
  HDC context = GetDC(window);
  if (context == NULL)
    return 0;
  bool shown = Show(context, *picture);
  ReleaseDC(window, context);
  return shown;
}

void ForgetGdiPicture(DesktopConversion &conversion) {
  if (conversion.gdi != NULL)
    ReleasePicture(*conversion.gdi);
  delete conversion.gdi;
  conversion.gdi = NULL;
}
