// A text sink of at most 32 characters that never allocates: room for short
// diagnostic texts built where an allocation would be out of place.
#pragma once
#include "host/string_base.h"

#include <cstddef>
#include <cstdint>

class short_text_buffer final : public pfc::string_base {
public:
  static constexpr std::uint32_t capacity = 32;

  short_text_buffer() noexcept = default;

  // Throws pfc::exception_overflow, changing nothing, past 32 characters.
  void append_text(const char* text, std::uint32_t max_len) override;
  const char* text_ptr() const override { return chars; }
  void assign_text(const char* text, std::uint32_t max_len) override;
  void cut_to_length(std::uint32_t len) override;
  std::uint32_t text_length() const override { return length; }
  // Null for 32 or more: the buffer cannot promise room for the terminator.
  char* open_buffer(std::uint32_t n) override;
  void close_buffer() override;

  std::uint32_t length = 0;
  char chars[capacity + 1] = {};
};

// The layout the buffer's callers reserve room for: operation table, length,
// then the characters. offsetof on a class with virtual operations is only
// conditionally supported; GCC and Clang support it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(short_text_buffer, length) == sizeof(void*), "length follows the operation table");
static_assert(offsetof(short_text_buffer, chars) == sizeof(void*) + 4, "the characters follow the length");
#pragma GCC diagnostic pop
static_assert(sizeof(short_text_buffer::chars) == 33, "32 characters and a terminator");
static_assert(sizeof(void*) != 4 || sizeof(short_text_buffer) == 44, "4 + 4 + 33 bytes, padded to 4, on i686");
static_assert(sizeof(void*) != 8 || sizeof(short_text_buffer) == 48, "8 + 4 + 33 bytes, padded to 8, on x86-64");
