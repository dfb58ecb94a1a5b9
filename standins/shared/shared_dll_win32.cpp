#include "host/shared_api.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

// Fixed-size per-thread storage: the tracker sits on failure paths, where an
// allocation could fail or throw, and must do neither.
constexpr std::uint32_t max_depth = 64;
thread_local const char* t_stack[max_depth];
thread_local std::uint32_t t_depth = 0;
thread_local char t_last[256];

class local_text {
public:
  ~local_text() {
    if (text_ != nullptr) LocalFree(text_);
  }
  wchar_t** receive() { return &text_; }
  const wchar_t* get() const { return text_; }

private:
  wchar_t* text_ = nullptr;
};

} // namespace

extern "C" int uFormatSystemErrorMessage(pfc::string_base& out, std::uint32_t code) {
  local_text wide;
  const DWORD units =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(wide.receive()), 0, nullptr);
  if (units == 0 || wide.get() == nullptr) return 0;
  int length = static_cast<int>(units);
  while (length > 0 && (wide.get()[length - 1] == L'\r' || wide.get()[length - 1] == L'\n'))
    --length;
  if (length == 0) return 0;
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.get(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return 0;
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.get(), length, &text[0], bytes, nullptr, nullptr);
  out.append_text(text.c_str(), static_cast<std::uint32_t>(text.size()));
  return 1;
}

uCallStackTracker::uCallStackTracker(const char* text) : depth_(t_depth) {
  if (t_depth < max_depth) t_stack[t_depth] = text;
  ++t_depth;
  std::strncpy(t_last, text != nullptr ? text : "", sizeof t_last - 1);
  t_last[sizeof t_last - 1] = '\0';
}

uCallStackTracker::~uCallStackTracker() { t_depth = depth_; }

extern "C" std::uint32_t uCallStackDepth() { return t_depth; }

extern "C" const char* uCallStackEntry(std::uint32_t index) {
  if (index >= t_depth || index >= max_depth) return nullptr;
  return t_stack[index];
}

extern "C" const char* uCallStackLastEntered() { return t_last; }
