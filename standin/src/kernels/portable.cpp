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
      : scale(Uint16(1u << channel.shl)), mask(channel.mask), mul(channel.mul) {
  }
  Uint16 scale, mask, mul;
};

inline Uint16 Widened(Uint16 pixel, const Lane &lane) {
  Uint16 field = Uint16(Uint16(pixel * lane.scale) & lane.mask);
  return Uint16((Uint32(field) * lane.mul) >> 16);
}

// The pixel's low and high halves made in 16-bit lanes, then joined.
template <int K>
void Widen32(const Uint16 *in, int n, Uint32 *out, const Conversion &c) {
  const Lane c0(c.channel[0]), c1(c.channel[1]), c2(c.channel[2]);
  const Uint16 alpha = Uint16(c.alpha >> 16);
  for (int i = 0; i < n; ++i) {
    Uint16 pixel = in[i];
    Uint16 low = Uint16(Widened(pixel, c0) | Widened(pixel, c1) << 8);
    Uint16 high = Uint16(Widened(pixel, c2) | alpha);
    Uint32 value = Uint32(low) | Uint32(high) << 16;
    for (int j = 0; j < K; ++j)
      out[i * K + j] = value;
  }
}

template <int K>
void Widen16(const Uint16 *in, int n, Uint16 *out, const Conversion &c) {
  const Channel &c0 = c.channel[0], &c1 = c.channel[1], &c2 = c.channel[2];
  const Lane l0(c0), l1(c1), l2(c2);
  const Uint32 alpha = c.alpha;
  for (int i = 0; i < n; ++i) {
    Uint16 pixel = in[i];
    Uint32 value = Uint32(Widened(pixel, l0) >> c0.loss) << c0.shift |
                   Uint32(Widened(pixel, l1) >> c1.loss) << c1.shift |
                   Uint32(Widened(pixel, l2) >> c2.loss) << c2.shift | alpha;
    for (int j = 0; j < K; ++j)
      out[i * K + j] = static_cast<Uint16>(value);
  }
}

template <class Target, int K>
void WidenLine(const Uint16 *in, int n, Uint8 *line, const Conversion &c) {
  Target *out = reinterpret_cast<Target *>(line);
  if (sizeof(Target) == 4)
    Widen32<K>(in, n, reinterpret_cast<Uint32 *>(out), c);
  else
    Widen16<K>(in, n, reinterpret_cast<Uint16 *>(out), c);
}

template <class Target>
void WidenAny(const Uint16 *in, int n, int k, Uint8 *line,
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

void Widen(const Uint16 *in, int n, int k, Uint8 *const *lines, int count,
           int at, const Conversion &c) {
  if (n <= 0 || count <= 0)
    return;
  // Further lines copy the first piece by piece, while it is in L1.
  int piece = count > 1 ? 1024 / k : n;
  size_t step = size_t(k) * c.bytes;
  for (int done = 0; done < n; done += piece) {
    int size = std::min(piece, n - done);
    Uint8 *first = lines[0] + at + done * step;
    if (c.bytes == 4)
      WidenAny<Uint32>(in + done, size, k, first, c);
    else
      WidenAny<Uint16>(in + done, size, k, first, c);
    for (int l = 1; l < count; ++l)
      memcpy(lines[l] + at + done * step, first, size * step);
  }
}

template <class Target>
void PickLine(const Uint8 *row, const Picks &picks, Uint8 *line) {
  const Target *from = reinterpret_cast<const Target *>(row);
  Target *out = reinterpret_cast<Target *>(line);
  const int *columns = picks.columns.data();
  int n = int(picks.columns.size());
  for (int i = 0; i < n; ++i)
    out[i] = from[columns[i]];
}

void Pick(const Uint8 *row, const Picks &picks, Uint8 *const *lines, int count,
          int bytes) {
  if (count <= 0)
    return;
  if (bytes == 4)
    PickLine<Uint32>(row, picks, lines[0]);
  else
    PickLine<Uint16>(row, picks, lines[0]);
  size_t size = picks.columns.size() * bytes;
  for (int l = 1; l < count; ++l)
    memcpy(lines[l], lines[0], size);
}

} // namespace

const Kernels kPortableKernels = {"c", Widen, Pick};
