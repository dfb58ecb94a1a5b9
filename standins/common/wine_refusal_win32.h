// Under load, Wine now and then refuses to start a program or to make a
// top-level window for a reason of its own (CreateProcessW failing outright,
// CreateWindowExW failing with error 1400 while the desktop is being made
// again). Such a refusal passes: the one call is made again, a bounded number
// of times with a growing pause, and every retry is said on standard error
// with its error code so a run can count them. Nothing else is repeated.
#pragma once
#include <cstdio>

#include <windows.h>

// attempt() makes the call and says whether it succeeded, leaving the error in
// GetLastError(); passing(error) says whether that refusal may be Wine's own.
// The last error is kept for the caller, who reports the final failure.
template <class Attempt, class Passing>
bool retry_wine_refusal(const char* who, const char* what, Attempt attempt, Passing passing) {
  constexpr int retries = 5;
  for (int retry = 1;; ++retry) {
    if (attempt()) return true;
    const DWORD error = GetLastError();
    if (retry > retries || !passing(error)) {
      SetLastError(error);
      return false;
    }
    const DWORD pause_ms = 100u * static_cast<DWORD>(retry);
    std::fprintf(stderr, "%s: wine-retry %d of %d: cannot %s (error %lu); again in %lu ms\n", who, retry, retries, what,
                 error, pause_ms);
    std::fflush(stderr);
    Sleep(pause_ms);
  }
}

// A top-level window (no parent), made again while Wine answers error 1400.
inline HWND create_top_level_window(const char* who, DWORD ex_style, const wchar_t* window_class, const wchar_t* title,
                                    DWORD style, int x, int y, int width, int height, HINSTANCE instance,
                                    void* parameter) {
  HWND made = nullptr;
  retry_wine_refusal(
      who, "create a top-level window",
      [&] {
        made = CreateWindowExW(ex_style, window_class, title, style, x, y, width, height, nullptr, nullptr, instance,
                               parameter);
        return made != nullptr;
      },
      [](DWORD error) { return error == ERROR_INVALID_WINDOW_HANDLE; });
  return made;
}
