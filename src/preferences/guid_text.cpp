#include "preferences/guid_text.h"

char* append_hex_bytes(char* cursor, std::size_t count, std::uint32_t number) noexcept {
  static const char digits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned byte = (number >> (8 * (count - 1 - i))) & 0xFF;
    cursor[0] = digits[byte >> 4];
    cursor[1] = digits[byte & 0xF];
    cursor += 2;
  }
  *cursor = '\0';
  return cursor;
}

char* guid_to_text(const guid& identifier, char* buffer) noexcept {
  char* cursor = append_hex_bytes(buffer, 4, identifier.data1);
  *cursor++ = '-';
  cursor = append_hex_bytes(cursor, 2, identifier.data2);
  *cursor++ = '-';
  cursor = append_hex_bytes(cursor, 2, identifier.data3);
  *cursor++ = '-';
  for (int i = 0; i < 2; ++i)
    cursor = append_hex_bytes(cursor, 1, identifier.data4[i]);
  *cursor++ = '-';
  for (int i = 2; i < 8; ++i)
    cursor = append_hex_bytes(cursor, 1, identifier.data4[i]);
  return buffer;
}
