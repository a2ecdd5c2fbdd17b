// How a picture fills its window: stretched, with its shape kept, or at the
// largest whole multiple of its size.
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "desktop.h"

ScaleMode ScaleModeSetting(bool fullScreen) {
  const char *setting = getenv("LURN_STANDIN_SCALE");
  if (setting != NULL && strcmp(setting, "stretch") == 0)
    return ScaleMode::Stretch;
  if (setting != NULL && strcmp(setting, "aspect") == 0)
    return ScaleMode::Aspect;
  if (setting != NULL && strcmp(setting, "integer") == 0)
    return ScaleMode::Integer;
  return fullScreen ? ScaleMode::Aspect : ScaleMode::Stretch;
}

SDL_Rect PlacePicture(ScaleMode mode, int width, int height,
                      const SDL_Rect &area) {
  if (mode == ScaleMode::Stretch || width <= 0 || height <= 0)
    return area;
  int times = std::min(area.w / width, area.h / height);
  SDL_Rect place;
  if (mode == ScaleMode::Integer && times >= 1) {
    place.w = width * times;
    place.h = height * times;
    place.x = (area.w - place.w) / 2;
    place.y = (area.h - place.h) / 2;
  } else {
    // A picture larger than its area shrinks with its shape kept.
    place = FitKeepingAspect(width, height, area.w, area.h);
  }
  place.x += area.x;
  place.y += area.y;
  return place;
}

void FillAround(SDL_Surface *target, const SDL_Rect &area,
                const SDL_Rect &picture) {
  Uint32 black = SDL_MapRGB(target->format, 0, 0, 0);
  int pictureBottom = picture.y + picture.h, areaBottom = area.y + area.h;
  SDL_Rect bands[4] = {
      {area.x, area.y, area.w, picture.y - area.y},
      {area.x, pictureBottom, area.w, areaBottom - pictureBottom},
      {area.x, picture.y, picture.x - area.x, picture.h},
      {picture.x + picture.w, picture.y,
       area.x + area.w - picture.x - picture.w, picture.h}};
  for (const SDL_Rect &band : bands)
    if (band.w > 0 && band.h > 0)
      SDL_FillRect(target, &band, black);
}
