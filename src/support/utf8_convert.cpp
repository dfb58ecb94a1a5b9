#include "support/utf8_convert.h"

#include <cstring>
#include <string>

namespace pfc {
namespace {

// Lead-byte classes, indexed by sequence length minus one.
constexpr unsigned char lead_mask[6] = {0x80, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
constexpr unsigned char lead_value[6] = {0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};

constexpr std::size_t no_bound = ~static_cast<std::size_t>(0);

std::size_t decode(const unsigned char* text, std::size_t max_bytes, std::uint32_t& code_point) noexcept {
  code_point = 0;
  if (max_bytes == 0) return 0;
  const unsigned b0 = text[0];
  if (b0 < 0x80) {
    code_point = b0;
    return b0 == 0 ? 0 : 1;
  }
  const std::size_t longest = max_bytes < 6 ? max_bytes : 6;
  std::size_t n = 0;
  for (std::size_t len = 2; len <= longest; ++len) {
    if ((b0 & lead_mask[len - 1]) == lead_value[len - 1]) {
      n = len;
      break;
    }
  }
  if (n == 0) return 0;
  // C0 and C1 could only carry values below 0x80.
  if (n == 2 && (b0 & 0x1E) == 0) return 0;

  std::uint32_t v = b0 & (0xFFu >> (n + 1));
  for (std::size_t i = 1; i < n; ++i) {
    const unsigned b = text[i];
    // The terminator is no continuation byte, so this never reads past it.
    if ((b & 0xC0) != 0x80) return 0;
    // The shortest forms of each length: reject the ones that would fit in
    // fewer payload bits than the next shorter length carries.
    if (i == 2 && v == 0 && ((b & 0x7F) >> (7 - n)) == 0) return 0;
    v = (v << 6) | (b & 0x3F);
  }
  code_point = v;
  return n;
}

bool is_continuation(unsigned b) noexcept { return (b & 0xC0) == 0x80; }

// As decode with no bound, with the characters titles are made of (ASCII,
// two-byte forms, three-byte forms but E0's) taken in line: every text the
// component converts goes through here a character at a time.
inline std::size_t next_character(const char* text, std::uint32_t& code_point) noexcept {
  const auto p = reinterpret_cast<const unsigned char*>(text);
  const unsigned b0 = p[0];
  if (b0 < 0x80) {
    code_point = b0;
    return b0 == 0 ? 0 : 1;
  }
  // Each byte after the lead is read only once the one before it proved to
  // continue the sequence, so never past the terminator.
  if (b0 - 0xC2u < 0x1Eu && is_continuation(p[1])) {
    code_point = ((b0 & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    return 2;
  }
  if (b0 - 0xE1u < 0x0Fu && is_continuation(p[1]) && is_continuation(p[2])) {
    code_point = ((b0 & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    return 3;
  }
  return decode(p, no_bound, code_point);
}

// One decoded character as UTF-16: a pair for the supplementary planes, "?"
// for what UTF-16 cannot carry. Returns the units written.
inline std::size_t put_utf16(char16_t* out, std::uint32_t c) noexcept {
  if (c < 0x10000) {
    out[0] = static_cast<char16_t>(c);
    return 1;
  }
  if (c > 0x10FFFF) {
    out[0] = u'?';
    return 1;
  }
  const std::uint32_t v = c - 0x10000;
  out[0] = static_cast<char16_t>(0xD800 | (v >> 10));
  out[1] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
  return 2;
}

inline std::size_t utf16_units_of(std::uint32_t c) noexcept { return (c >= 0x10000 && c <= 0x10FFFF) ? 2 : 1; }

} // namespace

std::size_t decode_utf8_sequence(const char* text, std::uint32_t& code_point) noexcept {
  return decode(reinterpret_cast<const unsigned char*>(text), no_bound, code_point);
}

std::size_t decode_utf8_sequence_bounded(const char* text, std::size_t max_bytes, std::uint32_t& code_point) noexcept {
  return decode(reinterpret_cast<const unsigned char*>(text), max_bytes, code_point);
}

std::size_t encode_utf8_sequence(std::uint32_t code_point, char* out) noexcept {
  std::size_t n;
  if (code_point < 0x80)
    n = 1;
  else if (code_point < 0x800)
    n = 2;
  else if (code_point < 0x10000)
    n = 3;
  else if (code_point < 0x200000)
    n = 4;
  else if (code_point < 0x4000000)
    n = 5;
  else if (code_point <= 0x7FFFFFFF)
    n = 6;
  else
    return 0;
  if (out == nullptr) return n;
  if (n == 1) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  std::uint32_t rest = code_point;
  for (std::size_t i = n - 1; i > 0; --i) {
    out[i] = static_cast<char>(0x80 | (rest & 0x3F));
    rest >>= 6;
  }
  out[0] = static_cast<char>(lead_value[n - 1] | rest);
  return n;
}

std::size_t decode_utf16_sequence(const char16_t* text, std::uint32_t& code_point) noexcept {
  const std::uint32_t u = text[0];
  if (u == 0) {
    code_point = 0;
    return 0;
  }
  if ((u & 0xFC00) == 0xD800) {
    // Looking at the next unit is safe: at worst it is the terminator.
    const std::uint32_t w = text[1];
    if ((w & 0xFC00) == 0xDC00) {
      code_point = (((u & 0x3FF) << 10) | (w & 0x3FF)) + 0x10000;
      return 2;
    }
  }
  code_point = u;
  return 1;
}

std::size_t utf8_to_utf16_size(const char* text) noexcept {
  std::size_t units = 1;
  std::uint32_t c;
  for (std::size_t len; (len = next_character(text, c)) != 0; text += len)
    units += utf16_units_of(c);
  return units;
}

std::size_t utf16_to_utf8_size(const char16_t* text) noexcept {
  std::size_t bytes = 1;
  std::uint32_t c;
  for (std::size_t len; (len = decode_utf16_sequence(text, c)) != 0; text += len)
    bytes += encode_utf8_sequence(c, nullptr);
  return bytes;
}

std::size_t utf8_to_utf16(char16_t* out, const char* text) noexcept {
  std::size_t units = 0;
  std::uint32_t c;
  for (std::size_t len; (len = next_character(text, c)) != 0; text += len)
    units += put_utf16(out + units, c);
  out[units] = 0;
  return units;
}

// One pass: each character goes in only while it and the terminator fit, so
// the cut needs no sizing pass and never splits a surrogate pair.
std::size_t utf8_to_utf16_fitted(char16_t* out, std::size_t capacity, const char* text,
                                 std::size_t& consumed) noexcept {
  consumed = 0;
  if (capacity == 0) return 0;
  const char* p = text;
  std::size_t units = 0;
  std::uint32_t c;
  for (std::size_t len; (len = next_character(p, c)) != 0 && units + utf16_units_of(c) < capacity; p += len)
    units += put_utf16(out + units, c);
  out[units] = 0;
  consumed = static_cast<std::size_t>(p - text);
  return units;
}

std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text) noexcept {
  if (capacity == 0) return 0;
  std::size_t written = 0;
  std::uint32_t c;
  // Near the capacity, as many bytes of the last character as still fit.
  for (std::size_t len; written + 1 < capacity && (len = decode_utf16_sequence(text, c)) != 0; text += len) {
    char bytes[6];
    const std::size_t encoded = encode_utf8_sequence(c, bytes);
    for (std::size_t i = 0; i < encoded && written + 1 < capacity; ++i)
      out[written++] = bytes[i];
  }
  out[written] = '\0';
  return written;
}

} // namespace pfc
