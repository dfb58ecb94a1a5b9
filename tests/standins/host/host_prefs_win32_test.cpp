// The preferences window of the stand-in player, run as its own program with
// a real settings file: the page opens embedded in it, Apply follows the
// page's changed bit, and what Apply stores is what the player saves at exit.
#include "test_programs_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string enabled_record_head("\x67\xEB\x99\xD1\x98\xEF\xC6\x4F\x97\x0C\x2E\x6C\x38\x32\x94\x05\x01\0\0\0", 20);
const std::string pattern_id("\x5E\x21\xF3\x17\xF5\x77\x97\x4E\x8E\xD2\xED\x8E\x28\xBB\x05\x24", 16);

std::string pattern_record(const std::string& payload) {
  const auto n = static_cast<char>(payload.size());
  return pattern_id + std::string{n, 0, 0, 0} + payload;
}

class HostPreferencesWindow : public testing::Test {
protected:
  ~HostPreferencesWindow() override { DeleteFileW(settings.c_str()); }
  program_result prefs(const std::wstring& actions) {
    program_result r = run_program(L"corvane-host.exe", L"--settings \"" + settings + L"\" prefs " + actions);
    // The console writes text mode: line ends arrive as CR LF.
    for (std::size_t at; (at = r.out.find('\r')) != std::string::npos;)
      r.out.erase(at, 1);
    return r;
  }
  std::wstring settings = temporary_path(L"prefs-settings");
};

} // namespace

TEST_F(HostPreferencesWindow, ApplyFollowsTheChangedBit) {
  const program_result r = prefs(L"state click state click state set=x state set=\"%title% - %album%\" state close");
  ASSERT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(r.out, "state: 8, apply disabled, send checked, pattern \"%title% - %album%\"\n"
                   "state: 9, apply enabled, send unchecked, pattern \"%title% - %album%\"\n"
                   "state: 8, apply disabled, send checked, pattern \"%title% - %album%\"\n"
                   "state: 9, apply enabled, send checked, pattern \"x\"\n"
                   "state: 8, apply disabled, send checked, pattern \"%title% - %album%\"\n"
                   "page notifications: 5\n");
  // Nothing applied: the defaults are saved.
  EXPECT_EQ(read_whole_file(settings), enabled_record_head + "\x01" + pattern_record("%title% - %album%"));
}

TEST_F(HostPreferencesWindow, AppliedEmptyPatternIsSavedAndShownNextTime) {
  program_result r = prefs(L"click set= apply state close");
  ASSERT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_NE(r.out.find("state: 8, apply disabled, send unchecked, pattern \"\"\n"), std::string::npos) << r.out;
  EXPECT_EQ(read_whole_file(settings), enabled_record_head + std::string(1, '\0') + pattern_record(""));
  r = prefs(L"state close");
  ASSERT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "state: 8, apply disabled, send unchecked, pattern \"\"\n");
}

TEST_F(HostPreferencesWindow, TypedNonAsciiIsSavedAsUtf8) {
  program_result r = prefs(L"set= type=\u00E9 apply close");
  ASSERT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(read_whole_file(settings), enabled_record_head + "\x01" + pattern_record("\xC3\xA9"));
  r = prefs(L"state reset state close");
  ASSERT_EQ(r.exit_code, 0u) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("page notifications")),
            "state: 8, apply disabled, send checked, pattern \"\xC3\xA9\"\n"
            "state: 8, apply disabled, send checked, pattern \"%title% - %album%\"\n");
  EXPECT_EQ(read_whole_file(settings), enabled_record_head + "\x01" + pattern_record("%title% - %album%"))
      << "reset stores the defaults without an apply";
}

TEST_F(HostPreferencesWindow, UnknownActionIsAnError) {
  const program_result r = prefs(L"frobnicate");
  EXPECT_EQ(r.exit_code, 2u);
  EXPECT_NE(r.err.find("unknown prefs action 'frobnicate'"), std::string::npos) << r.err;
}
