// The title's test thirty-two bytes at a time with AVX2.
#include "support/text/form_kernels.h"

#include <immintrin.h>

namespace pfc::text::avx2 {
namespace {
__m256i block(const char* text, std::size_t at) noexcept {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + at));
}
} // namespace

// As the SSE2 form (title_sse2.cpp). A text shorter than one block of this
// form is two overlapping blocks of sixteen, tested here rather than by a
// call into the SSE2 form, which would cost more than the test.
bool title_may_need_care(const char* text, std::size_t n) noexcept {
  if (n < 32) {
    if (n < 16) return true;
    const __m128i flip = _mm_set1_epi8(0x7C);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + n - 16));
    const __m128i least = _mm_min_epu8(first, last);
    const __m128i least_flipped = _mm_min_epu8(_mm_xor_si128(first, flip), _mm_xor_si128(last, flip));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(least, _mm_set1_epi8(0x1F)), least);
    const __m128i bar_or_del = _mm_cmpeq_epi8(_mm_min_epu8(least_flipped, _mm_set1_epi8(3)), least_flipped);
    return _mm_movemask_epi8(_mm_or_si128(control, bar_or_del)) != 0;
  }
  const __m256i flip = _mm256_set1_epi8(0x7C);
  __m256i least = _mm256_min_epu8(block(text, 0), block(text, n - 32));
  __m256i least_flipped =
      _mm256_min_epu8(_mm256_xor_si256(block(text, 0), flip), _mm256_xor_si256(block(text, n - 32), flip));
  __m256i least2 = least, least_flipped2 = least_flipped;
  std::size_t i = 32;
  for (; i + 64 <= n; i += 64) {
    const __m256i v = block(text, i), w = block(text, i + 32);
    least = _mm256_min_epu8(least, v);
    least_flipped = _mm256_min_epu8(least_flipped, _mm256_xor_si256(v, flip));
    least2 = _mm256_min_epu8(least2, w);
    least_flipped2 = _mm256_min_epu8(least_flipped2, _mm256_xor_si256(w, flip));
  }
  if (i + 32 <= n) {
    const __m256i v = block(text, i);
    least = _mm256_min_epu8(least, v);
    least_flipped = _mm256_min_epu8(least_flipped, _mm256_xor_si256(v, flip));
  }
  least = _mm256_min_epu8(least, least2);
  least_flipped = _mm256_min_epu8(least_flipped, least_flipped2);
  const __m256i control = _mm256_cmpeq_epi8(_mm256_min_epu8(least, _mm256_set1_epi8(0x1F)), least);
  const __m256i bar_or_del = _mm256_cmpeq_epi8(_mm256_min_epu8(least_flipped, _mm256_set1_epi8(3)), least_flipped);
  return _mm256_movemask_epi8(_mm256_or_si256(control, bar_or_del)) != 0;
}

} // namespace pfc::text::avx2
