// SSE2 kernels: 8 source pixels at a time; the rest by the plain ones.
#include "kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define LURN_SSE2 __attribute__((target("sse2")))
#define LURN_HAS_SSE2 __builtin_cpu_supports("sse2")

namespace {

struct Vectors {
  __m128i shl[3], mask[3], mul[3], loss[3], shift[3], alpha;
};

LURN_SSE2 void Load(const Conversion &c, Vectors &v) {
  for (int i = 0; i < 3; ++i) {
    v.shl[i] = _mm_cvtsi32_si128(c.channel[i].shl);
    v.mask[i] = _mm_set1_epi16(short(c.channel[i].mask));
    v.mul[i] = _mm_set1_epi16(short(c.channel[i].mul));
    v.loss[i] = _mm_cvtsi32_si128(c.channel[i].loss);
    v.shift[i] = _mm_cvtsi32_si128(c.channel[i].shift);
  }
  v.alpha = _mm_set1_epi16(short(c.bytes == 4 ? c.alpha >> 16 : c.alpha));
}

LURN_SSE2 inline __m128i Widened(__m128i p, const Vectors &v, int i) {
  return _mm_mulhi_epu16(_mm_and_si128(_mm_sll_epi16(p, v.shl[i]), v.mask[i]),
                         v.mul[i]);
}

LURN_SSE2 inline void Store(const __m128i *out, int n, uint8_t *const *lines,
                            int count, int at) {
  for (int l = 0; l < count; ++l)
    for (int i = 0; i < n; ++i)
      _mm_storeu_si128(reinterpret_cast<__m128i *>(lines[l] + at) + i, out[i]);
}

// Four 32-bit pixels, each repeated K times.
template <int K> LURN_SSE2 inline void Spread(__m128i p, __m128i *out) {
  if constexpr (K == 1) {
    out[0] = p;
  } else if constexpr (K == 2) {
    out[0] = _mm_shuffle_epi32(p, _MM_SHUFFLE(1, 1, 0, 0));
    out[1] = _mm_shuffle_epi32(p, _MM_SHUFFLE(3, 3, 2, 2));
  } else if constexpr (K == 3) {
    out[0] = _mm_shuffle_epi32(p, _MM_SHUFFLE(1, 0, 0, 0));
    out[1] = _mm_shuffle_epi32(p, _MM_SHUFFLE(2, 2, 1, 1));
    out[2] = _mm_shuffle_epi32(p, _MM_SHUFFLE(3, 3, 3, 2));
  } else {
    out[0] = _mm_shuffle_epi32(p, _MM_SHUFFLE(0, 0, 0, 0));
    out[1] = _mm_shuffle_epi32(p, _MM_SHUFFLE(1, 1, 1, 1));
    out[2] = _mm_shuffle_epi32(p, _MM_SHUFFLE(2, 2, 2, 2));
    out[3] = _mm_shuffle_epi32(p, _MM_SHUFFLE(3, 3, 3, 3));
  }
}

template <int K>
LURN_SSE2 void Blocks32(const uint16_t *in, int blocks, uint8_t *const *lines,
                        int count, int at, const Vectors &v) {
  for (int b = 0; b < blocks; ++b) {
    __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in) + b);
    __m128i low =
        _mm_or_si128(Widened(p, v, 0), _mm_slli_epi16(Widened(p, v, 1), 8));
    __m128i high = _mm_or_si128(Widened(p, v, 2), v.alpha);
    __m128i out[2 * K];
    Spread<K>(_mm_unpacklo_epi16(low, high), out);
    Spread<K>(_mm_unpackhi_epi16(low, high), out + K);
    Store(out, 2 * K, lines, count, at + b * 32 * K);
  }
}

template <int K>
LURN_SSE2 void Blocks16(const uint16_t *in, int blocks, uint8_t *const *lines,
                        int count, int at, const Vectors &v) {
  for (int b = 0; b < blocks; ++b) {
    __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in) + b);
    __m128i pixel = v.alpha;
    for (int i = 0; i < 3; ++i)
      pixel = _mm_or_si128(
          pixel, _mm_sll_epi16(_mm_srl_epi16(Widened(p, v, i), v.loss[i]),
                               v.shift[i]));
    __m128i out[4];
    if constexpr (K == 1) {
      out[0] = pixel;
    } else {
      __m128i low = _mm_unpacklo_epi16(pixel, pixel);
      __m128i high = _mm_unpackhi_epi16(pixel, pixel);
      if constexpr (K == 2) {
        out[0] = low;
        out[1] = high;
      } else {
        out[0] = _mm_unpacklo_epi16(low, low);
        out[1] = _mm_unpackhi_epi16(low, low);
        out[2] = _mm_unpacklo_epi16(high, high);
        out[3] = _mm_unpackhi_epi16(high, high);
      }
    }
    Store(out, K, lines, count, at + b * 16 * K);
  }
}

LURN_SSE2 void Widen(const uint16_t *in, int n, int k, uint8_t *const *lines,
                     int count, int at, const Conversion &c) {
  int blocks = n / 8;
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
  int done = blocks * 8;
  if (done < n)
    kPortableKernels.widen(in + done, n - done, k, lines, count,
                           at + done * k * c.bytes, c);
}

const Kernels kSse2Kernels = {"sse2", Widen, kPortableKernels.pick};

} // namespace

const Kernels *Sse2Kernels() { return LURN_HAS_SSE2 ? &kSse2Kernels : nullptr; }

#else

const Kernels *Sse2Kernels() { return nullptr; }

#endif
