// Which LOADINFO fields a mIRC version passes, as the DLL reads them: the
// versions around each field's first release, and the one-digit minors that
// can be read two ways.
#include "mirc_dll/mirc_load_info.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t version(std::uint32_t major, std::uint32_t minor) { return major | minor << 16; }

std::string fields(std::uint32_t major, std::uint32_t minor) {
  const mirc_dll::load_info_fields f = mirc_dll::load_info_fields_of(version(major, minor));
  return std::string(f.unicode ? "U" : "-") + (f.beta ? "B" : "-") + (f.bytes ? "S" : "-");
}

TEST(MircLoadInfo, EachFieldFromTheVersionThatAddedIt) {
  EXPECT_EQ(fields(5, 8), "---");
  EXPECT_EQ(fields(6, 35), "---");
  EXPECT_EQ(fields(7, 0), "U--");
  EXPECT_EQ(fields(7, 50), "U--");
  EXPECT_EQ(fields(7, 51), "UB-");
  EXPECT_EQ(fields(7, 63), "UB-");
  EXPECT_EQ(fields(7, 64), "UBS");
  EXPECT_EQ(fields(7, 81), "UBS");
  EXPECT_EQ(fields(8, 0), "UBS");
}

// 7.5 (7.50) reported as minor 5 must not pass for a version after 7.51, nor
// 7.6 as minor 6 for one after 7.64: a one-digit minor claims no late field.
TEST(MircLoadInfo, AOneDigitMinorClaimsNoLateField) {
  EXPECT_EQ(fields(7, 5), "U--");
  for (std::uint32_t minor = 1; minor < 10; ++minor)
    EXPECT_EQ(fields(7, minor), "U--") << minor;
  EXPECT_EQ(fields(0xFFFF, 0xFFFF), "UBS");
  EXPECT_EQ(fields(0, 0xFFFF), "---") << "the minor alone is no major";
}

TEST(MircLoadInfo, DataHoldsNineHundredCharactersUnlessMBytesSaysOtherwise) {
  EXPECT_EQ(mirc_dll::data_units(mirc_dll::load_info_fields_of(version(7, 50)), 16384), 900u);
  EXPECT_EQ(mirc_dll::data_units(mirc_dll::load_info_fields_of(version(7, 64)), 16384), 8192u);
  EXPECT_EQ(mirc_dll::data_units(mirc_dll::load_info_fields_of(version(7, 64)), 21), 10u) << "whole units only";
}

} // namespace
