// UTF-8 <-> UTF-16 with SSE2: ASCII a block at a time.
#include "support/text/form_kernels.h"
#include "support/text/utf8_blocks.h"

namespace pfc::text::sse2 {
namespace {

// Blocks of other characters gain nothing over one at a time without SSSE3.
struct no_runs {
  static void after_three_bytes(char16_t*&, const unsigned char*&, const unsigned char*) noexcept {}
};

} // namespace

std::size_t utf8_to_utf16(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept {
  return utf8_to_utf16_blocks<no_runs>(out, text, n, consumed);
}

std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text, std::size_t n) noexcept {
  auto o = reinterpret_cast<unsigned char*>(out);
  std::size_t written = 0, at = 0;
  while (at < n && written < capacity) {
    // Eight ASCII units as eight bytes.
    if (n - at >= 8 && capacity - written >= 8) {
      const __m128i v = load16(text + at);
      const __m128i ascii =
          _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), _mm_setzero_si128());
      if (_mm_movemask_epi8(ascii) == 0xFFFF) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o + written), _mm_packus_epi16(v, v));
        written += 8;
        at += 8;
        continue;
      }
    }
    std::uint32_t c = text[at];
    std::size_t len = 1;
    // A unit after a high surrogate is always there: at worst the terminator.
    if ((c & 0xFC00) == 0xD800 && (text[at + 1] & 0xFC00) == 0xDC00) {
      c = (((c & 0x3FF) << 10) | (text[at + 1] & 0x3FFu)) + 0x10000;
      len = 2;
    }
    unsigned char bytes[4];
    std::size_t encoded;
    if (c < 0x80) {
      bytes[0] = static_cast<unsigned char>(c);
      encoded = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      encoded = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      encoded = 3;
    } else {
      bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
      bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      encoded = 4;
    }
    // Near the capacity, as many of its bytes as still fit.
    const std::size_t take = encoded < capacity - written ? encoded : capacity - written;
    for (std::size_t i = 0; i < take; ++i)
      o[written + i] = bytes[i];
    written += take;
    at += len;
  }
  return written;
}

} // namespace pfc::text::sse2
