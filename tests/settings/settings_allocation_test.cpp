// Every allocation made while loading or saving is made to fail in turn: the
// failure must reach the caller as "bad allocation", no variable may hold a
// half-made value, and nothing may leak (the sanitizer build checks leaks).
#include "allocation_probe.h"
#include "settings_test_support.h"

#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

using SettingsAllocationFailure = SettingsClient;

// Streams whose pattern is longer than the stored pattern's block, so that
// taking it needs memory at every step up to the end: in the order the
// component saves (flag first), the other way round, and with a second,
// longer pattern record after the first.
TEST_F(SettingsAllocationFailure, WhileLoadingChangesEverythingOrNothing) {
  const std::string old_pattern = "old";
  const std::string long_pattern(700, 'n');
  const std::string longer_pattern = std::string(900, 'm') + "\xE2\x99\xAA";
  bytes saved_order, pattern_first, two_patterns;
  append_record(saved_order, enabled_id, {0});
  append_record(saved_order, pattern_id, bytes_of(long_pattern.c_str()));
  append_record(pattern_first, pattern_id, bytes_of(long_pattern.c_str()));
  append_record(pattern_first, enabled_id, {0});
  append_record(two_patterns, enabled_id, {0});
  append_record(two_patterns, pattern_id, bytes_of(long_pattern.c_str()));
  append_record(two_patterns, pattern_id, bytes_of(longer_pattern.c_str()));
  const struct {
    const bytes& stream;
    const std::string& loaded;
  } cases[] = {{saved_order, long_pattern}, {pattern_first, long_pattern}, {two_patterns, longer_pattern}};

  for (const auto& c : cases) {
    std::size_t failures = 0;
    for (unsigned fail_at = 1;; ++fail_at) {
      set_values(old_pattern, 1);
      bool threw = false;
      unsigned requests = 0;
      {
        allocation_probe probe(fail_at);
        try {
          load(c.stream);
        } catch (const std::bad_alloc& e) {
          threw = true;
          EXPECT_STREQ(e.what(), "bad allocation") << fail_at;
        }
        requests = probe.requests();
      }
      if (!threw) {
        EXPECT_LT(requests, fail_at);
        EXPECT_EQ(pattern_text(), c.loaded);
        EXPECT_EQ(cfg_enabled.value, 0);
        break;
      }
      ++failures;
      EXPECT_EQ(pattern_text(), old_pattern) << "allocation " << fail_at;
      EXPECT_EQ(cfg_enabled.value, 1) << "allocation " << fail_at;
      ASSERT_LT(fail_at, 100u) << "loading never finished";
    }
    // Two map nodes, the gathering buffer, the pattern's own block (and
    // more of each for a second record).
    EXPECT_GE(failures, 4u);
  }
}

TEST_F(SettingsAllocationFailure, WhileSavingLeavesWholeRecordsOnly) {
  const std::string pattern(300, 'p');
  set_values(pattern, 1);
  const bytes complete = save();
  std::size_t failures = 0;
  for (unsigned fail_at = 1;; ++fail_at) {
    memory_writer writer;
    counting_abort abort;
    bool threw = false;
    {
      allocation_probe probe(fail_at);
      try {
        client->save_settings(writer, abort);
      } catch (const std::bad_alloc& e) {
        threw = true;
        EXPECT_STREQ(e.what(), "bad allocation");
      }
    }
    EXPECT_EQ(pattern_text(), pattern);
    if (!threw) {
      EXPECT_EQ(writer.bytes(), complete);
      break;
    }
    ++failures;
    // Nothing, or the flag's record whole: never a piece of a record.
    const std::size_t written = writer.bytes().size();
    EXPECT_TRUE(written == 0 || written == 21) << written;
    EXPECT_EQ(bytes(complete.begin(), complete.begin() + static_cast<std::ptrdiff_t>(written)), writer.bytes());
    ASSERT_LT(fail_at, 100u) << "saving never finished";
  }
  EXPECT_GE(failures, 2u);
}

} // namespace
