// AVX2 kernels: 16 source pixels at a time, each target vector stored to
// every line it belongs on straight from its register; the rest by the
// SSE2 ones.
#include "kernels.h"

#include <string.h>

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

// The first line apart: with one line only, the loop over lines costs a
// compare per block. Each line's address is read once: a vector store may
// alias the list of lines, and the compiler would read it again after each.
LURN_AVX2 inline void Store(const __m256i *out, int n, uint8_t *first,
                            uint8_t *const *lines, int count, int at) {
  for (int i = 0; i < n; ++i)
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(first + at) + i, out[i]);
  for (int l = 1; l < count; ++l) {
    __m256i *line = reinterpret_cast<__m256i *>(lines[l] + at);
    for (int i = 0; i < n; ++i)
      _mm256_storeu_si256(line + i, out[i]);
  }
}

LURN_AVX2 inline __m256i Load16(const uint16_t *in, int b) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in) + b);
}

// Which of 8 pixels each lane of the j-th vector of their K-fold repetition
// shows.
alignas(32) const int32_t kSpread[5][4][8] = {
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

template <int K> LURN_AVX2 inline void LoadSpread(__m256i *spread) {
  for (int j = 0; j < K; ++j)
    spread[j] =
        _mm256_load_si256(reinterpret_cast<const __m256i *>(kSpread[K][j]));
}

// 16 pixels of 32 bits, their low and high halves in `low` and `high`, each
// repeated K times across and stored to every line.
template <int K>
LURN_AVX2 inline void StoreRepeated(__m256i low, __m256i high,
                                    const __m256i *spread, uint8_t *line0,
                                    uint8_t *const *lines, int count, int at) {
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
  Store(out, 2 * K, line0, lines, count, at);
}

template <int K>
LURN_AVX2 void Blocks32(const uint16_t *in, int blocks, uint8_t *const *lines,
                        int count, int at, const Vectors &v) {
  __m256i spread[K];
  LoadSpread<K>(spread);
  uint8_t *line0 = lines[0];
  for (int b = 0; b < blocks; ++b) {
    // Quarters 0 2 1 3, so that the in-lane unpacks give pixels in order.
    __m256i p = _mm256_permute4x64_epi64(Load16(in, b), 0xD8);
    __m256i low = _mm256_or_si256(Widened(p, v, 0),
                                  _mm256_slli_epi16(Widened(p, v, 1), 8));
    __m256i high = _mm256_or_si256(Widened(p, v, 2), v.alpha);
    StoreRepeated<K>(low, high, spread, line0, lines, count, at + b * 64 * K);
  }
}

template <int K>
LURN_AVX2 void Blocks16(const uint16_t *in, int blocks, uint8_t *const *lines,
                        int count, int at, const Vectors &v) {
  uint8_t *line0 = lines[0];
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
    Store(out, K, line0, lines, count, at + b * 32 * K);
  }
}

// The common layouts with their recipes known to the compiler: each field
// where it lies, masked and multiplied (no shift) when the multiplier fits in
// 16 bits, the lowest field shifted up (no mask).
struct Recipe {
  int shl, mask, mul;
};

constexpr Recipe RecipeFor(unsigned mask) {
  int low = 0, bits = 0;
  while (mask != 0 && !(mask >> low & 1))
    ++low;
  while (mask >> (low + bits) & 1)
    ++bits;
  int top = bits > 8 ? 256 : ((1 << bits) + 1) << (8 - bits);
  if (mask == 0)
    return Recipe{0, 0, 0};
  if (low == 0)
    return Recipe{16 - bits, 0xFFFF, top};
  int up = bits > 8 ? 24 - low - bits : 24 - low - 2 * bits;
  int mul = bits > 8 ? 1 << up : ((1 << bits) + 1) << up;
  if (up >= 0 && mul < 65536)
    return Recipe{0, int(mask), mul};
  return Recipe{16 - low - bits, ((1 << bits) - 1) << (16 - bits), top};
}

template <unsigned Mask> LURN_AVX2 inline __m256i Known(__m256i p) {
  constexpr Recipe recipe = RecipeFor(Mask);
  if constexpr (recipe.shl != 0)
    p = _mm256_slli_epi16(p, recipe.shl);
  if constexpr (recipe.mask != 0xFFFF)
    p = _mm256_and_si256(p, _mm256_set1_epi16(short(recipe.mask)));
  return _mm256_mulhi_epu16(p, _mm256_set1_epi16(short(recipe.mul)));
}

