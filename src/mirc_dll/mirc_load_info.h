// What mIRC's LOADINFO holds for the version that passes it: mIRC adds
// fields at the end as it grows, and an older mIRC passes a shorter
// structure, so a field is read or written only when the version has it.
#pragma once
#include <cstdint>

namespace mirc_dll {

struct load_info_fields {
  bool unicode; // mUnicode, from 7.0
  bool beta;    // mBeta, from 7.51
  bool bytes;   // mBytes, from 7.64
};

// mVersion: major in the low word, minor in the high word. The minor is read
// as hundredths (7.51 is 51), the lower of its two readings: a one-digit
// minor such as 7.5's could mean 7.50 or 7.05, and only the lower one never
// claims a field the structure may not have.
load_info_fields load_info_fields_of(std::uint32_t version) noexcept;

// UTF-16 units that data holds: mBytes / 2 when the version passes mBytes,
// else the 900 characters every mIRC gives.
std::uint32_t data_units(const load_info_fields& fields, std::uint32_t bytes) noexcept;

} // namespace mirc_dll
