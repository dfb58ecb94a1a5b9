// Which LOADINFO fields a mIRC version passes, as the DLL reads them: around
// each field's first version, and one-digit minors, which read two ways.
#include "mirc_dll/mirc_load_info.h"

#include <gtest/gtest.h>

TEST(MircLoadInfo, EachFieldFromTheVersionThatAddedItAndNoLateOneFromAOneDigitMinor) {
  const struct {
    std::uint32_t major, minor;
    const char* fields;  // U mUnicode, B mBeta, S mBytes
    std::uint32_t units; // data's size for mBytes 16384
  } versions[] = {{5, 8, "---", 900},   {6, 35, "---", 900}, {7, 0, "U--", 900},  {7, 5, "U--", 900},
                  {7, 9, "U--", 900},   {7, 50, "U--", 900}, {7, 51, "UB-", 900}, {7, 63, "UB-", 900},
                  {7, 64, "UBS", 8192}, {8, 0, "UBS", 8192}, {0, 99, "---", 900}};
  for (const auto& v : versions) {
    const auto f = mirc_dll::load_info_fields_of(v.major | v.minor << 16);
    EXPECT_EQ(std::string(f.unicode ? "U" : "-") + (f.beta ? "B" : "-") + (f.bytes ? "S" : "-"), v.fields)
        << v.major << "." << v.minor;
    EXPECT_EQ(mirc_dll::data_units(f, 16384), v.units) << v.major << "." << v.minor;
  }
  EXPECT_EQ(mirc_dll::data_units(mirc_dll::load_info_fields_of(7 | 64 << 16), 21), 10u) << "whole units only";
}
