// The page service's portable answers: identifiers, the class order of
// query_class, the help address, and make_instance's reference handling
// around a dialog class that can fail to come into being.
#include "preferences/guid_text.h"
#include "preferences/preferences_page_impl.h"
#include "preferences_fakes.h"
#include "support/exception_win32.h"
#include "support/pfc/exceptions.h"

#include <gtest/gtest.h>

namespace {

constexpr guid page_id = {0x439C0C97, 0x84BE, 0x4E39, {0x96, 0x85, 0x55, 0xB4, 0xCC, 0x69, 0x47, 0x8B}};
constexpr guid play_callback_static_id = {0x8E4EED7A, 0xC6B8, 0x49C7, {0x99, 0xFE, 0x97, 0xE0, 0x4A, 0xAA, 0x63, 0xA8}};

window_handle_t const unusable_parent = reinterpret_cast<window_handle_t>(0xBAD);

// Stands in for the dialog: "creates" its window unless given unusable_parent.
class fake_dialog : public preferences_page_instance {
public:
  explicit fake_dialog(page_state_listener* l) {
    l->add_ref();
    listener = service_ptr_t<page_state_listener>::adopt(l);
  }
  bool query_class(service_base*&, const guid&) override { return false; }
  std::uint32_t state_flags() override { return page_state_resettable; }
  void apply_changes() override {}
  void reset_to_defaults() override {}

protected:
  ~fake_dialog() = default;
  void create(window_handle_t parent) {
    if (parent == unusable_parent) throw exception_win32(1400);
    window_ = parent;
  }
  window_handle_t hwnd() const { return window_; }

private:
  service_ptr_t<page_state_listener> listener;
  window_handle_t window_ = nullptr;
};

class test_page : public preferences_page_impl<fake_dialog> {
public:
  const char* display_name() override { return "Chirpline"; }
  guid page_guid() override { return page_id; }
  guid parent_guid() override { return {}; }
};

std::string text_of(const guid& id) {
  char buffer[guid_text_size + 1];
  buffer[guid_text_size] = 'x';
  guid_to_text(id, buffer);
  EXPECT_EQ(buffer[guid_text_size], 'x') << "writes 37 bytes, no more";
  return buffer;
}

class PageService : public testing::Test {
protected:
  scoped_fake_host host;
  service_impl_single_t<test_page> page;
};

} // namespace

TEST(GuidText, RegistryFormUpperCaseWithoutBraces) {
  EXPECT_EQ(text_of(guid{}), "00000000-0000-0000-0000-000000000000");
  EXPECT_EQ(text_of({0x6AAA67B6, 0x732F, 0x4967, {0x89, 0x9A, 0x18, 0xC5, 0xF8, 0xC7, 0x00, 0x17}}),
            "6AAA67B6-732F-4967-899A-18C5F8C70017");
  EXPECT_EQ(text_of({0xabcdef01, 0xa0b0, 0x0c0d, {0xfe, 0x0f, 0xab, 0xcd, 0xef, 0x01, 0x02, 0xff}}),
            "ABCDEF01-A0B0-0C0D-FE0F-ABCDEF0102FF");
}

TEST(GuidText, AppendHexBytesWritesATerminatorItDoesNotCount) {
  char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(append_hex_bytes(buffer, 0, 0x12345678), buffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');
  char* end = append_hex_bytes(buffer, 2, 0x12345678); // the two low bytes, high first
  EXPECT_EQ(end, buffer + 4);
  EXPECT_STREQ(buffer, "5678");
}

TEST_F(PageService, AnswersTheThreePageRevisionsOnly) {
  for (const guid& id : {preferences_page_v3_class_guid, preferences_page_v2_class_guid, preferences_page_class_guid}) {
    service_base* out = nullptr;
    EXPECT_TRUE(page.query_class(out, id));
    EXPECT_EQ(out, static_cast<service_base*>(&page));
  }
  fake_listener held;
  service_base* out = &held;
  EXPECT_FALSE(page.query_class(out, preferences_page_instance_class_guid));
  EXPECT_FALSE(page.query_class(out, play_callback_static_id));
  EXPECT_EQ(out, static_cast<service_base*>(&held)) << "a failed query leaves the reference as it was";
  EXPECT_EQ(held.count, 1);
  out = &held;
  EXPECT_TRUE(page.query_class(out, preferences_page_class_guid));
  EXPECT_EQ(held.count, 0) << "the reference the slot held is released";
}

TEST_F(PageService, FixedAnswers) {
  EXPECT_FALSE(page.can_reset());
  page.reset_page();
  EXPECT_EQ(page.sort_priority(), 0.0);
  try {
    page.create_page_window(nullptr);
    FAIL() << "returned";
  } catch (const pfc::exception_not_implemented& e) {
    EXPECT_STREQ(e.what(), "Feature not implemented");
  }
}

TEST_F(PageService, HelpUrlIsBaseVersionPathIdAndName) {
  const std::string base = preferences_help_base_address;
  ASSERT_FALSE(base.empty());
  EXPECT_EQ(base.back(), '/') << "the help site's base address ends in a slash";
  pfc::string8 out("previous text");
  EXPECT_TRUE(page.help_url(out));
  EXPECT_EQ(std::string(out.text_ptr()), std::string(preferences_help_base_address) +
                                             "2.1.4/preferences/439C0C97-84BE-4E39-9685-55B4CC69478B/Chirpline");
  EXPECT_EQ(host.version.count, 1) << "the version service is released";
  host.version.text = "";
  EXPECT_TRUE(page.help_url(out));
  EXPECT_EQ(std::string(out.text_ptr()),
            std::string(preferences_help_base_address) + "/preferences/439C0C97-84BE-4E39-9685-55B4CC69478B/Chirpline");
}

TEST_F(PageService, HelpUrlWithoutOneVersionServiceFailsWithEmptyText) {
  pfc::string8 out("previous text");
  host.offer_versions(0);
  try {
    page.help_url(out);
    FAIL() << "returned";
  } catch (const exception_service_not_found& e) {
    EXPECT_STREQ(e.what(), "Service not found");
  }
  EXPECT_EQ(out.text_length(), 0u);
  host.offer_versions(2);
  EXPECT_THROW(page.help_url(out), exception_service_duplicated);
}

TEST_F(PageService, EachInstanceIsNewWithOneReference) {
  fake_listener listener;
  listener.add_ref(); // the reference handed over by value
  preferences_page_instance* first = page.make_instance(reinterpret_cast<window_handle_t>(1), &listener);
  listener.add_ref();
  preferences_page_instance* second = page.make_instance(reinterpret_cast<window_handle_t>(2), &listener);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->window_handle(), reinterpret_cast<window_handle_t>(1));
  EXPECT_EQ(listener.count, 3) << "the test's own and one per instance; the handed-over ones are dropped";
  EXPECT_EQ(first->add_ref(), 2) << "handed out with a count of 1";
  EXPECT_EQ(first->release(), 1);
  EXPECT_EQ(first->release(), 0);
  EXPECT_EQ(second->release(), 0);
  EXPECT_EQ(listener.count, 1) << "each instance drops its listener when it goes";
}

TEST_F(PageService, FailedCreationLeavesTheListenerAsItWas) {
  fake_listener listener;
  listener.add_ref();
  EXPECT_THROW(page.make_instance(unusable_parent, &listener), exception_win32);
  EXPECT_EQ(listener.count, 1);
}
