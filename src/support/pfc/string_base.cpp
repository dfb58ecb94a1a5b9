#include "support/pfc/string8.h"

#include <cstring>

namespace pfc {

std::uint32_t bounded_length(const char* text, std::uint32_t max_len) noexcept {
  if (text == nullptr) return 0;
  // The C library's scan reads whole words or vectors at a time and, like a
  // byte loop, nothing past the first zero or the bound.
  return static_cast<std::uint32_t>(strnlen(text, max_len));
}

char* format_decimal(char* out, std::uint64_t value) noexcept {
  char work[63];
  int pos = 63;
  do {
    work[--pos] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (pos > 0 && value != 0);
  int len = 63 - pos;
  std::memcpy(out, work + pos, static_cast<std::size_t>(len));
  out[len] = '\0';
  return out;
}

} // namespace pfc
