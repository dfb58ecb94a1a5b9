// The title's test and neutralising copy sixteen bytes at a time with SSE2.
#include "support/text/form_kernels.h"

#include <emmintrin.h>

namespace pfc::text::sse2 {
namespace {
__m128i block(const char* text, std::size_t at) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
}
} // namespace

// Two running minimums: of the bytes themselves (one below 0x20 is a control
// byte) and of the bytes XOR 0x7C (one below 4 is 0x7C to 0x7F: '|', DEL, or
// the harmless '}' and '~', which only cost the careful copy). Shorter texts
// than a block always take the careful copy.
bool title_may_need_care(const char* text, std::size_t n) noexcept {
  if (n < 16) return true;
  const __m128i flip = _mm_set1_epi8(0x7C);
  // The last block may overlap the ones before; it stays inside the n bytes.
  __m128i least = _mm_min_epu8(block(text, 0), block(text, n - 16));
  __m128i least_flipped = _mm_min_epu8(_mm_xor_si128(block(text, 0), flip), _mm_xor_si128(block(text, n - 16), flip));
  // Two blocks a round, each into its own pair of minimums, so that no
  // minimum waits on the one before.
  __m128i least2 = least, least_flipped2 = least_flipped;
  std::size_t i = 16;
  for (; i + 32 <= n; i += 32) {
    const __m128i v = block(text, i), w = block(text, i + 16);
    least = _mm_min_epu8(least, v);
    least_flipped = _mm_min_epu8(least_flipped, _mm_xor_si128(v, flip));
    least2 = _mm_min_epu8(least2, w);
    least_flipped2 = _mm_min_epu8(least_flipped2, _mm_xor_si128(w, flip));
  }
  if (i + 16 <= n) {
    const __m128i v = block(text, i);
    least = _mm_min_epu8(least, v);
    least_flipped = _mm_min_epu8(least_flipped, _mm_xor_si128(v, flip));
  }
  least = _mm_min_epu8(least, least2);
  least_flipped = _mm_min_epu8(least_flipped, least_flipped2);
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(least, _mm_set1_epi8(0x1F)), least);
  const __m128i bar_or_del = _mm_cmpeq_epi8(_mm_min_epu8(least_flipped, _mm_set1_epi8(3)), least_flipped);
  return _mm_movemask_epi8(_mm_or_si128(control, bar_or_del)) != 0;
}

// A block of sixteen bytes without '|' is blanked and stored whole; one with
// a '|' (rare) and the bytes after the last whole block go one at a time.
char* copy_neutralised(char* out, const char* text, std::size_t n) noexcept {
  std::size_t i = 0;
  const __m128i bar = _mm_set1_epi8('|'), del = _mm_set1_epi8(0x7F);
  const __m128i below_blank = _mm_set1_epi8(0x1F), blank = _mm_set1_epi8(' ');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = block(text, i);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, bar)) != 0) {
      out = scalar::copy_neutralised(out, text + i, 16);
      continue;
    }
    const __m128i control = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, below_blank), v), _mm_cmpeq_epi8(v, del));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_andnot_si128(control, v), _mm_and_si128(control, blank)));
    out += 16;
  }
  return scalar::copy_neutralised(out, text + i, n - i);
}

} // namespace pfc::text::sse2
