#include "support/short_text_buffer.h"
#include "support/pfc/exceptions.h"
#include "support/pfc/string8.h"

#include <cstring>

void short_text_buffer::append_text(const char* text, std::uint32_t max_len) {
  const std::uint32_t n = pfc::bounded_length(text, max_len);
  if (n > capacity - length) throw pfc::exception_overflow();
  if (n != 0) std::memcpy(chars + length, text, n);
  length += n;
  chars[length] = '\0';
}

void short_text_buffer::assign_text(const char* text, std::uint32_t max_len) {
  cut_to_length(0);
  append_text(text, max_len);
}

void short_text_buffer::cut_to_length(std::uint32_t len) {
  if (len > capacity) len = capacity;
  if (len < length) {
    length = len;
    chars[len] = '\0';
  }
}

char* short_text_buffer::open_buffer(std::uint32_t n) {
  if (n >= capacity) return nullptr;
  std::memset(chars, 0, sizeof chars);
  return chars;
}

void short_text_buffer::close_buffer() { length = static_cast<std::uint32_t>(std::strlen(chars)); }
