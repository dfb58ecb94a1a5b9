// The host's shared support library (shared.dll): system error wording and a
// per-thread call stack of texts for crash reports. The component imports
// what host/shared.def lists; the stand-in's build exports all of it.
#pragma once
#include "host/string_base.h"

#include <cstdint>

#ifdef CORVANE_SHARED_BUILD
#define CORVANE_SHARED_API __declspec(dllexport)
#else
#define CORVANE_SHARED_API __declspec(dllimport)
#endif

// Appends the system's message for code (UTF-8, no trailing line break) to
// out and returns nonzero; returns zero when there is none, and a caller
// relies on nothing it may have written then (the stand-in writes nothing).
extern "C" CORVANE_SHARED_API int uFormatSystemErrorMessage(pfc::string_base& out, std::uint32_t code);

// Pushes text on the calling thread's call stack for the object's lifetime.
// The text must outlive the object.
class CORVANE_SHARED_API uCallStackTracker {
public:
  explicit uCallStackTracker(const char* text);
  ~uCallStackTracker();
  uCallStackTracker(const uCallStackTracker&) = delete;
  uCallStackTracker& operator=(const uCallStackTracker&) = delete;

private:
  std::uint32_t depth_;
};

// Reading the calling thread's call stack (crash reports, tests).
extern "C" CORVANE_SHARED_API std::uint32_t uCallStackDepth();
// Entry index counted from the bottom; null past the top.
extern "C" CORVANE_SHARED_API const char* uCallStackEntry(std::uint32_t index);
// A copy of the most recently pushed text, kept after its tracker has gone
// (cut at 255 bytes); empty before the first push.
extern "C" CORVANE_SHARED_API const char* uCallStackLastEntered();
