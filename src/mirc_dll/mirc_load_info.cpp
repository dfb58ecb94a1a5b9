#include "mirc_load_info.h"

namespace mirc_dll {

load_info_fields load_info_fields_of(std::uint32_t version) noexcept {
  const std::uint32_t major = version & 0xFFFFu, minor = version >> 16;
  const auto from = [&](std::uint32_t want_major, std::uint32_t want_minor) {
    return major > want_major || (major == want_major && minor >= want_minor);
  };
  return {from(7, 0), from(7, 51), from(7, 64)};
}

std::uint32_t data_units(const load_info_fields& fields, std::uint32_t bytes) noexcept {
  return fields.bytes ? bytes / 2 : 900;
}

} // namespace mirc_dll
