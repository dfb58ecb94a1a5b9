// The settings page's logic against stand-in controls that behave like the
// platform's: a check box with states 0/1/2 and an edit field that reports
// its own changes, as the real edit control sends EN_CHANGE. Then how a
// failure inside a notification waits for the page's own call to raise it.
#include "allocation_probe.h"
#include "preferences/deferred_failure.h"
#include "preferences/preferences_dialog_logic.h"
#include "preferences/preferences_resource.h"
#include "preferences_fakes.h"
#include "support/pfc/memory.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

class fake_controls final : public dialog_controls {
public:
  bool window_exists() override { return exists; }
  void set_item_text(int id, const char16_t* text) override {
    ASSERT_EQ(id, IDC_TITLE_PATTERN);
    field = text;
    if (on_field_change) on_field_change();
  }
  void check_button(int id, std::uint32_t state) override {
    ASSERT_EQ(id, IDC_SEND_ENABLED);
    box = state;
  }
  std::uint32_t is_button_checked(int id) override {
    EXPECT_EQ(id, IDC_SEND_ENABLED);
    return exists ? box : 0;
  }
  void* find_item(int id) override { return exists && has_field && id == IDC_TITLE_PATTERN ? this : nullptr; }
  std::uint32_t item_text_length(void*) override { return static_cast<std::uint32_t>(field.size()) + length_lie; }
  std::uint32_t read_item_text(void*, char16_t* buffer, std::uint32_t capacity) override {
    std::uint32_t n = 0;
    while (n + 1 < capacity && n < field.size())
      buffer[n] = field[n], ++n;
    buffer[n] = 0;
    return n + read_lie;
  }

  bool exists = true;
  bool has_field = true;
  std::uint32_t box = 0;
  std::u16string field;
  std::uint32_t length_lie = 0, read_lie = 0;
  std::function<void()> on_field_change;
};

class DialogLogic : public testing::Test {
public:
  DialogLogic() {
    controls.on_field_change = [this] { logic.control_changed(); };
  }
  scoped_fake_host host;
  fake_listener listener;
  fake_controls controls;
  preferences_dialog_logic logic{controls, listener};
};

std::string pattern() { return cfg_title_pattern.text_ptr(); }

} // namespace

TEST_F(DialogLogic, OpensWithTheStoredSettingsAndNoChange) {
  EXPECT_EQ(logic.init_controls(), 0u);
  EXPECT_EQ(controls.field, u"%title% - %album%");
  EXPECT_EQ(controls.box, 1u);
  EXPECT_EQ(listener.notifications, 1) << "filling the field reports a change, nothing suppresses it";
  EXPECT_EQ(logic.state_flags(), 8u);
  EXPECT_FALSE(logic.has_changes());
}

TEST_F(DialogLogic, UncheckedFlagAndEmptyPatternOpenAsSuch) {
  cfg_enabled.value = 0;
  cfg_title_pattern.assign_text("", 0);
  logic.init_controls();
  EXPECT_EQ(controls.field, u"");
  EXPECT_EQ(controls.box, 0u);
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, ToggleAndTextChangesCountExactly) {
  logic.init_controls();
  controls.box = 0;
  EXPECT_EQ(logic.state_flags(), 9u);
  controls.box = 1;
  EXPECT_EQ(logic.state_flags(), 8u);
  for (const char16_t* edited : {u"%Title% - %album%", u"%title% - %album% ", u"%title% - %album", u""}) {
    controls.field = edited;
    EXPECT_EQ(logic.state_flags(), 9u) << std::string(edited, edited + std::char_traits<char16_t>::length(edited));
  }
  controls.field = u"%title% - %album%";
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, IndeterminateBoxCountsAsUnchecked) {
  logic.init_controls();
  controls.box = 2; // BST_INDETERMINATE: only 1 is checked
  EXPECT_EQ(logic.state_flags(), 9u);
  logic.apply_changes();
  EXPECT_EQ(cfg_enabled.value, 0u);
}

