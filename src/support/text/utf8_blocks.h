// UTF-8 to UTF-16 a block at a time, shared by the forms built for SSE2 and
// for SSSE3 (each file has its own copy: everything here has internal
// linkage, so no function compiled for SSSE3 can stand in for an SSE2 one).
// Whole blocks of ASCII are widened sixteen bytes at a time (eight, for the
// ASCII before another byte), blocks of other
// characters are left to the form's own runs, and everything else goes one
// character at a time, the common well-formed sequences decoded in place and
// the rest by the reference decoder. Blocks are read only within the n
// bytes, and every store holds only units of converted characters.
#pragma once
#include "support/utf8_convert.h"

#include <cstddef>
#include <cstdint>
#include <emmintrin.h>

namespace pfc::text {
namespace {

inline __m128i load16(const void* p) noexcept { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void store16(void* p, __m128i v) noexcept { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

inline bool is_continuation(unsigned b) noexcept { return (b & 0xC0) == 0x80; }

// The character at p, written at o; false, with nothing written, at a
// malformed sequence. Each byte after the lead is read only once the one
// before it proved to continue the sequence, so never past the terminator.
// After a three-byte character, Runs::after_three_bytes(o, p, end) may
// convert whole blocks of the ones that follow it (CJK text).
template <typename Runs>
inline bool utf8_step(const unsigned char*& p, char16_t*& o, const unsigned char* end) noexcept {
  const unsigned b0 = p[0];
  if (b0 < 0x80) {
    *o++ = static_cast<char16_t>(b0);
    ++p;
    return true;
  }
  // Two-byte leads but C0 and C1, and three-byte leads but E0, need no test
  // beyond their continuation bytes.
  if (b0 - 0xC2u < 0x1Eu) {
    const unsigned b1 = p[1];
    if (!is_continuation(b1)) return false;
    *o++ = static_cast<char16_t>(((b0 & 0x1F) << 6) | (b1 & 0x3F));
    p += 2;
    return true;
  }
  if (b0 - 0xE1u < 0x0Fu) {
    const unsigned b1 = p[1];
    if (!is_continuation(b1)) return false;
    const unsigned b2 = p[2];
    if (!is_continuation(b2)) return false;
    *o++ = static_cast<char16_t>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
    p += 3;
    Runs::after_three_bytes(o, p, end);
    return true;
  }
  // Four-byte forms of the supplementary planes (emoji): a surrogate pair.
  // Shorter values (F0 80 ..) and longer ones (F4 90 .. up) take the decoder.
  if (b0 - 0xF0u < 0x05u && is_continuation(p[1]) && is_continuation(p[2]) && is_continuation(p[3])) {
    const std::uint32_t c = ((b0 & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    if (c - 0x10000u < 0x100000u) {
      const std::uint32_t v = c - 0x10000;
      o[0] = static_cast<char16_t>(0xD800 | (v >> 10));
      o[1] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
      o += 2;
      p += 4;
      return true;
    }
  }
  std::uint32_t c;
  const std::size_t len = decode_utf8_sequence(reinterpret_cast<const char*>(p), c);
  if (len == 0) return false;
  p += len;
  if (c < 0x10000) {
    *o++ = static_cast<char16_t>(c);
  } else if (c <= 0x10FFFF) {
    const std::uint32_t v = c - 0x10000;
    o[0] = static_cast<char16_t>(0xD800 | (v >> 10));
    o[1] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    o += 2;
  } else {
    *o++ = u'?';
  }
  return true;
}

template <typename Runs>
std::size_t utf8_to_utf16_blocks(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept {
  auto p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* const end = p + n;
  char16_t* o = out;
  const __m128i zero = _mm_setzero_si128();
  while (p < end) {
    if (end - p >= 16) {
      const __m128i v = load16(p);
      const unsigned others = static_cast<unsigned>(_mm_movemask_epi8(v)); // no zero byte before end
      if (others == 0) {
        store16(o, _mm_unpacklo_epi8(v, zero));
        store16(o + 8, _mm_unpackhi_epi8(v, zero));
        o += 16;
        p += 16;
        continue;
      }
      // The ASCII before the first other byte.
      const unsigned ascii = static_cast<unsigned>(__builtin_ctz(others));
      unsigned k = 0;
      if (ascii >= 8) {
        store16(o, _mm_unpacklo_epi8(v, zero));
        k = 8;
      }
      for (; k < ascii; ++k)
        o[k] = p[k];
      o += ascii;
      p += ascii;
    } else if (*p < 0x80) {
      // Near the end, eight ASCII bytes at a time where they are, else one.
      if (end - p >= 8) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        if (_mm_movemask_epi8(v) == 0) {
          store16(o, _mm_unpacklo_epi8(v, zero));
          o += 8;
          p += 8;
          continue;
        }
      }
      *o++ = *p++;
      continue;
    }
    // The characters up to the next ASCII byte, which may start a block again.
    do {
      if (!utf8_step<Runs>(p, o, end)) goto done;
    } while (p < end && *p >= 0x80);
  }
done:
  consumed = static_cast<std::size_t>(p - reinterpret_cast<const unsigned char*>(text));
  return static_cast<std::size_t>(o - out);
}

} // namespace
} // namespace pfc::text
