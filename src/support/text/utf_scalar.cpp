// The reference conversions: one character at a time through the
// single-sequence codecs, exactly as the rules describe them.
#include "support/text/form_kernels.h"
#include "support/utf8_convert.h"

#include <cstdint>

namespace pfc::text::scalar {

std::size_t utf8_to_utf16(char16_t* out, const char* text, std::size_t n, std::size_t& consumed) noexcept {
  std::size_t at = 0, units = 0;
  std::uint32_t c;
  // The decoder never reads past the terminator at text[n].
  for (std::size_t len; at < n && (len = decode_utf8_sequence(text + at, c)) != 0; at += len) {
    if (c < 0x10000) {
      out[units++] = static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      const std::uint32_t v = c - 0x10000;
      out[units++] = static_cast<char16_t>(0xD800 | (v >> 10));
      out[units++] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    } else {
      out[units++] = u'?';
    }
  }
  consumed = at;
  return units;
}

std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text, std::size_t n) noexcept {
  std::size_t written = 0;
  std::uint32_t c;
  for (std::size_t at = 0, len; at < n && written < capacity; at += len) {
    len = decode_utf16_sequence(text + at, c);
    char bytes[6];
    const std::size_t encoded = encode_utf8_sequence(c, bytes);
    for (std::size_t i = 0; i < encoded && written < capacity; ++i)
      out[written++] = bytes[i];
  }
  return written;
}

namespace {
bool needs_care(unsigned char c) noexcept { return c == '|' || c < 0x20 || c == 0x7F; }
} // namespace

bool title_may_need_care(const char* text, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i)
    if (needs_care(static_cast<unsigned char>(text[i]))) return true;
  return false;
}

char* copy_neutralised(char* out, const char* text, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '|') {
      *out++ = '\xC2';
      *out++ = '\xA6';
    } else {
      *out++ = needs_care(c) ? ' ' : static_cast<char>(c);
    }
  }
  return out;
}

} // namespace pfc::text::scalar
