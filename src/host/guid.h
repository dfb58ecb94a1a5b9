// A 16-byte class identifier, laid out as the platform's GUID and compared as
// raw bytes.
#pragma once
#include <cstdint>
#include <cstring>

struct guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};
static_assert(sizeof(guid) == 16, "a class identifier is 16 bytes");

inline bool operator==(const guid& a, const guid& b) noexcept { return std::memcmp(&a, &b, sizeof(guid)) == 0; }
inline bool operator!=(const guid& a, const guid& b) noexcept { return !(a == b); }
