// Owners of the platform's handles, in the manner of WIL's unique_any: one
// move-only template, given the handle's type, the function that lets it go
// and the value that means "none"; each kind of handle has its own name. The
// code that uses them then reads as its algorithm, and every handle is let go
// on every way out, exceptions included.
#pragma once
#include <utility>

#include <windows.h>

template <typename Handle, auto close, auto none = nullptr> class unique_any {
public:
  unique_any() noexcept = default;
  explicit unique_any(Handle handle) noexcept : handle_(handle) {}
  unique_any(unique_any&& other) noexcept : handle_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  ~unique_any() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != empty(); }
  Handle release() noexcept { return std::exchange(handle_, empty()); }
  void reset(Handle handle = empty()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != empty()) close(old);
  }
  // For platform calls that hand a new handle out through a pointer.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

private:
  static Handle empty() noexcept { return (Handle)(none); }
  Handle handle_ = empty();
};

// A kernel object: a section, an event, a process or a thread.
using unique_handle = unique_any<HANDLE, &CloseHandle>;
// A mapped view of a section.
using unique_view = unique_any<void*, &UnmapViewOfFile>;
// A loaded library.
using unique_module = unique_any<HMODULE, &FreeLibrary>;
// A window this code created. A window can also end by its own doing (its
// procedure destroys it on close), so only a live one is destroyed.
inline BOOL WINAPI destroy_live_window(HWND window) { return IsWindow(window) ? DestroyWindow(window) : FALSE; }
using unique_window = unique_any<HWND, &destroy_live_window>;
