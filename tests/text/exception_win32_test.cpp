// exception_win32 against a scripted platform: a last-error value the test
// owns, a formatter that can answer, fail, throw or change the last error,
// and a call-stack tracker that records what it is given.
#include "allocation_probe.h"
#include "support/exception_win32.h"
#include "support/pfc/exceptions.h"
#include "support/pfc/memory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct fake_platform {
  std::uint32_t last_error = 0;
  int format_calls = 0;
  enum class formatter { fails, answers, throws } mode = formatter::fails;
  std::uint32_t formatter_sets_last_error = 0;
  std::vector<std::string> stack;
  std::vector<std::string> entered;
};
fake_platform* g_fake = nullptr;

std::uint32_t fake_get() noexcept { return g_fake->last_error; }
void fake_set(std::uint32_t code) noexcept { g_fake->last_error = code; }
bool fake_format(pfc::string_base& out, std::uint32_t code) {
  ++g_fake->format_calls;
  if (g_fake->formatter_sets_last_error != 0) g_fake->last_error = g_fake->formatter_sets_last_error;
  switch (g_fake->mode) {
  case fake_platform::formatter::answers:
    out.append_text("System says ", pfc::infinite_length);
    out.append_text(std::to_string(code).c_str(), pfc::infinite_length);
    return true;
  case fake_platform::formatter::throws:
    throw pfc::bad_allocation();
  case fake_platform::formatter::fails:
    break;
  }
  return false;
}
void fake_enter(void* slot, const char* text) noexcept {
  *static_cast<std::uint32_t*>(slot) = static_cast<std::uint32_t>(g_fake->stack.size());
  g_fake->stack.emplace_back(text);
  g_fake->entered.emplace_back(text);
}
void fake_leave(void* slot) noexcept { g_fake->stack.resize(*static_cast<std::uint32_t*>(slot)); }

const win32_error_system fake_system = {fake_get, fake_set, fake_format, fake_enter, fake_leave};

class ExceptionWin32 : public testing::Test {
protected:
  ExceptionWin32() { g_fake = &fake; }
  ~ExceptionWin32() override { g_fake = nullptr; }
  fake_platform fake;
  scoped_win32_error_system scope{fake_system};
};

} // namespace

TEST_F(ExceptionWin32, CodeZeroIsUndefinedWithoutAskingTheFormatter) {
  exception_win32 e(0);
  EXPECT_STREQ(e.what(), "Undefined error");
  EXPECT_EQ(e.code, 0u);
  EXPECT_EQ(fake.format_calls, 0);
}

TEST_F(ExceptionWin32, FailingFormatterGivesUnknownErrorCode) {
  exception_win32 e(1234);
  EXPECT_STREQ(e.what(), "Unknown error code (1234)");
  exception_win32 top(0xFFFFFFFFu);
  EXPECT_STREQ(top.what(), "Unknown error code (4294967295)") << "never a negative number";
  EXPECT_EQ(top.code, 0xFFFFFFFFu);
}

TEST_F(ExceptionWin32, FormatterTextIsTheMessage) {
  fake.mode = fake_platform::formatter::answers;
  exception_win32 e(5);
  EXPECT_STREQ(e.what(), "System says 5");
  EXPECT_EQ(fake.format_calls, 1);
}

TEST_F(ExceptionWin32, LastErrorRestoredEvenWhenTheFormatterChangesIt) {
  fake.last_error = 87;
  fake.formatter_sets_last_error = 317;
  exception_win32 failed(1234);
  EXPECT_EQ(fake.last_error, 87u);
  fake.mode = fake_platform::formatter::answers;
  exception_win32 answered(6);
  EXPECT_EQ(fake.last_error, 87u);
  EXPECT_STREQ(answered.what(), "System says 6");
}

TEST_F(ExceptionWin32, LastErrorRestoredWhenTheFormatterThrows) {
  fake.last_error = 42;
  fake.formatter_sets_last_error = 8;
  fake.mode = fake_platform::formatter::throws;
  EXPECT_THROW(exception_win32 e(1400), std::bad_alloc);
  EXPECT_EQ(fake.last_error, 42u);
}

TEST_F(ExceptionWin32, AllocationFailureReplacesTheExceptionAndRestoresLastError) {
  fake.last_error = 7;
  fake.formatter_sets_last_error = 9;
  bool threw = false;
  try {
    const allocation_probe refuse_all(0, 0);
    exception_win32 e(1234);
  } catch (const std::bad_alloc& e) {
    threw = true;
    EXPECT_STREQ(e.what(), "bad allocation");
  }
  EXPECT_TRUE(threw);
  EXPECT_EQ(fake.last_error, 7u);
}

TEST_F(ExceptionWin32, CopiesOwnTheirText) {
  fake.mode = fake_platform::formatter::answers;
  auto original = std::make_unique<exception_win32>(31);
  exception_win32 copy(*original);
  exception_win32 assigned(0);
  assigned = *original;
  EXPECT_NE(copy.what(), original->what()) << "a copy has its own text";
  original.reset();
  EXPECT_STREQ(copy.what(), "System says 31");
  EXPECT_EQ(copy.code, 31u);
  EXPECT_STREQ(assigned.what(), "System says 31");
  EXPECT_EQ(assigned.code, 31u);
  const exception_win32& same = assigned;
  assigned = same;
  EXPECT_STREQ(assigned.what(), "System says 31");
}

TEST_F(ExceptionWin32, RaiseLastErrorTracksWhereItCameFrom) {
  fake.last_error = 1400;
  fake.formatter_sets_last_error = 2;
  try {
    raise_last_win32_error();
    FAIL() << "returned";
  } catch (const exception_win32& e) {
    EXPECT_EQ(e.code, 1400u);
    EXPECT_STREQ(e.what(), "Unknown error code (1400)");
  }
  ASSERT_EQ(fake.entered.size(), 1u);
  EXPECT_EQ(fake.entered[0], "Win32 error #1400");
  EXPECT_TRUE(fake.stack.empty()) << "the tracker leaves with the exception";
  EXPECT_EQ(fake.last_error, 1400u);
}

TEST_F(ExceptionWin32, RaiseLastErrorLongestCodeFits) {
  fake.last_error = 0xFFFFFFFFu;
  EXPECT_THROW(raise_last_win32_error(), exception_win32);
  ASSERT_EQ(fake.entered.size(), 1u);
  EXPECT_EQ(fake.entered[0], "Win32 error #4294967295");
}

TEST(ExceptionWin32Default, BuildsAMessageOnThisPlatform) {
  // Code 0 never reaches the platform's formatter; any other code gets a text
  // of its own (the system's wording, or the numbered fallback where there is
  // none), and the exception is catchable as a std::exception.
  try {
    throw exception_win32(0);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Undefined error");
  }
  const exception_win32 access(5);
  EXPECT_EQ(access.code, 5u);
  EXPECT_STRNE(access.what(), "");
  EXPECT_STRNE(access.what(), "Undefined error");
}
