#include "present.h"

#include <map>
#include <tuple>
#include <vector>

namespace {

int LowestBit(DWORD mask) {
  int shift = 0;
  while (mask != 0 && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int BitCount(DWORD mask) {
  int count = 0;
  for (; mask != 0; mask >>= 1)
    count += mask & 1;
  return count;
}

// Widens one field of a pixel to 8 bits, repeating its top bits below.
Uint8 Expand(DWORD pixel, DWORD mask) {
  int bits = BitCount(mask);
  if (bits == 0)
    return 0;
  DWORD value = (pixel & mask) >> LowestBit(mask);
  DWORD wide = value << (8 - bits);
  return static_cast<Uint8>(wide | (wide >> bits));
}

// Every 16-bit source value mapped to the target's pixel value, built once
// per pair of formats.
const std::vector<Uint32> &LookupTable(const PixelFormat &source,
                                       const SDL_PixelFormat *target) {
  typedef std::tuple<DWORD, DWORD, DWORD, Uint32> Key;
  static std::map<Key, std::vector<Uint32>> tables;
  Key key(source.red, source.green, source.blue, target->format);
  std::vector<Uint32> &table = tables[key];
  if (table.empty()) {
    table.resize(65536);
    for (DWORD value = 0; value < 65536; ++value)
      table[value] =
          SDL_MapRGB(target, Expand(value, source.red),
                     Expand(value, source.green), Expand(value, source.blue));
  }
  return table;
}

template <class Target>
void ScaleRows(const Pixels &source, const SDL_Rect &from, SDL_Surface *target,
               const SDL_Rect &to, const SDL_Rect &area,
               const std::vector<Uint32> &table) {
  // Which source column each target column of the area shows.
  static std::vector<int> columns;
  columns.resize(area.w);
  for (int x = 0; x < area.w; ++x)
    columns[x] = from.x + int((long long)(area.x + x - to.x) * from.w / to.w);

  unsigned char *targetBits = static_cast<unsigned char *>(target->pixels);
  const Target *previous = NULL;
  int previousRow = -1;
  for (int y = 0; y < area.h; ++y) {
    int row = from.y + int((long long)(area.y + y - to.y) * from.h / to.h);
    Target *out = reinterpret_cast<Target *>(targetBits + size_t(area.y + y) *
                                                              target->pitch) +
                  area.x;
    if (row == previousRow) {
      // An enlarged picture repeats lines: copy the one just made.
      memcpy(out, previous, sizeof(Target) * area.w);
    } else {
      const Uint16 *in = reinterpret_cast<const Uint16 *>(
          source.bits + size_t(row) * source.pitch);
      if (from.w == to.w) {
        in += columns[0]; // same width: columns follow one another
        for (int x = 0; x < area.w; ++x)
          out[x] = static_cast<Target>(table[in[x]]);
      } else {
        for (int x = 0; x < area.w; ++x)
          out[x] = static_cast<Target>(table[in[columns[x]]]);
      }
    }
    previous = out;
    previousRow = row;
  }
}

Uint32 SdlFormatOf(const PixelFormat &format) {
  return SDL_MasksToPixelFormatEnum(int(format.bits), format.red, format.green,
                                    format.blue, 0);
}

} // namespace

bool PresentScaled(const Pixels &source, const SDL_Rect &from,
                   SDL_Surface *target, const SDL_Rect &to,
                   const SDL_Rect &clip) {
  SDL_Rect area;
  if (to.w <= 0 || to.h <= 0 || from.w <= 0 || from.h <= 0 ||
      !SDL_IntersectRect(&to, &clip, &area))
    return true;
  int targetBytes = target->format->BytesPerPixel;
  if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0)
    return false;
  bool done = true;
  if (source.format.bits == 16 && (targetBytes == 2 || targetBytes == 4)) {
    const std::vector<Uint32> &table =
        LookupTable(source.format, target->format);
    if (targetBytes == 2)
      ScaleRows<Uint16>(source, from, target, to, area, table);
    else
      ScaleRows<Uint32>(source, from, target, to, area, table);
  } else {
    // Other depths are rare here; SDL's own scaler serves them.
    Uint32 format = SdlFormatOf(source.format);
    SDL_Surface *wrapped = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<unsigned char *>(source.bits), source.width, source.height,
        int(source.format.bits), source.pitch, format);
    done = wrapped != NULL;
    if (done) {
      SDL_Rect in = from, out = to;
      SDL_SetClipRect(target, &area);
      done = SDL_BlitScaled(wrapped, &in, target, &out) == 0;
      SDL_SetClipRect(target, NULL);
      SDL_FreeSurface(wrapped);
    }
  }
  if (SDL_MUSTLOCK(target))
    SDL_UnlockSurface(target);
  return done;
}

SDL_Rect FitKeepingAspect(int sourceWidth, int sourceHeight, int targetWidth,
                          int targetHeight) {
  SDL_Rect fit = {0, 0, targetWidth, targetHeight};
  if (sourceWidth <= 0 || sourceHeight <= 0)
    return fit;
  if ((long long)targetWidth * sourceHeight >
      (long long)targetHeight * sourceWidth) {
    fit.w = int((long long)targetHeight * sourceWidth / sourceHeight);
    fit.x = (targetWidth - fit.w) / 2;
  } else {
    fit.h = int((long long)targetWidth * sourceHeight / sourceWidth);
    fit.y = (targetHeight - fit.h) / 2;
  }
  return fit;
}
