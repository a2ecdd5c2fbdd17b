// Row kernels of the present: 16-bit pixels converted to the target's
// format and repeated across. A plain C++ version and SIMD versions (chosen
// at run time) that must give the same bytes.
#ifndef LURN_PRESENT_KERNELS_H
#define LURN_PRESENT_KERNELS_H

#include <stdint.h>

#include <vector>

// One 8-bit channel out of a 16-bit pixel: its field moved to the top of 16
// bits and masked, then widened by a multiply-high that repeats its top bits
// below: ((p << shl) & mask) * mul >> 16.
struct Channel {
  uint16_t shl, mask, mul;
  // Into a 16-bit target: (channel >> loss) << shift.
  uint8_t loss, shift;
};

// The multiply-high without one, in 16-bit lanes: with top = field >> 8,
// top | uint16_t(top * RepeatScale(channel)) >> 8 gives the same byte. A
// field of b <= 8 bits repeats below itself from bit 8 - 2b (which the
// multiply by 2^b + 1 does); a wider one, or none, keeps its top 8.
inline uint16_t RepeatScale(const Channel &channel) {
  int bits = 0;
  for (uint32_t mask = channel.mask; mask != 0; mask >>= 1)
    bits += mask & 1;
  return uint16_t(bits > 0 && bits < 8 ? 1 << (8 - bits) : 256);
}

// The pairs of layouts with kernels of their own, as the source masks that
// make a 32-bit target's bytes 0, 1 and 2: 5-6-5, 5-5-5, 6-5-5 and 5-5-6
// into XRGB/ARGB, then into XBGR/ABGR.
constexpr int kKnownLayouts = 8;
constexpr uint16_t kKnownMasks[kKnownLayouts][3] = {
    {0x001F, 0x07E0, 0xF800}, {0x001F, 0x03E0, 0x7C00},
    {0x001F, 0x03E0, 0xFC00}, {0x003F, 0x07C0, 0xF800},
    {0xF800, 0x07E0, 0x001F}, {0x7C00, 0x03E0, 0x001F},
    {0xFC00, 0x03E0, 0x001F}, {0xF800, 0x07C0, 0x003F}};

struct Conversion {
  // A 32-bit target takes the channels as its pixel's bytes 0, 1 and 2; a
  // 16-bit target places each by its loss and shift.
  Channel channel[3];
  uint32_t alpha; // set in every target pixel
  int bytes;      // of a target pixel: 2 or 4
  int known;      // index in kKnownMasks, or -1
};

// Which column of a converted source line each target column shows, counted
// from the first one shown; and the same by groups of 8: the group's first
// column and each one's distance from it, with `nearby` set when all 8 lie
// within 8 columns of the first.
struct Picks {
  std::vector<int> columns;
  std::vector<int> groupStart;
  std::vector<int32_t> offsets;
  std::vector<uint8_t> nearby;
};

struct Kernels {
  const char *name;
  // Converts n source pixels, each shown k (1 to 4) times across, into every
  // one of `count` target lines, `at` bytes into each.
  void (*widen)(const uint16_t *in, int n, int k, uint8_t *const *lines,
                int count, int at, const Conversion &conversion);
  // Target pixels of `bytes` each picked from a converted line (with 8
  // pixels of room after its end) into every one of `count` lines.
  void (*pick)(const uint8_t *row, const Picks &picks, uint8_t *const *lines,
               int count, int bytes);
};

extern const Kernels kPortableKernels;
// `count` pixels of `bytes` each set to `colour` (little-endian).
void FillLine(uint8_t *line, int count, int bytes, uint32_t colour);
// Null when the processor lacks the instructions.
const Kernels *Sse2Kernels();
const Kernels *Avx2Kernels();
// WebAssembly SIMD (-msimd128); null in other builds.
const Kernels *WasmKernels();

#endif
