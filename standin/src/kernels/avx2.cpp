// AVX2 kernels: 16 source pixels at a time, each target vector stored to
// every line it belongs on straight from its register; the rest by the
// SSE2 ones.
#include "kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define LURN_AVX2 __attribute__((target("avx2")))

namespace {

struct Vectors {
  __m256i mask[3], mul[3], alpha;
  __m128i shl[3], loss[3], shift[3];
};

LURN_AVX2 void Load(const Conversion &c, Vectors &v) {
  for (int i = 0; i < 3; ++i) {
    v.shl[i] = _mm_cvtsi32_si128(c.channel[i].shl);
    v.mask[i] = _mm256_set1_epi16(short(c.channel[i].mask));
    v.mul[i] = _mm256_set1_epi16(short(c.channel[i].mul));
    v.loss[i] = _mm_cvtsi32_si128(c.channel[i].loss);
    v.shift[i] = _mm_cvtsi32_si128(c.channel[i].shift);
  }
  v.alpha = _mm256_set1_epi16(short(c.bytes == 4 ? c.alpha >> 16 : c.alpha));
}

LURN_AVX2 inline __m256i Widened(__m256i p, const Vectors &v, int i) {
  return _mm256_mulhi_epu16(
      _mm256_and_si256(_mm256_sll_epi16(p, v.shl[i]), v.mask[i]), v.mul[i]);
}

LURN_AVX2 inline void Store(const __m256i *out, int n, Uint8 *const *lines,
                            int count, int at) {
  for (int l = 0; l < count; ++l)
    for (int i = 0; i < n; ++i)
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(lines[l] + at) + i,
                          out[i]);
}

LURN_AVX2 inline __m256i Load16(const Uint16 *in, int b) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in) + b);
}

// Which of 8 pixels each lane of the j-th vector of their K-fold repetition
// shows.
alignas(32) const Sint32 kSpread[5][4][8] = {
    {},
    {{0, 1, 2, 3, 4, 5, 6, 7}},
    {{0, 0, 1, 1, 2, 2, 3, 3}, {4, 4, 5, 5, 6, 6, 7, 7}},
    {{0, 0, 0, 1, 1, 1, 2, 2},
     {2, 3, 3, 3, 4, 4, 4, 5},
     {5, 5, 6, 6, 6, 7, 7, 7}},
    {{0, 0, 0, 0, 1, 1, 1, 1},
     {2, 2, 2, 2, 3, 3, 3, 3},
     {4, 4, 4, 4, 5, 5, 5, 5},
     {6, 6, 6, 6, 7, 7, 7, 7}}};

template <int K>
LURN_AVX2 void Blocks32(const Uint16 *in, int blocks, Uint8 *const *lines,
                        int count, int at, const Vectors &v) {
  __m256i spread[K];
  for (int j = 0; j < K; ++j)
    spread[j] =
        _mm256_load_si256(reinterpret_cast<const __m256i *>(kSpread[K][j]));
  for (int b = 0; b < blocks; ++b) {
    // Quarters 0 2 1 3, so that the in-lane unpacks give pixels in order.
    __m256i p = _mm256_permute4x64_epi64(Load16(in, b), 0xD8);
    __m256i low = _mm256_or_si256(Widened(p, v, 0),
                                  _mm256_slli_epi16(Widened(p, v, 1), 8));
    __m256i high = _mm256_or_si256(Widened(p, v, 2), v.alpha);
    __m256i first = _mm256_unpacklo_epi16(low, high);
    __m256i second = _mm256_unpackhi_epi16(low, high);
    __m256i out[2 * K];
    if constexpr (K == 1) {
      out[0] = first;
      out[1] = second;
    } else {
      for (int j = 0; j < K; ++j) {
        out[j] = _mm256_permutevar8x32_epi32(first, spread[j]);
        out[K + j] = _mm256_permutevar8x32_epi32(second, spread[j]);
      }
    }
    Store(out, 2 * K, lines, count, at + b * 64 * K);
  }
}

