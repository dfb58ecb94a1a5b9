// The settings page as a real dialog with real controls under the platform's
// window manager, driven the way a user drives it: BM_CLICK on the check box,
// WM_CHAR and WM_SETTEXT on the edit field, with the controls sending their
// own notifications.
#include "allocation_probe.h"
#include "memory_streams.h"
#include "preferences/preferences_page_myimpl_win32.h"
#include "preferences/preferences_resource.h"
#include "preferences_fakes.h"
#include "runtime/module_state.h"
#include "settings/settings_stream_io.h"
#include "support/exception_win32.h"

#include <windows.h>

#include "support/unique_handle_win32.h"
#include "wine_refusal_win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// What a host's listener may raise that is no std::exception.
struct host_refusal {
  int code;
};

// Fails its next `failures` notices (every one while negative) with a
// std::runtime_error, or with a host_refusal when `foreign`.
class throwing_listener final : public counted_fake<page_state_listener> {
public:
  void notify_state_change() override {
    if (failures == 0) return;
    if (failures > 0) --failures;
    if (foreign) throw host_refusal{7};
    throw std::runtime_error("listener failed");
  }
  int failures = -1;
  bool foreign = false;
};

// What an action raised: a listener's message, "host refusal N", or "nothing".
std::string raised_by(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& e) {
    return e.what();
  } catch (const host_refusal& e) {
    return "host refusal " + std::to_string(e.code);
  }
  return "nothing";
}

// Releases the instance after destroying its window, as the host must.
struct instance_releaser {
  void operator()(preferences_page_instance* instance) const {
    if (HWND window = static_cast<HWND>(instance->window_handle())) DestroyWindow(window);
    instance->release();
  }
};
using instance_owner = std::unique_ptr<preferences_page_instance, instance_releaser>;

std::vector<std::uint8_t> saved_settings() {
  memory_writer writer;
  counting_abort never;
  write_all_variables(writer, never);
  return writer.bytes();
}

// The settings stream holding exactly these two records.
std::vector<std::uint8_t> settings_stream(std::uint8_t enabled, const char* pattern) {
  std::vector<std::uint8_t> out;
  append_record(out, enabled_id, {enabled});
  append_record(out, pattern_id, bytes_of(pattern));
  return out;
}

std::wstring field_text(HWND page) {
  HWND field = GetDlgItem(page, IDC_TITLE_PATTERN);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(field, &text[0], static_cast<int>(text.size()))));
  return text;
}

class DialogWindow : public testing::Test {
protected:
  DialogWindow()
      : parent(create_top_level_window("test", 0, L"STATIC", L"Preferences", WS_OVERLAPPEDWINDOW, 0, 0, 700, 500,
                                       GetModuleHandleW(nullptr), nullptr)) {
    if (!parent) ADD_FAILURE() << "cannot create the parent window (error " << GetLastError() << ")";
  }

