#include "support/pfc/string8.h"
#include <gtest/gtest.h>
TEST(String8, Smoke) { pfc::string8 s; s.append_text("abc", 3); EXPECT_EQ(s.block_size(), 20u); }
