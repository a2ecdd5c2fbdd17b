#include "present.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "kernels/kernels.h"

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

const Kernels *KernelsNamed(const char *name) {
  if (strcmp(name, "avx2") == 0)
    return Avx2Kernels();
  if (strcmp(name, "sse2") == 0)
    return Sse2Kernels();
  return strcmp(name, "c") == 0 ? &kPortableKernels : nullptr;
}

// The best the processor runs, unless LURN_STANDIN_KERNEL names another.
const Kernels *&Chosen() {
  static const Kernels *chosen = [] {
    const char *wanted = getenv("LURN_STANDIN_KERNEL");
    const Kernels *named = wanted != NULL ? KernelsNamed(wanted) : nullptr;
    if (named != nullptr)
      return named;
    if (Avx2Kernels() != nullptr)
      return Avx2Kernels();
    if (Sse2Kernels() != nullptr)
      return Sse2Kernels();
    return &kPortableKernels;
  }();
  return chosen;
}

bool Contiguous(DWORD mask) {
  DWORD low = mask >> LowestBit(mask);
  return (low & (low + 1)) == 0;
}

// The kernels' recipe for one source field (a contiguous mask within 16 bits,
// or none).
Channel SourceChannel(DWORD mask) {
  Channel channel = {0, 0, 0, 0, 0};
  int bits = BitCount(mask);
  if (bits == 0)
    return channel;
  channel.shl = Uint16(16 - LowestBit(mask) - bits);
  channel.mask = Uint16(((1u << bits) - 1) << (16 - bits));
  channel.mul = Uint16(bits > 8 ? 256 : ((1u << bits) + 1) << (8 - bits));
  return channel;
}

// Fills `conversion` when the kernels can make the target's pixels: any
// 16-bit source of contiguous fields; a 16-bit target as SDL_MapRGB makes
// its pixels; a 32-bit one with 8-bit channels in its low three bytes.
bool Describe(const PixelFormat &source, const SDL_PixelFormat *target,
              Conversion &conversion) {
  const DWORD masks[3] = {source.red, source.green, source.blue};
  const Uint32 targetMasks[3] = {target->Rmask, target->Gmask, target->Bmask};
  const Uint8 losses[3] = {target->Rloss, target->Gloss, target->Bloss};
  const Uint8 shifts[3] = {target->Rshift, target->Gshift, target->Bshift};
  conversion.bytes = target->BytesPerPixel;
  conversion.alpha = target->Amask;
  bool used[3] = {false, false, false};
  Uint16 masks32[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (masks[i] > 0xFFFF || (masks[i] != 0 && !Contiguous(masks[i])))
      return false;
    Channel channel = SourceChannel(masks[i]);
    if (conversion.bytes == 2) {
      if (losses[i] > 8 || shifts[i] > 15)
        return false;
      channel.loss = losses[i];
      channel.shift = shifts[i];
      conversion.channel[i] = channel;
    } else {
      int byte = shifts[i] / 8;
      if (losses[i] != 0 || shifts[i] % 8 != 0 || byte > 2 || used[byte] ||
          targetMasks[i] != 0xFFu << shifts[i])
        return false;
      used[byte] = true;
      conversion.channel[byte] = channel;
      masks32[byte] = Uint16(masks[i]);
    }
  }
  conversion.known = -1;
  for (int known = 0; known < kKnownLayouts && conversion.bytes == 4; ++known)
    if (memcmp(kKnownMasks[known], masks32, sizeof masks32) == 0)
      conversion.known = known;
  return conversion.bytes == 2 ||
         (conversion.alpha == 0 || conversion.alpha == 0xFF000000u);
}

int SourceRow(const SDL_Rect &from, const SDL_Rect &to, int y) {
  return from.y + int((long long)(y - to.y) * from.h / to.h);
}

