#include "support/utf8_convert.h"

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
  for (;;) {
    // ASCII needs no decoding; it is most of what passes through here.
    if (static_cast<unsigned char>(*text) - 1u < 0x7Fu) {
      ++text;
      ++units;
      continue;
    }
    const std::size_t len = decode_utf8_sequence_bounded(text, no_bound, c);
    if (len == 0) break;
    if (c == 0) break;
    text += len;
    units += (c >= 0x10000 && c <= 0x10FFFF) ? 2 : 1;
  }
  return units;
}

std::size_t utf8_to_utf16(char16_t* out, const char* text) noexcept {
  std::size_t k = 0;
  std::uint32_t c;
  for (;;) {
    const unsigned lead = static_cast<unsigned char>(*text);
    if (lead - 1u < 0x7Fu) {
      out[k++] = static_cast<char16_t>(lead);
      ++text;
      continue;
    }
    const std::size_t len = decode_utf8_sequence(text, c);
    if (len == 0) break;
    if (c == 0) break;
    text += len;
    if (c < 0x10000) {
      out[k++] = static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      const std::uint32_t v = c - 0x10000;
      out[k++] = static_cast<char16_t>(0xD800 | ((v >> 10) & 0x3FF));
      out[k++] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    } else {
      out[k++] = u'?';
    }
  }
  out[k] = 0;
  return k;
}

std::size_t utf16_to_utf8_size(const char16_t* text) noexcept {
  std::size_t bytes = 1;
  std::uint32_t c;
  while (std::size_t len = decode_utf16_sequence(text, c)) {
    if (c == 0) break;
    text += len;
    const std::size_t encoded = encode_utf8_sequence(c, nullptr);
    if (encoded == 0) break;
    bytes += encoded;
  }
  return bytes;
}

std::size_t utf16_to_utf8(char* out, std::size_t capacity, const char16_t* text) noexcept {
  std::size_t written = 0;
  std::uint32_t c;
  while (written < capacity) {
    if (static_cast<std::uint32_t>(*text) - 1u < 0x7Fu) {
      out[written++] = static_cast<char>(*text++);
      continue;
    }
    const std::size_t len = decode_utf16_sequence(text, c);
    if (len == 0 || c == 0) break;
    text += len;
    char scratch[6];
    const std::size_t encoded = encode_utf8_sequence(c, scratch);
    const std::size_t room = capacity - written;
    const std::size_t take = encoded < room ? encoded : room;
    for (std::size_t i = 0; i < take; ++i)
      out[written + i] = scratch[i];
    written += take;
  }
  if (capacity == 0) return 0;
  const std::size_t p = written < capacity - 1 ? written : capacity - 1;
  out[p] = '\0';
  return p;
}

} // namespace pfc
