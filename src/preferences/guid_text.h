// A class identifier in its usual registry text form, without braces.
#pragma once
#include "host/guid.h"

#include <cstddef>
#include <cstdint>

// Characters of guid_to_text's output, and its buffer size with the terminator.
constexpr std::size_t guid_text_length = 36;
constexpr std::size_t guid_text_size = guid_text_length + 1;

// Writes the count low bytes of number, most significant first, as upper-case
// hex digits at cursor, then a zero byte there without counting it. Returns
// the position of that zero byte, where the next piece goes.
char* append_hex_bytes(char* cursor, std::size_t count, std::uint32_t number) noexcept;

// 8-4-4-4-12 upper-case hex digits and a zero byte: 37 bytes of buffer.
char* guid_to_text(const guid& identifier, char* buffer) noexcept;
