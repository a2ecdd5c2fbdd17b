// How a picture fills its window: stretched, with its shape kept, or at the
// largest whole multiple of its size; put on the window's SDL surface by the
// library's own present.
#include "desktop.h"
#include "present/capture.h"

namespace {

Rect RectOf(const SDL_Rect &rect) {
  return Rect{rect.x, rect.y, rect.w, rect.h};
}

} // namespace

void ShowPicture(const Pixels &source, const SDL_Rect &from, SDL_Window *window,
                 SDL_Surface *target, const SDL_Rect &area, ScaleMode mode,
                 PresentScratch &scratch, bool hideCursor) {
  if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0)
    return;
  const SDL_PixelFormat &format = *target->format;
  TargetPixels pixels = {static_cast<unsigned char *>(target->pixels),
                         target->w,
                         target->h,
                         target->pitch,
                         {format.BitsPerPixel, format.Rmask, format.Gmask,
                          format.Bmask, format.Amask}};
  Rect picture = PlacePicture(mode, from.w, from.h, RectOf(area));
  FillAround(pixels, RectOf(area), picture);
  Rect clip = {0, 0, target->w, target->h};
  bool shown =
      PresentScaled(source, RectOf(from), pixels, picture, clip, scratch);
  if (SDL_MUSTLOCK(target))
    SDL_UnlockSurface(target);
  if (!shown) {
    // Other depths are rare here; SDL's own scaler serves them.
    SDL_Surface *wrapped = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<unsigned char *>(source.bits), source.width, source.height,
        int(source.format.bits), source.pitch,
        SDL_MasksToPixelFormatEnum(int(source.format.bits), source.format.red,
                                   source.format.green, source.format.blue, 0));
    SDL_Rect in = from, out = {picture.x, picture.y, picture.w, picture.h};
    if (wrapped != NULL) {
      SDL_BlitScaled(wrapped, &in, target, &out);
      SDL_FreeSurface(wrapped);
    }
  }
  SDL_UpdateWindowSurface(window);
  if (hideCursor) {
    // The window's own motion tells while it has the pointer; otherwise
    // the pointer's place on the screen.
    int x = 0, y = 0;
    if (SDL_GetMouseFocus() == window) {
      SDL_GetMouseState(&x, &y);
    } else {
      int left = 0, top = 0;
      SDL_GetGlobalMouseState(&x, &y);
      SDL_GetWindowPosition(window, &left, &top);
      x -= left;
      y -= top;
    }
    bool over = x >= picture.x && x < picture.x + picture.w && y >= picture.y &&
                y < picture.y + picture.h;
    SDL_ShowCursor(over ? SDL_DISABLE : SDL_ENABLE);
  }
}

void ShowOnWindow(uint32_t windowId, const Pixels &source, const Rect &from,
                  const RECT *screenArea, const Settings &settings,
                  PresentScratch &scratch) {
  CaptureFrame(settings, FrameToCapture(settings), source, from);
  SDL_Window *window = LiveWindow(windowId);
  if (window == NULL)
    return;
  ApplyAltEnter(window);
  SDL_Surface *target = SDL_GetWindowSurface(window);
  if (target == NULL)
    return;
  SDL_Rect in = {from.x, from.y, from.w, from.h};
  SDL_Rect area = {0, 0, target->w, target->h};
  // A windowed client's picture is scaled as it asks unless Alt+Enter made
  // the window cover the screen; an exclusive one's fills its window.
  bool fullScreen = screenArea == NULL || CoversScreen(window);
  if (screenArea != NULL) {
    int left, top;
    SDL_GetWindowPosition(window, &left, &top);
    area = SDL_Rect{screenArea->left - left, screenArea->top - top,
                    screenArea->right - screenArea->left,
                    screenArea->bottom - screenArea->top};
  }
  ShowPicture(source, in, window, target, area,
              ScaleFor(settings.scale, fullScreen), scratch,
              settings.hideCursor);
}
