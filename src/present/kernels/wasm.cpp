// WebAssembly SIMD kernels: 8 source pixels at a time into 32-bit targets;
// 16-bit targets and the rest of a line by the plain ones.
#include "kernels.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>

namespace {

// Wasm has no multiply-high of 16-bit lanes, so each field, moved to the
// top of its lane and masked, is widened by a multiply, shifts and an or:
// the same bytes (see RepeatScale). The shifts by a channel's count are
// multiplies: LLVM splits a vector shift by a count set outside the loop
// into its lanes.
struct Vectors {
  v128_t scale[3], mask[3], repeat[3], alpha;
};

inline v128_t Widened(v128_t p, const Vectors &v, int i) {
  v128_t top = wasm_u16x8_shr(
      wasm_v128_and(wasm_i16x8_mul(p, v.scale[i]), v.mask[i]), 8);
  return wasm_v128_or(top, wasm_u16x8_shr(wasm_i16x8_mul(top, v.repeat[i]), 8));
}

// Four 32-bit pixels, each repeated K times.
template <int K> inline void Spread(v128_t p, v128_t *out) {
  if constexpr (K == 1) {
    out[0] = p;
  } else if constexpr (K == 2) {
    out[0] = wasm_i32x4_shuffle(p, p, 0, 0, 1, 1);
    out[1] = wasm_i32x4_shuffle(p, p, 2, 2, 3, 3);
  } else if constexpr (K == 3) {
    out[0] = wasm_i32x4_shuffle(p, p, 0, 0, 0, 1);
    out[1] = wasm_i32x4_shuffle(p, p, 1, 1, 2, 2);
    out[2] = wasm_i32x4_shuffle(p, p, 2, 3, 3, 3);
  } else {
    out[0] = wasm_i32x4_shuffle(p, p, 0, 0, 0, 0);
    out[1] = wasm_i32x4_shuffle(p, p, 1, 1, 1, 1);
    out[2] = wasm_i32x4_shuffle(p, p, 2, 2, 2, 2);
    out[3] = wasm_i32x4_shuffle(p, p, 3, 3, 3, 3);
  }
}

template <int K>
void Blocks32(const uint16_t *in, int blocks, uint8_t *const *lines, int count,
              int at, const Vectors &v) {
  for (int b = 0; b < blocks; ++b) {
    v128_t p = wasm_v128_load(in + 8 * b);
    v128_t low =
        wasm_v128_or(Widened(p, v, 0), wasm_i16x8_shl(Widened(p, v, 1), 8));
    v128_t high = wasm_v128_or(Widened(p, v, 2), v.alpha);
    v128_t out[2 * K];
    Spread<K>(wasm_i16x8_shuffle(low, high, 0, 8, 1, 9, 2, 10, 3, 11), out);
    Spread<K>(wasm_i16x8_shuffle(low, high, 4, 12, 5, 13, 6, 14, 7, 15),
              out + K);
    for (int l = 0; l < count; ++l) {
      uint8_t *to = lines[l] + at + b * 32 * K;
      for (int i = 0; i < 2 * K; ++i)
        wasm_v128_store(to + 16 * i, out[i]);
    }
  }
}

void Widen(const uint16_t *in, int n, int k, uint8_t *const *lines, int count,
           int at, const Conversion &c) {
  int blocks = c.bytes == 4 && count > 0 ? n / 8 : 0;
  if (blocks > 0) {
    Vectors v;
    for (int i = 0; i < 3; ++i) {
      v.scale[i] = wasm_i16x8_splat(int16_t(1 << c.channel[i].shl));
      v.mask[i] = wasm_i16x8_splat(int16_t(c.channel[i].mask));
      v.repeat[i] = wasm_i16x8_splat(int16_t(RepeatScale(c.channel[i])));
    }
    v.alpha = wasm_i16x8_splat(int16_t(c.alpha >> 16));
    switch (k) {
    case 1:
      Blocks32<1>(in, blocks, lines, count, at, v);
      break;
    case 2:
      Blocks32<2>(in, blocks, lines, count, at, v);
      break;
    case 3:
      Blocks32<3>(in, blocks, lines, count, at, v);
      break;
    default:
      Blocks32<4>(in, blocks, lines, count, at, v);
    }
  }
  int done = blocks * 8;
  if (done < n)
    kPortableKernels.widen(in + done, n - done, k, lines, count,
                           at + done * k * c.bytes, c);
}

const Kernels kWasmKernels = {"wasm", Widen, kPortableKernels.pick};

} // namespace

const Kernels *WasmKernels() { return &kWasmKernels; }

#else

const Kernels *WasmKernels() { return nullptr; }

#endif
