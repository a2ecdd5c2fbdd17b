// The plain C++ kernels: the reference the SIMD versions are checked
// against, written so that compilers vectorise the conversion themselves.
#include "kernels.h"

#include <string.h>

#include <algorithm>

namespace {

// In 16-bit lanes, so that compilers map it onto SIMD multiplies: the shift
// as a multiply (a variable shift would widen the lanes to 32 bits), then
// the multiply-high.
struct Lane {
  explicit Lane(const Channel &channel)
      : scale(uint16_t(1u << channel.shl)), mask(channel.mask),
        mul(channel.mul) {}
  uint16_t scale, mask, mul;
};

inline uint16_t Widened(uint16_t pixel, const Lane &lane) {
  uint16_t field = uint16_t(uint16_t(pixel * lane.scale) & lane.mask);
  return uint16_t((uint32_t(field) * lane.mul) >> 16);
}

// The pixel's low and high halves made in 16-bit lanes, then joined.
template <int K>
void Widen32(const uint16_t *in, int n, uint32_t *out, const Conversion &c) {
  const Lane c0(c.channel[0]), c1(c.channel[1]), c2(c.channel[2]);
  const uint16_t alpha = uint16_t(c.alpha >> 16);
  for (int i = 0; i < n; ++i) {
    uint16_t pixel = in[i];
    uint16_t low = uint16_t(Widened(pixel, c0) | Widened(pixel, c1) << 8);
    uint16_t high = uint16_t(Widened(pixel, c2) | alpha);
    uint32_t value = uint32_t(low) | uint32_t(high) << 16;
    for (int j = 0; j < K; ++j)
      out[i * K + j] = value;
  }
}

template <int K>
void Widen16(const uint16_t *in, int n, uint16_t *out, const Conversion &c) {
  const Channel &c0 = c.channel[0], &c1 = c.channel[1], &c2 = c.channel[2];
  const Lane l0(c0), l1(c1), l2(c2);
  const uint32_t alpha = c.alpha;
  for (int i = 0; i < n; ++i) {
    uint16_t pixel = in[i];
    uint32_t value = uint32_t(Widened(pixel, l0) >> c0.loss) << c0.shift |
                     uint32_t(Widened(pixel, l1) >> c1.loss) << c1.shift |
                     uint32_t(Widened(pixel, l2) >> c2.loss) << c2.shift |
                     alpha;
    for (int j = 0; j < K; ++j)
      out[i * K + j] = static_cast<uint16_t>(value);
  }
}

template <class Target, int K>
void WidenLine(const uint16_t *in, int n, uint8_t *line, const Conversion &c) {
  Target *out = reinterpret_cast<Target *>(line);
  if (sizeof(Target) == 4)
    Widen32<K>(in, n, reinterpret_cast<uint32_t *>(out), c);
  else
    Widen16<K>(in, n, reinterpret_cast<uint16_t *>(out), c);
}

template <class Target>
void WidenAny(const uint16_t *in, int n, int k, uint8_t *line,
              const Conversion &c) {
  switch (k) {
  case 1:
    return WidenLine<Target, 1>(in, n, line, c);
  case 2:
    return WidenLine<Target, 2>(in, n, line, c);
  case 3:
    return WidenLine<Target, 3>(in, n, line, c);
  default:
    return WidenLine<Target, 4>(in, n, line, c);
  }
}

void Widen(const uint16_t *in, int n, int k, uint8_t *const *lines, int count,
           int at, const Conversion &c) {
  if (n <= 0 || count <= 0)
    return;
  // Further lines copy the first piece by piece, while it is in L1.
  int piece = count > 1 ? 1024 / k : n;
  size_t step = size_t(k) * c.bytes;
  for (int done = 0; done < n; done += piece) {
    int size = std::min(piece, n - done);
    uint8_t *first = lines[0] + at + done * step;
    if (c.bytes == 4)
      WidenAny<uint32_t>(in + done, size, k, first, c);
    else
      WidenAny<uint16_t>(in + done, size, k, first, c);
    for (int l = 1; l < count; ++l)
      memcpy(lines[l] + at + done * step, first, size * step);
  }
}

template <class Target>
void PickLine(const uint8_t *row, const Picks &picks, uint8_t *line) {
  const Target *from = reinterpret_cast<const Target *>(row);
  Target *out = reinterpret_cast<Target *>(line);
  const int *columns = picks.columns.data();
  int n = int(picks.columns.size());
  for (int i = 0; i < n; ++i)
    out[i] = from[columns[i]];
}

void Pick(const uint8_t *row, const Picks &picks, uint8_t *const *lines,
          int count, int bytes) {
  if (count <= 0)
    return;
  if (bytes == 4)
    PickLine<uint32_t>(row, picks, lines[0]);
  else
    PickLine<uint16_t>(row, picks, lines[0]);
  size_t size = picks.columns.size() * bytes;
  for (int l = 1; l < count; ++l)
    memcpy(lines[l], lines[0], size);
}

} // namespace

const Kernels kPortableKernels = {"c", Widen, Pick};

void FillLine(uint8_t *line, int count, int bytes, uint32_t colour) {
  if (bytes == 2 || bytes == 4) {
    // Eight bytes of the colour stored at a time, which the compiler widens
    // to whole vectors.
    uint64_t pattern = bytes == 2 ? 0x0001000100010001ull * uint16_t(colour)
                                  : 0x0000000100000001ull * colour;
    size_t size = size_t(count) * bytes, blocks = size / 8;
    for (size_t i = 0; i < blocks; ++i)
      memcpy(line + i * 8, &pattern, 8);
    memcpy(line + blocks * 8, &pattern, size % 8);
    return;
  }
  for (int x = 0; x < count; ++x)
    memcpy(line + size_t(x) * bytes, &colour, bytes);
}
