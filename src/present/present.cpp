#include "present.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "../errors/diagnostic.h"

namespace {

int LowestBit(uint32_t mask) {
  int shift = 0;
  while (mask != 0 && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int BitCount(uint32_t mask) {
  int count = 0;
  for (; mask != 0; mask >>= 1)
    count += mask & 1;
  return count;
}

int BytesOf(const PixelFormat &format) { return int(format.bits + 7) / 8; }

const Kernels *KernelsNamed(const char *name) {
  if (strcmp(name, "avx2") == 0)
    return Avx2Kernels();
  if (strcmp(name, "sse2") == 0)
    return Sse2Kernels();
  if (strcmp(name, "wasm") == 0)
    return WasmKernels();
  return strcmp(name, "c") == 0 ? &kPortableKernels : nullptr;
}

// The best the processor runs, unless the settings name another it runs.
std::atomic<const Kernels *> &Chosen() {
  static std::atomic<const Kernels *> chosen([] {
    const Kernels *best = Avx2Kernels() != nullptr   ? Avx2Kernels()
                          : Sse2Kernels() != nullptr ? Sse2Kernels()
                          : WasmKernels() != nullptr ? WasmKernels()
                                                     : &kPortableKernels;
    std::string wanted = ReadSettings().kernel;
    if (wanted.empty())
      return best;
    const Kernels *named = KernelsNamed(wanted.c_str());
    if (named != nullptr)
      return named;
    SayDiagnostic("lurn: this processor cannot run the %s kernels; using %s",
                  wanted.c_str(), best->name);
    return best;
  }());
  return chosen;
}

bool Contiguous(uint32_t mask) {
  uint32_t low = mask >> LowestBit(mask);
  return (low & (low + 1)) == 0;
}

// Fills `conversion` when the kernels can make the target's pixels: any
// 16-bit source of contiguous fields; a 16-bit target of contiguous fields
// of at most 8 bits; a 32-bit one with 8-bit channels in its low three bytes.
bool Describe(const PixelFormat &source, const PixelFormat &target,
              Conversion &conversion) {
  const uint32_t masks[3] = {source.red, source.green, source.blue};
  const uint32_t targetMasks[3] = {target.red, target.green, target.blue};
  conversion.bytes = BytesOf(target);
  conversion.alpha = target.alpha;
  bool used[3] = {false, false, false};
  uint16_t masks32[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (masks[i] > 0xFFFF || (masks[i] != 0 && !Contiguous(masks[i])) ||
        targetMasks[i] == 0 || !Contiguous(targetMasks[i]))
      return false;
    Channel channel = SourceChannel(masks[i]);
    int bits = BitCount(targetMasks[i]), shift = LowestBit(targetMasks[i]);
    if (conversion.bytes == 2) {
      if (bits > 8 || shift + bits > 16)
        return false;
      channel.loss = uint8_t(8 - bits);
      channel.shift = uint8_t(shift);
      conversion.channel[i] = channel;
    } else {
      int byte = shift / 8;
      if (bits != 8 || shift % 8 != 0 || byte > 2 || used[byte])
        return false;
      used[byte] = true;
      conversion.channel[byte] = channel;
      masks32[byte] = uint16_t(masks[i]);
    }
  }
  conversion.known = -1;
  for (int known = 0; known < kKnownLayouts && conversion.bytes == 4; ++known)
    if (memcmp(kKnownMasks[known], masks32, sizeof masks32) == 0)
      conversion.known = known;
  if (conversion.bytes == 2)
    return conversion.alpha <= 0xFFFF;
  return conversion.alpha == 0 || conversion.alpha == 0xFF000000u;
}

int SourceRow(const Rect &from, const Rect &to, int y) {
  return from.y + int((long long)(y - to.y) * from.h / to.h);
}

// Every target line of `area` made by the kernels, one source line at a
// time: lines showing the same source line are written together.
void Draw(const Kernels &kernels, const Conversion &conversion,
          const Pixels &source, const Rect &from, const TargetPixels &target,
          const Rect &to, const Rect &area, PresentScratch &scratch) {
  Picks &picks = scratch.picks;
  std::vector<uint8_t *> &lines = scratch.lines;
  int bytes = conversion.bytes;
  int k = to.w % from.w == 0 ? to.w / from.w : 0;
  int across = area.x - to.x; // target columns left of the area
  if (k > 4)
    k = 0;
  int first = from.x + across / (k > 0 ? k : 1), span = 0;
  const int picked[5] = {across, area.w, from.w, to.w, bytes};
  if (k == 0 && memcmp(picked, scratch.picked, sizeof picked) == 0) {
    first = from.x + scratch.pickedFirst;
    span = scratch.pickedSpan;
  } else if (k == 0) {
    // Which source column each target column of the area shows.
    int n = area.w, groups = n / 8;
    picks.columns.resize(n);
    for (int x = 0; x < n; ++x)
      picks.columns[x] = int((long long)(across + x) * from.w / to.w);
    first = from.x + picks.columns[0];
    span = picks.columns[n - 1] - picks.columns[0] + 1;
    memcpy(scratch.picked, picked, sizeof picked);
    scratch.pickedFirst = picks.columns[0];
    scratch.pickedSpan = span;
    for (int x = n - 1; x >= 0; --x)
      picks.columns[x] -= picks.columns[0];
    picks.groupStart.resize(groups);
    picks.offsets.resize(size_t(groups) * 8);
    picks.nearby.resize(groups);
    for (int g = 0; g < groups; ++g) {
      const int *group = &picks.columns[8 * g];
      picks.groupStart[g] = group[0];
      for (int i = 0; i < 8; ++i)
        picks.offsets[8 * g + i] = group[i] - group[0];
      picks.nearby[g] = group[7] - group[0] < 8;
    }
    scratch.row.assign(size_t(span + 8) * bytes, 0);
  }
  uint8_t *targetBits = target.bits;
  uint8_t *rowLine = scratch.row.data();
  if (k == 1 && from.h == to.h && area.w == from.w &&
      source.pitch == from.w * 2 && target.pitch == area.w * bytes &&
      (long long)area.w * area.h <= INT_MAX) {
    // Whole lines one after another on both sides, as in an unscaled
    // window: one row as long as the frame, without a start per line.
    const uint8_t *in = source.bits +
                        size_t(from.y + area.y - to.y) * source.pitch +
                        size_t(first) * 2;
    uint8_t *out =
        targetBits + size_t(area.y) * target.pitch + size_t(area.x) * bytes;
    kernels.widen(reinterpret_cast<const uint16_t *>(in), area.w * area.h, 1,
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
      lines.push_back(targetBits + size_t(y) * target.pitch +
                      size_t(area.x) * bytes);
      ++y;
      down += from.h / to.h;
      part += from.h % to.h;
      if (part >= to.h) {
        part -= to.h;
        ++down;
      }
    }
    const uint16_t *in = reinterpret_cast<const uint16_t *>(
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

// A target pixel of the given 8-bit channels: each field takes the top bits
// of its channel, the alpha bits set.
uint32_t MapRgb(const PixelFormat &format, uint8_t red, uint8_t green,
                uint8_t blue) {
  const uint32_t masks[3] = {format.red, format.green, format.blue};
  const uint8_t channels[3] = {red, green, blue};
  uint32_t pixel = format.alpha;
  for (int i = 0; i < 3; ++i) {
    int bits = BitCount(masks[i]);
    uint32_t value = bits >= 8 ? uint32_t(channels[i]) << (bits - 8)
                               : uint32_t(channels[i]) >> (8 - bits);
    pixel |= (value << LowestBit(masks[i])) & masks[i];
  }
  return pixel;
}

// Any other pair of formats, one pixel at a time; the same layout on both
// sides is copied, its unused bits cleared and its alpha bits set. A line
// showing the same source line as the one before is copied from it.
void DrawEachPixel(const Pixels &source, const Rect &from,
                   const TargetPixels &target, const Rect &to, const Rect &area,
                   PresentScratch &scratch) {
  const PixelFormat &in = source.format, &out = target.format;
  int inBytes = BytesOf(in), outBytes = BytesOf(out);
  bool same = inBytes == outBytes && in.red == out.red &&
              in.green == out.green && in.blue == out.blue;
  uint32_t fields = in.red | in.green | in.blue;
  std::vector<int> &columns = scratch.columns;
  columns.resize(area.w);
  for (int x = 0; x < area.w; ++x)
    columns[x] = from.x + int((long long)(area.x + x - to.x) * from.w / to.w);
  size_t lineBytes = size_t(area.w) * outBytes;
  const uint8_t *previous = nullptr;
  int previousRow = -1;
  for (int y = area.y; y < area.y + area.h; ++y) {
    int row = SourceRow(from, to, y);
    uint8_t *outLine =
        target.bits + size_t(y) * target.pitch + size_t(area.x) * outBytes;
    if (row == previousRow) {
      memcpy(outLine, previous, lineBytes);
      continue;
    }
    const uint8_t *line = source.bits + size_t(row) * source.pitch;
    for (int x = 0; x < area.w; ++x) {
      uint32_t pixel = 0; // little-endian, as the surfaces are
      memcpy(&pixel, line + size_t(columns[x]) * inBytes, inBytes);
      uint32_t value =
          same ? (pixel & fields) | out.alpha
               : MapRgb(out, Expand(pixel, in.red), Expand(pixel, in.green),
                        Expand(pixel, in.blue));
      memcpy(outLine + size_t(x) * outBytes, &value, outBytes);
    }
    previous = outLine;
    previousRow = row;
  }
}

} // namespace

Channel SourceChannel(uint32_t mask) {
  Channel channel = {0, 0, 0, 0, 0};
  int bits = BitCount(mask);
  if (bits == 0)
    return channel;
  channel.shl = uint16_t(16 - LowestBit(mask) - bits);
  channel.mask = uint16_t(((1u << bits) - 1) << (16 - bits));
  channel.mul = uint16_t(bits > 8 ? 256 : ((1u << bits) + 1) << (8 - bits));
  return channel;
}

uint8_t Expand(uint32_t pixel, uint32_t mask) {
  int bits = BitCount(mask);
  if (bits == 0)
    return 0;
  uint32_t value = (pixel & mask) >> LowestBit(mask);
  if (bits > 8)
    return static_cast<uint8_t>(value >> (bits - 8));
  uint32_t wide = value << (8 - bits);
  return static_cast<uint8_t>(wide | (wide >> bits));
}

bool Intersect(const Rect &a, const Rect &b, Rect &inside) {
  int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
  long long right = std::min((long long)a.x + a.w, (long long)b.x + b.w);
  long long bottom = std::min((long long)a.y + a.h, (long long)b.y + b.h);
  if (a.w <= 0 || a.h <= 0 || b.w <= 0 || b.h <= 0 || right <= left ||
      bottom <= top)
    return false;
  inside = Rect{left, top, int(right - left), int(bottom - top)};
  return true;
}

bool ClipScaled(const Rect &area, Rect &to, Rect &from) {
  Rect inside;
  if (from.w <= 0 || from.h <= 0 || !Intersect(to, area, inside))
    return false;
  // Floor of the near edge, ceiling of the far one, in 64 bits.
  auto down = [](int cut, int fromSize, int toSize) {
    return int((long long)cut * fromSize / toSize);
  };
  auto up = [](int cut, int fromSize, int toSize) {
    return int(((long long)cut * fromSize + toSize - 1) / toSize);
  };
  int left = down(inside.x - to.x, from.w, to.w),
      right = up(inside.x + inside.w - to.x, from.w, to.w);
  int top = down(inside.y - to.y, from.h, to.h),
      bottom = up(inside.y + inside.h - to.y, from.h, to.h);
  from = Rect{from.x + left, from.y + top, right - left, bottom - top};
  to = inside;
  return true;
}

bool PresentScaled(const Pixels &source, const Rect &from,
                   const TargetPixels &target, const Rect &to, const Rect &clip,
                   PresentScratch &scratch) {
  int inBytes = BytesOf(source.format), outBytes = BytesOf(target.format);
  if ((inBytes != 2 && inBytes != 4) || (outBytes != 2 && outBytes != 4))
    return false;
  Rect area;
  if (from.w <= 0 || from.h <= 0 || !Intersect(to, clip, area))
    return true;
  Conversion conversion;
  if (inBytes == 2 && Describe(source.format, target.format, conversion))
    Draw(*Chosen().load(), conversion, source, from, target, to, area, scratch);
  else
    DrawEachPixel(source, from, target, to, area, scratch);
  return true;
}

Rect FitKeepingAspect(int sourceWidth, int sourceHeight, int targetWidth,
                      int targetHeight) {
  Rect fit = {0, 0, targetWidth, targetHeight};
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

Rect PlacePicture(ScaleMode mode, int width, int height, const Rect &area) {
  if (mode == kScaleUnset || mode == kScaleStretch || width <= 0 || height <= 0)
    return area;
  int times = std::min(area.w / width, area.h / height);
  Rect place;
  if (mode == kScaleInteger && times >= 1) {
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

namespace {

// The picture's column (or row) shown at `offset` from the place's edge, a
// place of `shown` pixels showing `count`; clamped to the picture.
int PickedAt(long long offset, int shown, int count) {
  if (offset < 0)
    return 0;
  if (offset >= shown)
    return count - 1;
  return int(offset * count / shown);
}

// The first of `shown` pixels that shows pixel `index` of `count` or a later
// one: the kernels pick floor(offset * count / shown).
int FirstShowing(long long index, int shown, int count) {
  return int((index * shown + count - 1) / count);
}

} // namespace

bool PointerOnPicture(const Rect &picture, int width, int height, int x, int y,
                      int &pictureX, int &pictureY) {
  if (width <= 0 || height <= 0 || picture.w <= 0 || picture.h <= 0) {
    pictureX = pictureY = 0;
    return false;
  }
  long long across = (long long)x - picture.x, down = (long long)y - picture.y;
  pictureX = PickedAt(across, picture.w, width);
  pictureY = PickedAt(down, picture.h, height);
  return across >= 0 && across < picture.w && down >= 0 && down < picture.h;
}

Rect PictureToWindow(const Rect &picture, int width, int height, int x, int y) {
  if (width <= 0 || height <= 0 || x < 0 || y < 0 || x >= width || y >= height)
    return Rect{picture.x, picture.y, 0, 0};
  int left = FirstShowing(x, picture.w, width);
  int top = FirstShowing(y, picture.h, height);
  return Rect{picture.x + left, picture.y + top,
              FirstShowing(x + 1LL, picture.w, width) - left,
              FirstShowing(y + 1LL, picture.h, height) - top};
}

void FillPixels(const TargetPixels &target, const Rect &area, uint32_t colour) {
  int bytes = BytesOf(target.format);
  for (int y = area.y; y < area.y + area.h; ++y)
    FillLine(target.bits + size_t(y) * target.pitch + size_t(area.x) * bytes,
             area.w, bytes, colour);
}

void FillAround(const TargetPixels &target, const Rect &area,
                const Rect &picture) {
  int pictureBottom = picture.y + picture.h, areaBottom = area.y + area.h;
  const Rect bands[4] = {
      {area.x, area.y, area.w, picture.y - area.y},
      {area.x, pictureBottom, area.w, areaBottom - pictureBottom},
      {area.x, picture.y, picture.x - area.x, picture.h},
      {picture.x + picture.w, picture.y,
       area.x + area.w - picture.x - picture.w, picture.h}};
  const Rect whole = {0, 0, target.width, target.height};
  Rect inside;
  for (const Rect &band : bands)
    if (Intersect(band, whole, inside))
      FillPixels(target, inside, target.format.alpha);
}

bool UsePresentKernels(const char *name) {
  const Kernels *named = KernelsNamed(name);
  if (named != nullptr)
    Chosen() = named;
  return named != nullptr;
}

const char *PresentKernels() { return Chosen().load()->name; }
