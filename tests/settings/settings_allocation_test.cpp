// Every allocation made while loading or saving is made to fail in turn: the
// failure must reach the caller as "bad allocation", no variable may hold a
// half-made value, and nothing may leak (the sanitizer build checks leaks).
#include "allocation_hook.h"
#include "settings_test_support.h"

#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

struct failing_allocation {
  std::size_t fail_at = 0; // 1-based index of the allocation to refuse
  std::size_t seen = 0;
  static bool hook(std::size_t, void* context) {
    auto* self = static_cast<failing_allocation*>(context);
    return ++self->seen != self->fail_at;
  }
};

class allocation_hook_scope {
public:
  explicit allocation_hook_scope(failing_allocation& state) {
    pfc::set_allocation_hook(&failing_allocation::hook, &state);
  }
  ~allocation_hook_scope() { pfc::set_allocation_hook(nullptr, nullptr); }
  allocation_hook_scope(const allocation_hook_scope&) = delete;
  allocation_hook_scope& operator=(const allocation_hook_scope&) = delete;
};

using settings_allocation_failure = settings_client;

TEST_F(settings_allocation_failure, while_loading_leaves_each_variable_old_or_whole) {
  const std::string old_pattern = "old";
  std::string new_pattern(700, 'n');
  bytes stream;
  append_record(stream, enabled_id, {0});
  append_record(stream, pattern_id, bytes_of(new_pattern.c_str()));
  append_record(stream, pattern_id, bytes_of("short"));
  new_pattern = "short";

  std::size_t failures = 0;
  for (std::size_t fail_at = 1;; ++fail_at) {
    set_values(old_pattern, 1);
    failing_allocation state;
    state.fail_at = fail_at;
    bool threw = false;
    {
      allocation_hook_scope scope(state);
      try {
        load(stream);
      } catch (const std::bad_alloc& e) {
        threw = true;
        EXPECT_STREQ(e.what(), "bad allocation") << fail_at;
      }
    }
    const std::string now = pattern_text();
    EXPECT_TRUE(now == old_pattern || now == std::string(700, 'n') || now == new_pattern) << fail_at << ": " << now;
    if (!threw) {
      EXPECT_LT(state.seen, fail_at);
      EXPECT_EQ(now, new_pattern);
      EXPECT_EQ(cfg_enabled.value, 0);
      break;
    }
    ++failures;
    ASSERT_LT(fail_at, 100u) << "loading never finished";
  }
  // Map nodes, the gathering buffer's doublings and the variable's own block.
  EXPECT_GE(failures, 5u);
}

TEST_F(settings_allocation_failure, while_saving_leaves_whole_records_only) {
  const std::string pattern(300, 'p');
  set_values(pattern, 1);
  const bytes complete = save();
  std::size_t failures = 0;
  for (std::size_t fail_at = 1;; ++fail_at) {
    failing_allocation state;
    state.fail_at = fail_at;
    memory_writer writer;
    counting_abort abort;
    bool threw = false;
    {
      allocation_hook_scope scope(state);
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