  instance_owner open() {
    listener.add_ref(); // handed over by value
    instance_owner instance(page.make_instance(parent.get(), &listener));
    ShowWindow(static_cast<HWND>(instance->window_handle()), SW_SHOW);
    return instance;
  }
  static HWND window(const instance_owner& instance) { return static_cast<HWND>(instance->window_handle()); }
  static void click_box(HWND page_window) { SendMessageW(GetDlgItem(page_window, IDC_SEND_ENABLED), BM_CLICK, 0, 0); }
  static void set_field(HWND page_window, const wchar_t* text) {
    SendMessageW(GetDlgItem(page_window, IDC_TITLE_PATTERN), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  static void type(HWND page_window, const wchar_t* keys) {
    HWND field = GetDlgItem(page_window, IDC_TITLE_PATTERN);
    SendMessageW(field, EM_SETSEL, 0x7FFF, 0x7FFF);
    for (; *keys != 0; ++keys)
      SendMessageW(field, WM_CHAR, *keys, 1);
  }

  scoped_fake_host host;
  unique_window parent;
  fake_listener listener;
  service_impl_single_t<preferences_page_myimpl> page;
};

} // namespace

TEST_F(DialogWindow, OpensCheckedWithTheDefaultPatternAndNoChange) {
  ASSERT_NE(parent.get(), nullptr);
  const HWND focus = GetFocus();
  instance_owner instance = open();
  HWND w = window(instance);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetParent(w), parent.get());
  EXPECT_EQ(GetFocus(), focus) << "the page leaves the focus to the host";
  EXPECT_EQ(IsDlgButtonChecked(w, IDC_SEND_ENABLED), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(field_text(w), L"%title% - %album%");
  EXPECT_EQ(instance->state_flags(), 8u);
  EXPECT_GE(listener.notifications, 1) << "filling the field already tells the listener";
  EXPECT_EQ(listener.count, 2) << "the test's reference and the page's own";
}

TEST_F(DialogWindow, ClickingTheBoxNotifiesAndFlipsTheState) {
  instance_owner instance = open();
  HWND w = window(instance);
  const int before = listener.notifications;
  click_box(w);
  EXPECT_EQ(listener.notifications, before + 1);
  EXPECT_EQ(IsDlgButtonChecked(w, IDC_SEND_ENABLED), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(instance->state_flags(), 9u);
  click_box(w);
  EXPECT_EQ(listener.notifications, before + 2);
  EXPECT_EQ(instance->state_flags(), 8u);
}

TEST_F(DialogWindow, TypingNotifiesAtEveryChangeAndComparesExactly) {
  instance_owner instance = open();
  HWND w = window(instance);
  const int before = listener.notifications;
  type(w, L"x");
  EXPECT_EQ(listener.notifications, before + 1);
  EXPECT_EQ(field_text(w), L"%title% - %album%x");
  EXPECT_EQ(instance->state_flags(), 9u);
  type(w, L"\b");
  EXPECT_EQ(listener.notifications, before + 2);
  EXPECT_EQ(instance->state_flags(), 8u);
  set_field(w, L"%TITLE% - %album%");
  EXPECT_EQ(instance->state_flags(), 9u) << "letter case counts";
  set_field(w, L"%title% - %album% ");
  EXPECT_EQ(instance->state_flags(), 9u) << "a trailing blank counts";
  set_field(w, L"%title% - %album%");
  EXPECT_EQ(instance->state_flags(), 8u);
  EXPECT_EQ(listener.notifications, before + 5);
}

TEST_F(DialogWindow, ApplyingAnEmptyFieldStoresTheEmptyPattern) {
  {
    instance_owner instance = open();
    HWND w = window(instance);
    click_box(w);
    set_field(w, L"");
    const int before = listener.notifications;
    instance->apply_changes();
    EXPECT_EQ(listener.notifications, before + 1);
    EXPECT_EQ(instance->state_flags(), 8u);
  }
  EXPECT_EQ(saved_settings(), settings_stream(0, ""));
  instance_owner reopened = open();
  EXPECT_EQ(field_text(window(reopened)), L"");
  EXPECT_EQ(IsDlgButtonChecked(window(reopened), IDC_SEND_ENABLED), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(reopened->state_flags(), 8u);
}

TEST_F(DialogWindow, TypedNonAsciiIsStoredAsUtf8AndShownAgain) {
  {
    instance_owner instance = open();
    HWND w = window(instance);
    set_field(w, L"");
    type(w, L"\u00E9");
    EXPECT_EQ(instance->state_flags(), 9u);
    instance->apply_changes();
  }
  EXPECT_EQ(std::string(cfg_title_pattern.text_ptr()), "\xC3\xA9");
  EXPECT_EQ(saved_settings(), settings_stream(1, "\xC3\xA9"));
  instance_owner reopened = open();
  EXPECT_EQ(field_text(window(reopened)), L"\u00E9");
  EXPECT_EQ(reopened->state_flags(), 8u);
}

TEST_F(DialogWindow, ResetStoresAndShowsTheDefaults) {
  cfg_enabled.value = 0;
  cfg_title_pattern.assign_text("%artist%", pfc::infinite_length);
  instance_owner instance = open();
  HWND w = window(instance);
  EXPECT_EQ(field_text(w), L"%artist%");
  set_field(w, L"half typed");
  const int before = listener.notifications;
  instance->reset_to_defaults();
  EXPECT_EQ(listener.notifications, before + 2) << "the field's own change and the reset's";
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(std::string(cfg_title_pattern.text_ptr()), "%title% - %album%");
  EXPECT_EQ(field_text(w), L"%title% - %album%");
  EXPECT_EQ(IsDlgButtonChecked(w, IDC_SEND_ENABLED), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(instance->state_flags(), 8u);
}

TEST_F(DialogWindow, FlagByteTwoShowsCheckedAndCountsAsChangedUntilApplied) {
  cfg_enabled.value = 2;
  instance_owner instance = open();
  EXPECT_EQ(IsDlgButtonChecked(window(instance), IDC_SEND_ENABLED), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(instance->state_flags(), 9u);
  instance->apply_changes();
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(instance->state_flags(), 8u);
}

TEST_F(DialogWindow, TwoInstancesEachWithOneReference) {
  instance_owner first = open();
  instance_owner second = open();
  EXPECT_NE(first.get(), second.get());
  EXPECT_NE(window(first), window(second));
  EXPECT_EQ(first->add_ref(), 2);
  EXPECT_EQ(first->release(), 1);
  EXPECT_EQ(second->add_ref(), 2);
  EXPECT_EQ(second->release(), 1);
  EXPECT_EQ(listener.count, 3);
  first.reset();
  second.reset();
  EXPECT_EQ(listener.count, 1) << "each instance releases its listener when it goes";
}

TEST_F(DialogWindow, InstanceAnswersOnlyItsOwnClass) {
  instance_owner instance = open();
  service_base* out = nullptr;
  EXPECT_FALSE(instance->query_class(out, preferences_page_class_guid));
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(instance->query_class(out, preferences_page_instance_class_guid));
  EXPECT_EQ(out, static_cast<service_base*>(instance.get()));
  out->release();
}

TEST_F(DialogWindow, ParentThatCannotHoldAChildRaisesWin32Error) {
  HWND gone = create_top_level_window("test", 0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr);
  ASSERT_NE(gone, nullptr) << "error " << GetLastError();
  DestroyWindow(gone);
  listener.add_ref();
  try {
    page.make_instance(gone, &listener);
    FAIL() << "an instance came into being";
  } catch (const exception_win32& e) {
    EXPECT_EQ(e.code, static_cast<std::uint32_t>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_GT(std::string(e.what()).size(), 0u);
  }
  EXPECT_EQ(listener.count, 1);
}

// Whatever the listener raises, std::exception or not, waits for the dialog's
// creation to return and is raised from there.
TEST_F(DialogWindow, FailureWhileFillingTheControlsDoesNotCrossTheDialogProcedure) {
  throwing_listener failing;
  for (bool foreign : {false, true}) {
    failing.foreign = foreign;
    failing.add_ref();
    EXPECT_EQ(raised_by([&] { page.make_instance(parent.get(), &failing); }),
              foreign ? "host refusal 7" : "listener failed");
    EXPECT_EQ(failing.count, 1);
    EXPECT_EQ(GetWindow(parent.get(), GW_CHILD), nullptr) << "the half-made page is gone";
  }
}

// The field's first notice during a reset comes while the reset sets its
// text: failing on that notice alone, the listener's failure still reaches the
// caller, of either kind, though the reset's own notice then succeeds.
TEST_F(DialogWindow, FailureDuringAResetReachesTheCaller) {
  throwing_listener failing;
  failing.failures = 0;
  failing.add_ref();
  instance_owner instance(page.make_instance(parent.get(), &failing));
  ::set_services_ready(true); // a failure handed back as stray would be printed
  for (bool foreign : {false, true}) {
    set_field(window(instance), L"half typed");
    failing.failures = 1;
    failing.foreign = foreign;
    EXPECT_EQ(raised_by([&] { instance->reset_to_defaults(); }), foreign ? "host refusal 7" : "listener failed");
  }
  ::set_services_ready(false);
  EXPECT_EQ(failing.failures, 0);
  EXPECT_TRUE(host.console.lines.empty()) << host.console.lines.front();
  instance.reset();
  EXPECT_EQ(failing.count, 1);
}

// A failure while the host's message loop runs the page (a user typing) has no
// page call to travel with: it is reported then, and a later reset still does
// all of its work.
TEST_F(DialogWindow, FailureOfAUserEditIsReportedThenAndNotRaisedByALaterCall) {
  throwing_listener failing;
  failing.failures = 0;
  failing.add_ref();
  instance_owner instance(page.make_instance(parent.get(), &failing));
  ::set_services_ready(true);
  failing.failures = -1;
  type(window(instance), L"x");
  // Nothing to print for a failure that is no std::exception, but it must not
  // cross the dispatch either.
  failing.foreign = true;
  EXPECT_NO_THROW(type(window(instance), L"y"));
  failing.failures = 0;
  ::set_services_ready(false);
  ASSERT_FALSE(host.console.lines.empty());
  EXPECT_EQ(host.console.lines.front(), "Error: listener failed");
  EXPECT_EQ(host.console.lines.size(), 1u);

  cfg_enabled.value = 0;
  cfg_title_pattern.assign_text("%artist%", pfc::infinite_length);
  EXPECT_NO_THROW(instance->reset_to_defaults());
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(std::string(cfg_title_pattern.text_ptr()), "%title% - %album%");
  instance.reset();
  EXPECT_EQ(failing.count, 1);
}

// Every allocation the page makes refused in turn, on the real window: opening
// gives a filled page or nothing (no window left, the listener given back);
// apply and reset complete, or leave settings, controls and state as they were.
TEST_F(DialogWindow, EachRefusedAllocationLeavesPageAndSettingsAgreeing) {
  instance_owner instance;
  for (unsigned k = 1; !instance; ++k) {
    ASSERT_LT(k, 10u) << "the page never opened";
    try {
      const allocation_probe probe(k);
      instance = open();
    } catch (const std::bad_alloc&) {
      EXPECT_EQ(listener.count, 1) << k;
      EXPECT_EQ(GetWindow(parent.get(), GW_CHILD), nullptr) << k;
    }
  }
  HWND w = window(instance);
  EXPECT_EQ(field_text(w), L"%title% - %album%");
  const auto refuse_each = [&](void (preferences_page_instance::*op)(), const std::wstring& typed) {
    for (unsigned k = 1;; ++k) {
      ASSERT_LT(k, 10u) << "the operation never completed";
      cfg_enabled.value = 0;
      cfg_title_pattern.assign_text("%artist%", pfc::infinite_length);
      set_field(w, typed.c_str());
      CheckDlgButton(w, IDC_SEND_ENABLED, BST_CHECKED);
      try {
        const allocation_probe probe(k);
        ((*instance).*op)();
        return;
      } catch (const std::bad_alloc&) {
      }
      EXPECT_EQ(cfg_enabled.value, 0u) << k;
      EXPECT_EQ(std::string(cfg_title_pattern.text_ptr()), "%artist%") << k;
      EXPECT_EQ(field_text(w), typed) << k;
      EXPECT_EQ(IsDlgButtonChecked(w, IDC_SEND_ENABLED), static_cast<UINT>(BST_CHECKED)) << k;
      EXPECT_EQ(instance->state_flags(), 9u) << k;
    }
  };
  refuse_each(&preferences_page_instance::apply_changes, L"typed \u00E9");
  // Longer than the stored pattern's block: the new text needs a block of its own.
  const std::wstring longer = L"%title% \u266A " + std::wstring(300, L'\u00E9');
  refuse_each(&preferences_page_instance::apply_changes, longer);
  EXPECT_EQ(cfg_enabled.value, 1u);
  EXPECT_EQ(cfg_title_pattern.text_length(), 12u + 600u) << "three bytes for the note, two for each accented e";
  EXPECT_EQ(instance->state_flags(), 8u);
  refuse_each(&preferences_page_instance::reset_to_defaults, L"typed \u00E9");
  EXPECT_EQ(std::string(cfg_title_pattern.text_ptr()), "%title% - %album%");
  EXPECT_EQ(field_text(w), L"%title% - %album%");
  EXPECT_EQ(instance->state_flags(), 8u);
}

TEST_F(DialogWindow, AfterTheWindowIsGoneThePageIsInert) {
  cfg_enabled.value = 0;
  cfg_title_pattern.assign_text("%artist%", pfc::infinite_length);
  instance_owner instance = open();
  DestroyWindow(window(instance));
  EXPECT_EQ(instance->window_handle(), nullptr);
  instance->apply_changes();
  instance->reset_to_defaults();
  EXPECT_EQ(cfg_enabled.value, 0u);
  EXPECT_EQ(std::string(cfg_title_pattern.text_ptr()), "%artist%");
  EXPECT_EQ(instance->state_flags(), 8u);
}

TEST_F(DialogWindow, ReleasingWithTheWindowStillThereDestroysIt) {
  listener.add_ref();
  preferences_page_instance* instance = page.make_instance(parent.get(), &listener);
  HWND w = static_cast<HWND>(instance->window_handle());
  ASSERT_TRUE(IsWindow(w));
  instance->release();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(listener.count, 1);
}

TEST(PageIdentity, NameAndIdentifiers) {
  service_impl_single_t<preferences_page_myimpl> page;
  EXPECT_STREQ(page.display_name(), "Chirpline");
  const guid id = page.page_guid(), parent = page.parent_guid();
  EXPECT_EQ(id, (guid{0x439C0C97, 0x84BE, 0x4E39, {0x96, 0x85, 0x55, 0xB4, 0xCC, 0x69, 0x47, 0x8B}}));
  EXPECT_EQ(parent, (guid{0x6AAA67B6, 0x732F, 0x4967, {0x89, 0x9A, 0x18, 0xC5, 0xF8, 0xC7, 0x00, 0x17}}));
  EXPECT_EQ(page.release(), 1);
  EXPECT_EQ(page.add_ref(), 1);
}
