// Starting a program of the build from a test: CreateProcessW, made again
// while Wine refuses it for a reason of its own (a missing or foreign program
// is the test's own fault, at once). False with GetLastError() set when the
// program did not start.
#pragma once
#include "wine_refusal_win32.h"

#include <string>

#include <windows.h>

inline bool start_test_process(const wchar_t* application, std::wstring command_line, bool inherit,
                               STARTUPINFOW& startup, PROCESS_INFORMATION& started) {
  return retry_wine_refusal(
      "test", "start a program",
      [&] {
        return CreateProcessW(application, &command_line[0], nullptr, nullptr, inherit, 0, nullptr, nullptr, &startup,
                              &started) != 0;
      },
      [](DWORD error) {
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_BAD_EXE_FORMAT;
      });
}
