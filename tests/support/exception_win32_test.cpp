// exception_win32 against a scripted platform: a last-error value the test
// owns, a formatter that can answer, fail, throw or change the last error,
// and a call-stack tracker that records what it is given. This program links
// the platform below in place of the component's.
#include "allocation_probe.h"
#include "support/exception_win32.h"
#include "support/pfc/exceptions.h"
#include "support/win32_error_platform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

struct fake_platform {
  std::uint32_t last_error = 0;
  int format_calls = 0;
  enum class formatter { fails, fails_after_writing, answers, throws } mode = formatter::fails;
  std::uint32_t formatter_sets_last_error = 0;
  std::vector<std::string> stack;
  std::vector<std::string> entered;
};
fake_platform* g_fake = nullptr;

} // namespace

namespace win32_error_platform {

std::uint32_t last_error() noexcept { return g_fake->last_error; }
void set_last_error(std::uint32_t code) noexcept { g_fake->last_error = code; }
bool format_message(pfc::string_base& out, std::uint32_t code) {
  ++g_fake->format_calls;
  if (g_fake->formatter_sets_last_error != 0) g_fake->last_error = g_fake->formatter_sets_last_error;
  switch (g_fake->mode) {
  case fake_platform::formatter::answers:
    out.append_text("System says ", pfc::infinite_length);
    out.append_text(std::to_string(code).c_str(), pfc::infinite_length);
    return true;
  case fake_platform::formatter::throws:
    throw pfc::bad_allocation();
  case fake_platform::formatter::fails_after_writing:
    out.append_text("half a sentence: ", pfc::infinite_length);
    return false;
  case fake_platform::formatter::fails:
    break;
  }
  return false;
}
void enter_call_stack(void* slot, const char* text) noexcept {
  *static_cast<std::uint32_t*>(slot) = static_cast<std::uint32_t>(g_fake->stack.size());
  g_fake->stack.emplace_back(text);
  g_fake->entered.emplace_back(text);
}
void leave_call_stack(void* slot) noexcept { g_fake->stack.resize(*static_cast<std::uint32_t*>(slot)); }

} // namespace win32_error_platform

namespace {

class ExceptionWin32 : public testing::Test {
protected:
  ExceptionWin32() { g_fake = &fake; }
  ~ExceptionWin32() override { g_fake = nullptr; }
  fake_platform fake;
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
  // The fallback follows whatever a failing formatter left in the text.
  fake.mode = fake_platform::formatter::fails_after_writing;
  exception_win32 after_words(87);
  EXPECT_STREQ(after_words.what(), "half a sentence: Unknown error code (87)");
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

static_assert(std::is_nothrow_copy_constructible_v<exception_win32>, "catching by value must not terminate");
static_assert(std::is_nothrow_copy_assignable_v<exception_win32>, "assigning must not throw either");

TEST_F(ExceptionWin32, CopiesShareTheMessageAndOutliveTheOriginal) {
  fake.mode = fake_platform::formatter::answers;
  auto original = std::make_unique<exception_win32>(31);
  exception_win32 copy(*original);
  exception_win32 assigned(0);
  const char* undefined = assigned.what();
  assigned = *original;
  EXPECT_EQ(copy.what(), original->what()) << "one message for every copy";
  EXPECT_NE(assigned.what(), undefined);
  original.reset();
  EXPECT_STREQ(copy.what(), "System says 31");
  EXPECT_EQ(copy.code, 31u);
  EXPECT_STREQ(assigned.what(), "System says 31");
  EXPECT_EQ(assigned.code, 31u);
  const exception_win32& same = assigned;
  assigned = same;
  EXPECT_STREQ(assigned.what(), "System says 31");
  assigned = exception_win32(0);
  EXPECT_STREQ(assigned.what(), "Undefined error");
  EXPECT_STREQ(copy.what(), "System says 31") << "the other holder keeps the text";
}

// The message held by one exception alone is the case that shows: assigning
// over it gives it back, assigning it to itself must not.
TEST_F(ExceptionWin32, AssignmentGivesTheOldMessageBackOnceAndSelfAssignmentNone) {
  fake.mode = fake_platform::formatter::answers;
  const long before = pfc::outstanding_blocks();
  {
    exception_win32 only(5);
    exception_win32& same = only;
    only = same;
    only = std::move(same);
    EXPECT_STREQ(only.what(), "System says 5");
    EXPECT_EQ(pfc::outstanding_blocks(), before + 1) << "assigning to itself freed or took a message";
    exception_win32 other(6);
    only = other;
    EXPECT_EQ(pfc::outstanding_blocks(), before + 1) << "the replaced message is still out";
    // A move is a copy: what() has a message on every exception, moved-from or not.
    const exception_win32 moved(std::move(other));
    EXPECT_STREQ(other.what(), "System says 6");
    EXPECT_EQ(moved.what(), only.what());
  }
  EXPECT_EQ(pfc::outstanding_blocks(), before);
}

TEST_F(ExceptionWin32, CopiesAndCatchesByValueWhileEveryAllocationIsRefused) {
  fake.mode = fake_platform::formatter::answers;
  const exception_win32 original(1400);
  exception_win32 assigned(0);
  const allocation_probe refuse_all(0, 0);
  exception_win32 copy(original);
  assigned = original;
  try {
    throw copy;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcatch-value"
  } catch (exception_win32 caught) { // by value, as some hosts catch
#pragma GCC diagnostic pop
    EXPECT_STREQ(caught.what(), "System says 1400");
    EXPECT_EQ(caught.code, 1400u);
  }
  EXPECT_STREQ(copy.what(), "System says 1400");
  EXPECT_EQ(copy.code, 1400u);
  EXPECT_STREQ(assigned.what(), "System says 1400");
  EXPECT_EQ(assigned.code, 1400u);
  EXPECT_EQ(refuse_all.requests(), 0u) << "copying asked for memory";
  EXPECT_FALSE(refuse_all.refused());
}

TEST_F(ExceptionWin32, RefusingTheMessageBlockFailsTheBuildAndRestoresLastError) {
  // The message's own block is the last request of a construction.
  fake.last_error = 5;
  unsigned requests = 0;
  {
    const allocation_probe count;
    const exception_win32 e(1234);
    requests = count.requests();
  }
  ASSERT_GE(requests, 2u);
  const allocation_probe refuse_last(requests);
  EXPECT_THROW(exception_win32 e(1234), std::bad_alloc);
  EXPECT_TRUE(refuse_last.refused());
  EXPECT_EQ(fake.last_error, 5u);
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
