// UTF-8 to UTF-16 with SSSE3: the SSE2 form's ASCII blocks, and runs of
// three-byte characters (CJK) four at a time, each character's bytes
// gathered into a 32-bit lane by a byte shuffle, which SSE2 has not.
#include "support/text/form_kernels.h"
#include "support/text/utf8_blocks.h"

#include <tmmintrin.h>

namespace pfc::text::ssse3 {
namespace {

// Four three-byte characters with the leads E1 to EF (no closer look
// needed) in the twelve bytes at p, as four units; false, with nothing
// written, for any other twelve bytes. Reads sixteen bytes.
bool widen_triple_block(char16_t* o, const unsigned char* p) noexcept {
  const __m128i gather = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i x = _mm_shuffle_epi8(load16(p), gather);
  // Lead 1110xxxx other than E0, then two continuation bytes.
  const __m128i form = _mm_cmpeq_epi32(_mm_and_si128(x, _mm_set1_epi32(0x00C0C0F0)), _mm_set1_epi32(0x008080E0));
  const __m128i e0 = _mm_cmpeq_epi32(_mm_and_si128(x, _mm_set1_epi32(0xFF)), _mm_set1_epi32(0xE0));
  if (_mm_movemask_epi8(_mm_andnot_si128(e0, form)) != 0xFFFF) return false;
  const __m128i units = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(x, _mm_set1_epi32(0x0F)), 12),
                                                  _mm_srli_epi32(_mm_and_si128(x, _mm_set1_epi32(0x3F00)), 2)),
                                     _mm_srli_epi32(_mm_and_si128(x, _mm_set1_epi32(0x3F0000)), 16));
  const __m128i low_halves = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(units, low_halves));
  return true;
}

struct triple_runs {
  // Only where two more such characters follow: after a lone one (a
  // typographic quote in Latin text) a block could not succeed.
  static void after_three_bytes(char16_t*& o, const unsigned char*& p, const unsigned char* end) noexcept {
    if (end - p < 16 || p[0] - 0xE1u >= 0x0Fu || p[3] - 0xE1u >= 0x0Fu) return;
    while (end - p >= 16 && widen_triple_block(o, p)) {
      o += 4;
      p += 12;
    }
  }
};

} // namespace

std::size_t utf8_to_utf16(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept {
  return utf8_to_utf16_blocks<triple_runs>(out, text, n, consumed);
}

} // namespace pfc::text::ssse3