template <int K>
LURN_AVX2 void Blocks16(const Uint16 *in, int blocks, Uint8 *const *lines,
                        int count, int at, const Vectors &v) {
  for (int b = 0; b < blocks; ++b) {
    __m256i p = Load16(in, b);
    if constexpr (K > 1)
      p = _mm256_permute4x64_epi64(p, 0xD8);
    __m256i pixel = v.alpha;
    for (int i = 0; i < 3; ++i)
      pixel = _mm256_or_si256(
          pixel, _mm256_sll_epi16(_mm256_srl_epi16(Widened(p, v, i), v.loss[i]),
                                  v.shift[i]));
    __m256i out[4];
    if constexpr (K == 1) {
      out[0] = pixel;
    } else {
      __m256i low = _mm256_unpacklo_epi16(pixel, pixel);
      __m256i high = _mm256_unpackhi_epi16(pixel, pixel);
      if constexpr (K == 2) {
        out[0] = low;
        out[1] = high;
      } else {
        low = _mm256_permute4x64_epi64(low, 0xD8);
        high = _mm256_permute4x64_epi64(high, 0xD8);
        out[0] = _mm256_unpacklo_epi16(low, low);
        out[1] = _mm256_unpackhi_epi16(low, low);
        out[2] = _mm256_unpacklo_epi16(high, high);
        out[3] = _mm256_unpackhi_epi16(high, high);
      }
    }
    Store(out, K, lines, count, at + b * 32 * K);
  }
}

LURN_AVX2 void Widen(const Uint16 *in, int n, int k, Uint8 *const *lines,
                     int count, int at, const Conversion &c) {
  int blocks = n / 16;
  if (c.bytes == 2 && k == 3)
    blocks = 0;
  if (blocks > 0 && count > 0) {
    Vectors v;
    Load(c, v);
    if (c.bytes == 4) {
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
    } else {
      switch (k) {
      case 1:
        Blocks16<1>(in, blocks, lines, count, at, v);
        break;
      case 2:
        Blocks16<2>(in, blocks, lines, count, at, v);
        break;
      default:
        Blocks16<4>(in, blocks, lines, count, at, v);
      }
    }
  }
  int done = blocks * 16;
  Sse2Kernels()->widen(in + done, n - done, k, lines, count,
                       at + done * k * c.bytes, c);
}

// Each group of 8 target pixels from one load and one permute when its
// columns lie close together (enlarging), else from a gather (shrinking).
LURN_AVX2 void Pick(const Uint8 *row, const Picks &picks, Uint8 *const *lines,
                    int count, int bytes) {
  int n = int(picks.columns.size());
  if (bytes != 4 || n < 8)
    return kPortableKernels.pick(row, picks, lines, count, bytes);
  const Sint32 *from = reinterpret_cast<const Sint32 *>(row);
  int groups = n / 8;
  for (int g = 0; g < groups; ++g) {
    __m256i out;
    if (picks.near[g]) {
      __m256i pixels = _mm256_loadu_si256(
          reinterpret_cast<const __m256i *>(from + picks.groupStart[g]));
      __m256i offsets = _mm256_loadu_si256(
          reinterpret_cast<const __m256i *>(&picks.offsets[8 * g]));
      out = _mm256_permutevar8x32_epi32(pixels, offsets);
    } else {
      __m256i columns = _mm256_loadu_si256(
          reinterpret_cast<const __m256i *>(&picks.columns[8 * g]));
      out = _mm256_i32gather_epi32(reinterpret_cast<const int *>(from), columns,
                                   4);
    }
    Store(&out, 1, lines, count, g * 32);
  }
  Uint32 *const *out = reinterpret_cast<Uint32 *const *>(lines);
  for (int l = 0; l < count; ++l)
    for (int i = groups * 8; i < n; ++i)
      out[l][i] = Uint32(from[picks.columns[i]]);
}

const Kernels kAvx2Kernels = {"avx2", Widen, Pick};

} // namespace

const Kernels *Avx2Kernels() {
  return __builtin_cpu_supports("avx2") ? &kAvx2Kernels : nullptr;
}

#else

const Kernels *Avx2Kernels() { return nullptr; }

#endif
