// exception_win32 on the real platform, with the host's shared.dll wording the
// messages and tracking the call stack.
#include "host/shared_api.h"
#include "support/exception_win32.h"
#include "support/pfc/string8.h"
#include "test_programs_win32.h"
#include "wine_refusal_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

TEST(SharedLibrary, FormatterWritesTheSystemTextWithoutLineBreak) {
  pfc::string8 out;
  out.append_text("kept:", pfc::infinite_length);
  ASSERT_NE(uFormatSystemErrorMessage(out, ERROR_INVALID_WINDOW_HANDLE), 0);
  const std::string text = out.text_ptr();
  EXPECT_EQ(text, "kept:" + platform_error_text(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_GT(text.size(), 6u);
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
}

TEST(SharedLibrary, FormatterAnswersZeroForAnUnknownCode) {
  pfc::string8 out;
  EXPECT_EQ(uFormatSystemErrorMessage(out, 0x2BADBEEF), 0);
  EXPECT_EQ(out.text_length(), 0u);
}

TEST(SharedLibrary, TrackerKeepsAPerThreadStack) {
  const std::uint32_t base = uCallStackDepth();
  {
    uCallStackTracker outer("outer");
    {
      uCallStackTracker inner("inner");
      EXPECT_EQ(uCallStackDepth(), base + 2);
      EXPECT_STREQ(uCallStackEntry(base), "outer");
      EXPECT_STREQ(uCallStackEntry(base + 1), "inner");
      EXPECT_EQ(uCallStackEntry(base + 2), nullptr);
    }
    EXPECT_EQ(uCallStackDepth(), base + 1);
  }
  EXPECT_EQ(uCallStackDepth(), base);
  EXPECT_STREQ(uCallStackLastEntered(), "inner");
}

TEST(SystemExceptionWin32, MessageIsTheSystemTextAndLastErrorIsKept) {
  SetLastError(ERROR_ACCESS_DENIED);
  exception_win32 e(ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(std::string(e.what()), platform_error_text(ERROR_INVALID_WINDOW_HANDLE));
  exception_win32 unknown(0x2BADBEEF);
  EXPECT_STREQ(unknown.what(), "Unknown error code (732806895)");
}

TEST(SystemExceptionWin32, RaiseLastErrorGoesThroughTheTracker) {
  const std::uint32_t base = uCallStackDepth();
  SetLastError(1400);
  try {
    raise_last_win32_error();
    FAIL() << "nothing was thrown";
  } catch (const exception_win32& e) {
    EXPECT_EQ(e.code, 1400u);
    EXPECT_EQ(std::string(e.what()), platform_error_text(1400));
  }
  EXPECT_STREQ(uCallStackLastEntered(), "Win32 error #1400");
  EXPECT_EQ(uCallStackDepth(), base);
}

// Only a refusal that may pass is tried again, five times at most, and the
// caller is left the refusal's own error code.
TEST(WineRefusal, RetriesOnlyAPassingRefusalAndAtMostFiveTimes) {
  struct run {
    DWORD error;
    int failures;
    int attempts;
    bool made;
  };
  for (const run expected : {run{ERROR_INVALID_WINDOW_HANDLE, 5, 6, true},
                             run{ERROR_INVALID_WINDOW_HANDLE, 6, 6, false}, run{ERROR_ACCESS_DENIED, 3, 1, false}}) {
    int attempts = 0;
    const bool made = retry_wine_refusal(
        "retry-test", "make a window",
        [&] {
          SetLastError(expected.error);
          return ++attempts > expected.failures;
        },
        [](DWORD error) { return error == ERROR_INVALID_WINDOW_HANDLE; });
    const DWORD left = GetLastError();
    EXPECT_EQ(attempts, expected.attempts) << expected.error << " " << expected.failures;
    EXPECT_EQ(made, expected.made) << expected.error << " " << expected.failures;
    if (!made) {
      EXPECT_EQ(left, expected.error);
    }
  }
}