// Every target line of `area` made by the kernels, one source line at a
// time: lines showing the same source line are written together.
void Draw(const Kernels &kernels, const Conversion &conversion,
          const Pixels &source, const SDL_Rect &from, SDL_Surface *target,
          const SDL_Rect &to, const SDL_Rect &area) {
  static Picks picks;
  static std::vector<Uint8> row;
  static std::vector<Uint8 *> lines;
  int bytes = conversion.bytes;
  int k = to.w % from.w == 0 ? to.w / from.w : 0;
  int across = area.x - to.x; // target columns left of the area
  if (k > 4)
    k = 0;
  int first = from.x + across / (k > 0 ? k : 1), span = 0;
  if (k == 0) {
    // Which source column each target column of the area shows.
    int n = area.w, groups = n / 8;
    picks.columns.resize(n);
    for (int x = 0; x < n; ++x)
      picks.columns[x] = int((long long)(across + x) * from.w / to.w);
    first = from.x + picks.columns[0];
    span = picks.columns[n - 1] - picks.columns[0] + 1;
    for (int x = n - 1; x >= 0; --x)
      picks.columns[x] -= picks.columns[0];
    picks.groupStart.resize(groups);
    picks.offsets.resize(size_t(groups) * 8);
    picks.near.resize(groups);
    for (int g = 0; g < groups; ++g) {
      const int *group = &picks.columns[8 * g];
      picks.groupStart[g] = group[0];
      for (int i = 0; i < 8; ++i)
        picks.offsets[8 * g + i] = group[i] - group[0];
      picks.near[g] = group[7] - group[0] < 8;
    }
    row.assign(size_t(span + 8) * bytes, 0);
  }
  Uint8 *targetBits = static_cast<Uint8 *>(target->pixels);
  Uint8 *rowLine = row.data();
  if (k == 1 && from.h == to.h && area.w == from.w &&
      source.pitch == from.w * 2 && target->pitch == area.w * bytes &&
      (long long)area.w * area.h <= INT_MAX) {
    // Whole lines one after another on both sides, as in an unscaled
    // window: one row as long as the frame, without a start per line.
    const Uint8 *in = source.bits +
                      size_t(from.y + area.y - to.y) * source.pitch +
                      size_t(first) * 2;
    Uint8 *out =
        targetBits + size_t(area.y) * target->pitch + size_t(area.x) * bytes;
    kernels.widen(reinterpret_cast<const Uint16 *>(in), area.w * area.h, 1,
                  &out, 1, 0, conversion);
    return;
  }
  // The source line of target line y is from.y + (y - to.y) * from.h / to.h:
  // stepped through without a division per line.
  long long start = (long long)(area.y - to.y) * from.h;
  int down = int(start / to.h), part = int(start % to.h);
  int y = area.y, end = area.y + area.h;
  while (y < end) {
    int sourceRow = from.y + down;
    lines.clear();
    while (y < end && from.y + down == sourceRow) {
      lines.push_back(targetBits + size_t(y) * target->pitch +
                      size_t(area.x) * bytes);
      ++y;
      down += from.h / to.h;
      part += from.h % to.h;
      if (part >= to.h) {
        part -= to.h;
        ++down;
      }
    }
    const Uint16 *in = reinterpret_cast<const Uint16 *>(
                           source.bits + size_t(sourceRow) * source.pitch) +
                       first;
    int count = int(lines.size());
    if (k == 0) {
      kernels.widen(in, span, 1, &rowLine, 1, 0, conversion);
      kernels.pick(rowLine, picks, lines.data(), count, bytes);
      continue;
    }
    // A whole multiple across: the area may begin and end inside one
    // source pixel's k copies.
    int x = 0, head = std::min(k - across % k, area.w);
    if (head < k) {
      kernels.widen(in++, 1, head, lines.data(), count, 0, conversion);
      x = head;
    }
    int whole = (area.w - x) / k;
    kernels.widen(in, whole, k, lines.data(), count, x * bytes, conversion);
    x += whole * k;
    if (x < area.w)
      kernels.widen(in + whole, 1, area.w - x, lines.data(), count, x * bytes,
                    conversion);
  }
}

// Any other pair of formats, one pixel at a time.
template <class Target>
void DrawEachPixel(const Pixels &source, const SDL_Rect &from,
                   SDL_Surface *target, const SDL_Rect &to,
                   const SDL_Rect &area) {
  const PixelFormat &format = source.format;
  for (int y = area.y; y < area.y + area.h; ++y) {
    const Uint16 *in = reinterpret_cast<const Uint16 *>(
        source.bits + size_t(SourceRow(from, to, y)) * source.pitch);
    Target *out = reinterpret_cast<Target *>(
        static_cast<Uint8 *>(target->pixels) + size_t(y) * target->pitch);
    for (int x = area.x; x < area.x + area.w; ++x) {
      DWORD pixel = in[from.x + int((long long)(x - to.x) * from.w / to.w)];
      out[x] = static_cast<Target>(
          SDL_MapRGB(target->format, Expand(pixel, format.red),
                     Expand(pixel, format.green), Expand(pixel, format.blue)));
    }
  }
}

Uint32 SdlFormatOf(const PixelFormat &format) {
  return SDL_MasksToPixelFormatEnum(int(format.bits), format.red, format.green,
                                    format.blue, 0);
}

} // namespace

Uint8 Expand(DWORD pixel, DWORD mask) {
  int bits = BitCount(mask);
  if (bits == 0)
    return 0;
  DWORD value = (pixel & mask) >> LowestBit(mask);
  if (bits > 8)
    return static_cast<Uint8>(value >> (bits - 8));
  DWORD wide = value << (8 - bits);
  return static_cast<Uint8>(wide | (wide >> bits));
}

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
    Conversion conversion;
    if (Describe(source.format, target->format, conversion))
      Draw(*Chosen(), conversion, source, from, target, to, area);
    else if (targetBytes == 2)
      DrawEachPixel<Uint16>(source, from, target, to, area);
    else
      DrawEachPixel<Uint32>(source, from, target, to, area);
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

bool UsePresentKernels(const char *name) {
  const Kernels *named = KernelsNamed(name);
  if (named != nullptr)
    Chosen() = named;
  return named != nullptr;
}

const char *PresentKernels() { return Chosen()->name; }