template <unsigned M0, unsigned M1, unsigned M2, int K, bool Alpha>
LURN_AVX2 void KnownBlocks32(const uint16_t *in, int blocks,
                             uint8_t *const *lines, int count, int at,
                             uint32_t alphaBits) {
  // Scalar arguments only: a vector one would keep the compiler from
  // clearing the upper halves on return, and SSE code after would pay.
  __m256i alpha = _mm256_set1_epi16(short(alphaBits >> 16));
  __m256i spread[K];
  LoadSpread<K>(spread);
  uint8_t *line0 = lines[0];
  for (int b = 0; b < blocks; ++b) {
    __m256i p = _mm256_permute4x64_epi64(Load16(in, b), 0xD8);
    __m256i low =
        _mm256_or_si256(Known<M0>(p), _mm256_slli_epi16(Known<M1>(p), 8));
    __m256i high = Known<M2>(p);
    if constexpr (Alpha)
      high = _mm256_or_si256(high, alpha);
    StoreRepeated<K>(low, high, spread, line0, lines, count, at + b * 64 * K);
  }
}

typedef void (*Blocks)(const uint16_t *, int, uint8_t *const *, int, int,
                       uint32_t);

template <int L, bool Alpha> constexpr Blocks KnownBlocks(int k) {
  constexpr unsigned m0 = kKnownMasks[L][0], m1 = kKnownMasks[L][1],
                     m2 = kKnownMasks[L][2];
  if (k == 1)
    return KnownBlocks32<m0, m1, m2, 1, Alpha>;
  if (k == 2)
    return KnownBlocks32<m0, m1, m2, 2, Alpha>;
  if (k == 3)
    return KnownBlocks32<m0, m1, m2, 3, Alpha>;
  return KnownBlocks32<m0, m1, m2, 4, Alpha>;
}

// By layout, alpha bits (none, some) and k.
#define LURN_KNOWN(l)                                                          \
  {                                                                            \
    {KnownBlocks<l, false>(1), KnownBlocks<l, false>(2),                       \
     KnownBlocks<l, false>(3), KnownBlocks<l, false>(4)},                      \
    {                                                                          \
      KnownBlocks<l, true>(1), KnownBlocks<l, true>(2),                        \
          KnownBlocks<l, true>(3), KnownBlocks<l, true>(4)                     \
    }                                                                          \
  }

const Blocks kKnown[kKnownLayouts][2][4] = {
    LURN_KNOWN(0), LURN_KNOWN(1), LURN_KNOWN(2), LURN_KNOWN(3),
    LURN_KNOWN(4), LURN_KNOWN(5), LURN_KNOWN(6), LURN_KNOWN(7)};

LURN_AVX2 void Widen(const uint16_t *in, int n, int k, uint8_t *const *lines,
                     int count, int at, const Conversion &c) {
  int blocks = n / 16;
  if (c.bytes == 2 && k == 3)
    blocks = 0;
  if (blocks > 0 && count > 0) {
    Vectors v;
    if (c.bytes == 4 && c.known >= 0) {
      kKnown[c.known][c.alpha != 0][k - 1](in, blocks, lines, count, at,
                                           c.alpha);
    } else if (Load(c, v), c.bytes == 4) {
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
  if (done < n)
    Sse2Kernels()->widen(in + done, n - done, k, lines, count,
                         at + done * k * c.bytes, c);
}

// Each group of 8 target pixels from one load and one permute when its
// columns lie close together (enlarging), else from a gather (shrinking).
LURN_AVX2 void Pick(const uint8_t *row, const Picks &picks,
                    uint8_t *const *lines, int count, int bytes) {
  int n = int(picks.columns.size());
  if (bytes != 4 || n < 8)
    return kPortableKernels.pick(row, picks, lines, count, bytes);
  const int *from = reinterpret_cast<const int *>(row);
  const int *columns = picks.columns.data(), *start = picks.groupStart.data();
  const __m256i *offsets =
      reinterpret_cast<const __m256i *>(picks.offsets.data());
  const uint8_t *nearby = picks.nearby.data();
  int groups = n / 8;
  uint8_t *line0 = lines[0];
  for (int g = 0; g < groups; ++g) {
    __m256i out;
    if (nearby[g])
      out = _mm256_permutevar8x32_epi32(
          _mm256_loadu_si256(
              reinterpret_cast<const __m256i *>(from + start[g])),
          _mm256_loadu_si256(offsets + g));
    else
      out = _mm256_i32gather_epi32(
          from,
          _mm256_loadu_si256(reinterpret_cast<const __m256i *>(columns) + g),
          4);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(line0) + g, out);
  }
  uint32_t *first = reinterpret_cast<uint32_t *>(line0);
  for (int i = groups * 8; i < n; ++i)
    first[i] = uint32_t(from[columns[i]]);
  // The other lines copied from the first, still in the cache: stored to
  // group by group, their addresses would be read again after every store.
  for (int l = 1; l < count; ++l)
    memcpy(lines[l], line0, size_t(n) * 4);
}

const Kernels kAvx2Kernels = {"avx2", Widen, Pick};

} // namespace

const Kernels *Avx2Kernels() {
  return __builtin_cpu_supports("avx2") ? &kAvx2Kernels : nullptr;
}

#else

const Kernels *Avx2Kernels() { return nullptr; }

#endif