// A host asks for the page's state when told of a change: by the notice the
// settings already hold what was applied.
TEST_F(DialogLogic, ApplyStoresBothAndNotifies) {
  logic.init_controls();
  listener.notifications = 0;
  controls.box = 0;
  controls.field = u"";
  std::uint32_t flags_told = 0;
  unsigned enabled_told = 1;
  std::string pattern_told = "not told";
  listener.on_notice = [&] {
    flags_told = logic.state_flags();
    enabled_told = cfg_enabled.value;
    pattern_told = pattern();
  };
  logic.apply_changes();
  EXPECT_EQ(cfg_enabled.value, 0u);
  EXPECT_EQ(pattern(), "");
  EXPECT_EQ(listener.notifications, 1);
  EXPECT_EQ(flags_told, 8u) << "told of the change while the page still differed from the settings";
  EXPECT_EQ(enabled_told, 0u);
  EXPECT_EQ(pattern_told, "");
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, NonAsciiTextIsStoredAsUtf8AndShownBack) {
  logic.init_controls();
  controls.field = u"caf\u00E9 \U0001F600";
  logic.apply_changes();
  EXPECT_EQ(pattern(), "caf\xC3\xA9 \xF0\x9F\x98\x80");
  controls.field.clear();
  logic.init_controls();
  EXPECT_EQ(controls.field, u"caf\u00E9 \U0001F600");
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, StoredFlagOtherThanZeroOrOneShowsCheckedAndCountsAsChange) {
  cfg_enabled.value = 2;
  logic.init_controls();
  EXPECT_EQ(controls.box, 1u);
  EXPECT_EQ(logic.state_flags(), 9u);
  logic.apply_changes();
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, ResetStoresAndShowsDefaultsAtOnce) {
  cfg_enabled.value = 0;
  cfg_title_pattern.assign_text("%artist%", pfc::infinite_length);
  logic.init_controls();
  controls.field = u"typed";
  listener.notifications = 0;
  logic.reset_to_defaults();
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(pattern(), "%title% - %album%");
  EXPECT_EQ(controls.box, 1u);
  EXPECT_EQ(controls.field, u"%title% - %album%");
  EXPECT_EQ(listener.notifications, 2) << "the field's own change, then the reset's";
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, WithoutItsWindowThePageLeavesTheSettingsAlone) {
  cfg_enabled.value = 0;
  cfg_title_pattern.assign_text("%artist%", pfc::infinite_length);
  logic.init_controls();
  controls.exists = false;
  listener.notifications = 0;
  logic.apply_changes();
  EXPECT_EQ(cfg_enabled.value, 0u);
  EXPECT_EQ(pattern(), "%artist%");
  logic.reset_to_defaults();
  EXPECT_EQ(cfg_enabled.value, 0u);
  EXPECT_EQ(pattern(), "%artist%");
  EXPECT_EQ(logic.state_flags(), 8u);
  EXPECT_EQ(listener.notifications, 0);
}

TEST_F(DialogLogic, ReadPatternField) {
  controls.field = u"abc";
  pattern_field_text text = logic.read_pattern_field();
  EXPECT_EQ(text.length, 3u);
  EXPECT_EQ(std::u16string(text.c_str()), u"abc");
  EXPECT_EQ(text.units.size(), 4u) << "room for the length plus the terminator";

  controls.read_lie = 5; // a control claiming more than it was given room for
  text = logic.read_pattern_field();
  EXPECT_EQ(text.length, 3u);
  EXPECT_EQ(std::u16string(text.c_str()), u"abc");
  controls.read_lie = 0;

  controls.length_lie = 2; // text shorter than announced
  text = logic.read_pattern_field();
  EXPECT_EQ(text.length, 3u);
  EXPECT_EQ(std::u16string(text.c_str()), u"abc");

  controls.has_field = false;
  text = logic.read_pattern_field();
  EXPECT_EQ(text.length, 0u);
  EXPECT_EQ(std::u16string(text.c_str()), u"");
}

