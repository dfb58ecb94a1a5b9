// The mIRC stand-in answers raw messages as mIRC would, and refuses loudly,
// on its output and in its trace, what mIRC would not run.
#include "test_programs_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

class written_block {
public:
  written_block(const wchar_t* name, const void* bytes, std::size_t size) {
    section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name);
    void* view = section_ ? MapViewOfFile(section_, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
    if (view) {
      std::memcpy(view, bytes, size);
      UnmapViewOfFile(view);
    }
  }
  ~written_block() {
    if (section_) CloseHandle(section_);
  }
  written_block(const written_block&) = delete;
  written_block& operator=(const written_block&) = delete;

private:
  HANDLE section_ = nullptr;
};

// The stand-in under its own class name, so no other mIRC window is in the way.
class StandinMessages : public ::testing::Test {
protected:
  StandinMessages()
      : trace_path(temporary_path(L"mirc-trace")), mirc(L"--class mIRCraw --trace \"" + trace_path + L"\"") {
    HWND frame = FindWindowW(L"mIRCraw", nullptr);
    child = frame ? GetWindow(FindWindowExW(frame, nullptr, L"MDIClient", nullptr), GW_CHILD) : nullptr;
  }
  ~StandinMessages() override { DeleteFileW(trace_path.c_str()); }

  DWORD_PTR send(UINT message, WPARAM method, LPARAM index) {
    DWORD_PTR answer = 99;
    EXPECT_TRUE(SendMessageTimeoutW(child, message, method, index, SMTO_BLOCK, 10000, &answer));
    return answer;
  }
  std::vector<std::string> traced() const { return read_lines(trace_path); }

  std::wstring trace_path;
  mirc_standin mirc;
  HWND child = nullptr;
};

TEST_F(StandinMessages, ReadsTheBlockTheIndexNamesInEitherEncoding) {
  ASSERT_NE(child, nullptr);
  {
    written_block block(L"mIRC2147483647", "/me from the last", 18);
    EXPECT_EQ(send(1224, 5, 2147483647), 1u);
  }
  {
    const wchar_t text[] = L"/me J\x00F3ga \x591C";
    written_block block(L"mIRC", text, sizeof text);
    EXPECT_EQ(send(1224, 9, 0), 1u);
  }
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me from the last", "/me J\xC3\xB3ga \xE5\xA4\x9C"}));
  EXPECT_EQ(traced(), (std::vector<std::string>{"1224 method=5 block=2147483647 ran", "1224 method=9 block=0 ran"}));
}

TEST_F(StandinMessages, RefusesWhatMircWouldNotRunAndRunsNothing) {
  ASSERT_NE(child, nullptr);
  written_block block(L"mIRC", "/me never", 10);
  EXPECT_EQ(send(1224, 21, 0), 0u); // 16 is no method bit
  EXPECT_EQ(send(1224, 4, 0), 0u);  // flood protection alone says nothing of how to run it
  EXPECT_EQ(send(1224, 5, -1), 0u);
  EXPECT_EQ(send(1224, 5, 70), 0u); // no block mIRC70
  EXPECT_EQ(send(1225, 5, 0), 0u);
  EXPECT_EQ(send(WM_USER, 5, 0), 0u);
  EXPECT_EQ(send(0x7FFF, 5, 0), 0u);
  EXPECT_EQ(send(0x8000, 5, 0), 0u) << "outside mIRC's range: not a command, left to the system";
  const auto out = mirc.received();
  ASSERT_EQ(out.size(), 7u);
  for (const auto& line : out)
    EXPECT_EQ(line.rfind("mirc-standin: refused ", 0), 0u) << line;
  EXPECT_NE(out[0].find("16"), std::string::npos) << out[0];
  EXPECT_NE(out[2].find("outside 0..2147483647"), std::string::npos) << out[2];
  EXPECT_NE(out[3].find("no shared block mIRC70 "), std::string::npos) << out[3];
  EXPECT_NE(out[4].find("1225"), std::string::npos) << out[4];
  EXPECT_NE(out[5].find("1024"), std::string::npos) << out[5];
  const auto trace = traced();
  ASSERT_EQ(trace.size(), 4u) << "only message 1224 is traced";
  const char* const starts[] = {"1224 method=21 block=0 refused: ", "1224 method=4 block=0 refused: ",
                                "1224 method=5 block=-1 refused: ", "1224 method=5 block=70 refused: "};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(trace[i].rfind(starts[i], 0), 0u) << trace[i];
    // The trace gives the same reason the output does.
    EXPECT_EQ(trace[i].substr(std::strlen(starts[i])), out[i].substr(22)) << trace[i];
  }
  // Still a working mIRC after all that.
  EXPECT_EQ(send(1224, 5, 0), 1u);
  EXPECT_EQ(mirc.received().back(), "/me never");
}

TEST(StandinCommandLine, BadOptionsAreNamedAndRefused) {
  const auto unknown = run_program(L"mirc-standin.exe", L"--colour blue");
  EXPECT_EQ(unknown.exit_code, 2u);
  EXPECT_NE(unknown.err.find("unknown option --colour"), std::string::npos) << unknown.err;
  for (const wchar_t* count : {L"-1", L"+3", L"3x", L"", L"99999999999999999999"}) {
    const auto bad = run_program(L"mirc-standin.exe", std::wstring(L"--count \"") + count + L"\"");
    EXPECT_EQ(bad.exit_code, 2u) << bad.err;
    EXPECT_NE(bad.err.find("bad value for --count"), std::string::npos) << bad.err;
  }
  for (const wchar_t* weights : {L"1,1,1", L"1,1,1,1,1,1", L"0,0,0,0,0", L"1,,1,1", L"1,1,1,1,"}) {
    const auto bad = run_program(L"mirc-standin.exe", std::wstring(L"--chaos 1 --chaos-weights ") + weights);
    EXPECT_EQ(bad.exit_code, 2u) << bad.err;
    EXPECT_NE(bad.err.find("bad value for --chaos-weights"), std::string::npos) << bad.err;
  }
  const auto weights_alone = run_program(L"mirc-standin.exe", L"--chaos-weights 1,1,1,1");
  EXPECT_EQ(weights_alone.exit_code, 2u);
  EXPECT_NE(weights_alone.err.find("--chaos-weights needs --chaos SEED"), std::string::npos) << weights_alone.err;
  const auto help = run_program(L"mirc-standin.exe", L"--help");
  EXPECT_EQ(help.exit_code, 0u);
  EXPECT_NE(help.out.find("--trace FILE"), std::string::npos);
}