// Each allocation of an operation refused in turn, starting from a page whose
// controls (the field holding typed) differ from the stored settings: a
// refusal leaves settings, controls, listener and state exactly as they were;
// the first run with nothing refused completes. Returns how many refusals it took.
unsigned refuse_each_allocation(DialogLogic& t, void (*op)(preferences_dialog_logic&),
                                const std::u16string& typed = u"typed \u00E9") {
  for (unsigned k = 1; k < 20; ++k) {
    cfg_enabled.value = 0;
    cfg_title_pattern.assign_text("%artist%", pfc::infinite_length);
    t.controls.box = 1;
    t.controls.field = typed;
    t.listener.notifications = 0;
    const auto before = std::make_tuple(cfg_enabled.value, pattern(), t.controls.box, t.controls.field);
    bool threw = false, refused = false;
    {
      const allocation_probe probe(k);
      try {
        op(t.logic);
      } catch (const std::bad_alloc& e) {
        threw = true;
        EXPECT_STREQ(e.what(), "bad allocation");
      }
      refused = probe.refused();
    }
    if (!threw) {
      EXPECT_FALSE(refused) << "allocation " << k << " was refused yet the operation completed";
      return k - 1;
    }
    EXPECT_EQ(std::make_tuple(cfg_enabled.value, pattern(), t.controls.box, t.controls.field), before) << k;
    EXPECT_EQ(t.listener.notifications, 0) << k;
    EXPECT_EQ(t.logic.state_flags(), 9u) << k;
  }
  ADD_FAILURE() << "the operation never completed";
  return 0;
}

TEST_F(DialogLogic, AllocationFailureWhileApplyingKeepsBothOldSettings) {
  EXPECT_GE(refuse_each_allocation(*this, [](preferences_dialog_logic& l) { l.apply_changes(); }), 3u);
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(pattern(), "typed \xC3\xA9");
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, AllocationFailureWhileApplyingAPatternLongerThanTheStoredBlockKeepsBothOldSettings) {
  // "%artist%" sits in a 25-byte block: this one has to move to a new block.
  std::u16string typed = u"%title% \u266A ";
  for (int i = 0; i < 40; ++i)
    typed += u"J\u00F3ga ";
  std::string expected = "%title% \xE2\x99\xAA ";
  for (int i = 0; i < 40; ++i)
    expected += "J\xC3\xB3ga ";
  EXPECT_GE(refuse_each_allocation(
                *this, [](preferences_dialog_logic& l) { l.apply_changes(); }, typed),
            3u);
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(pattern(), expected);
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, AllocationFailureWhileResettingChangesNothing) {
  EXPECT_GE(refuse_each_allocation(*this, [](preferences_dialog_logic& l) { l.reset_to_defaults(); }), 2u);
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(pattern(), "%title% - %album%");
  EXPECT_EQ(controls.field, u"%title% - %album%");
  EXPECT_EQ(logic.state_flags(), 8u);
}

TEST_F(DialogLogic, AllocationFailureWhileFillingLeavesTheControlsUntouched) {
  EXPECT_GE(refuse_each_allocation(*this, [](preferences_dialog_logic& l) { l.init_controls(); }), 1u);
  EXPECT_EQ(controls.field, u"%artist%");
  EXPECT_EQ(controls.box, 0u);
  EXPECT_EQ(logic.state_flags(), 8u);
}

namespace {
std::exception_ptr failure(const char* what) { return std::make_exception_ptr(std::runtime_error(what)); }
} // namespace

// A notification that fails while the page sets a control: the setting call
// raises the first cause, once; later calls raise nothing of it.
TEST(DeferredFailure, TheOwnCallRaisesTheFirstFailureOnce) {
  deferred_failure failures;
  {
    const deferred_failure::own_call call(failures);
    EXPECT_TRUE(failures.keep(failure("listener failed")));
    EXPECT_TRUE(failures.keep(failure("what followed")));
  }
  ASSERT_TRUE(failures.has_pending());
  try {
    failures.rethrow_pending();
    FAIL() << "nothing raised";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "listener failed");
  }
  EXPECT_FALSE(failures.has_pending());
  EXPECT_NO_THROW(failures.rethrow_pending());
}

// A failure of a message the host's loop delivered belongs to no call of
// ours: kept, it would be raised by the next unrelated reset or apply.
TEST(DeferredFailure, OutsideEveryOwnCallTheFailureIsHandedBack) {
  deferred_failure failures;
  EXPECT_FALSE(failures.keep(failure("user edit")));
  EXPECT_FALSE(failures.has_pending());
  {
    const deferred_failure::own_call outer(failures);
    { const deferred_failure::own_call inner(failures); }
    EXPECT_TRUE(failures.keep(failure("inside the outer call"))) << "the outer call still runs";
  }
  EXPECT_THROW(failures.rethrow_pending(), std::runtime_error);
  EXPECT_FALSE(failures.keep(failure("after both calls")));
  EXPECT_FALSE(failures.has_pending());
}