std::size_t line_count(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// mirc-send never hands mIRC an option of its own as the command: what looks
// like an option is one (or a usage error naming it) unless it follows --.
TEST(SenderCommandLine, OptionsAreNeverSentAndBadOnesAreNamed) {
  mirc_standin mirc(L"--class mIRCcli");
  const struct {
    const wchar_t* arguments;
    const char* says;
  } refused[] = {
      {L"--block", "no value for --block"},
      {L"--block --help", "no value for --block"},
      {L"--method", "no value for --method"},
      {L"--method 2 --colour blue hi", "unknown option --colour"},
      {L"hi --textish", "unknown option --textish"},
      {L"--method x hi", "bad value for --method: x (1 to 15)"},
      {L"--method 0 hi", "bad value for --method: 0 (1 to 15)"},
      {L"--method 16 hi", "bad value for --method: 16 (1 to 15)"},
      {L"--method 2x hi", "bad value for --method: 2x (1 to 15)"},
      {L"--block 10 hi", "bad value for --block: 10 (0 to 9)"},
      {L"--block -1 hi", "bad value for --block: -1 (0 to 9)"},
      {L"--class \"\" hi", "bad value for --class: an empty name"},
      {L"", "no TEXT to send"},
      {L"--", "no TEXT to send"},
      {L"one two", "more than one TEXT: two"},
      {L"-- one two", "more than one TEXT: two"},
  };
  for (const auto& r : refused) {
    const auto run = run_program(L"mirc-send.exe", std::wstring(L"--class mIRCcli ") + r.arguments);
    EXPECT_EQ(run.exit_code, 2u) << r.says;
    EXPECT_EQ(run.err.rfind(std::string("mirc-send: ") + r.says, 0), 0u) << run.err;
    EXPECT_EQ(line_count(run.err), 1u) << run.err;
  }
  const auto too_long = run_program(L"mirc-send.exe", L"--class mIRCcli " + std::wstring(4096, L'a'));
  EXPECT_EQ(too_long.exit_code, 2u);
  EXPECT_NE(too_long.err.find("4096 bytes as UTF-8"), std::string::npos) << too_long.err;

  for (const wchar_t* help : {L"--help", L"--method 2 --help", L"--block 3 -h"}) {
    const auto run = run_program(L"mirc-send.exe", std::wstring(L"--class mIRCcli ") + help);
    EXPECT_EQ(run.exit_code, 0u) << run.err;
    EXPECT_EQ(run.out.rfind("usage: mirc-send", 0), 0u) << run.out;
  }
  EXPECT_TRUE(mirc.received().empty()) << mirc.received().front();

  // After --, text that looks like an option is the command; the longest
  // that fits the block goes whole.
  EXPECT_EQ(run_program(L"mirc-send.exe", L"--class mIRCcli --method 2 -- --block").exit_code, 0u);
  EXPECT_EQ(run_program(L"mirc-send.exe", L"--class mIRCcli -- --").exit_code, 0u);
  EXPECT_EQ(run_program(L"mirc-send.exe", L"--class mIRCcli " + std::wstring(4095, L'a')).exit_code, 0u);
  EXPECT_EQ(run_program(L"mirc-send.exe", L"--class mIRCcli --method 9 " + std::wstring(2047, L'\u00E9')).exit_code,
            0u);
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"--block", "--", std::string(4095, 'a'), [] {
                                                         std::string e;
                                                         for (int i = 0; i < 2047; ++i)
                                                           e += "\xC3\xA9";
                                                         return e;
                                                       }()}));
}

// Exit status 1 says what happened, in one line.
TEST(SenderCommandLine, EachFailureToDeliverIsOneLine) {
  const auto nobody = run_program(L"mirc-send.exe", L"--class mIRCnobody hi");
  EXPECT_EQ(nobody.exit_code, 1u);
  EXPECT_EQ(nobody.err.rfind("mirc-send: no mIRCnobody window", 0), 0u) << nobody.err;
  EXPECT_EQ(line_count(nobody.err), 1u) << nobody.err;

  mirc_standin refusing(L"--class mIRCrefuse");
  const auto refused = run_program(L"mirc-send.exe", L"--class mIRCrefuse --method 4 hi"); // flood bit alone
  EXPECT_EQ(refused.exit_code, 1u);
  EXPECT_EQ(refused.err.rfind("mirc-send: mIRCrefuse answered 0", 0), 0u) << refused.err;
  EXPECT_EQ(line_count(refused.err), 1u) << refused.err;

  mirc_standin hung(L"--class mIRChung --hang-ms 8000");
  const auto late = run_program(L"mirc-send.exe", L"--class mIRChung hi");
  EXPECT_EQ(late.exit_code, 1u);
  EXPECT_EQ(late.err.rfind("mirc-send: mIRChung did not answer within 5 s", 0), 0u) << late.err;
  EXPECT_EQ(line_count(late.err), 1u) << late.err;
}

} // namespace
