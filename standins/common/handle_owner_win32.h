// The stand-ins' owners of Windows handles: one move-only template given the
// handle's type, the function that lets it go and the value meaning "none",
// so each handle is let go on every way out, exceptions included.
#pragma once
#include <utility>

#include <windows.h>

template <typename Handle, auto close> class handle_owner {
public:
  handle_owner() noexcept = default;
  explicit handle_owner(Handle handle) noexcept : handle_(handle) {}
  handle_owner(handle_owner&& other) noexcept : handle_(other.release()) {}
  handle_owner& operator=(handle_owner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  handle_owner(const handle_owner&) = delete;
  handle_owner& operator=(const handle_owner&) = delete;
  ~handle_owner() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }
  Handle release() noexcept { return std::exchange(handle_, nullptr); }
  void reset(Handle handle = nullptr) noexcept {
    if (const Handle old = std::exchange(handle_, handle)) close(old);
  }

private:
  Handle handle_ = nullptr;
};

// A kernel object: a section or an event.
using owned_handle = handle_owner<HANDLE, &CloseHandle>;
// A search of a folder: FindFirstFileW's "none" is INVALID_HANDLE_VALUE, so
// give the owner nullptr instead.
using owned_search = handle_owner<HANDLE, &FindClose>;
// A mapped view of a section.
using owned_view = handle_owner<void*, &UnmapViewOfFile>;
// A loaded library.
using owned_module = handle_owner<HMODULE, &FreeLibrary>;
// A window the stand-in created. A window may end by its own doing (its
// procedure destroys it on close), so only a live one is destroyed.
inline BOOL WINAPI destroy_live_window(HWND window) { return IsWindow(window) ? DestroyWindow(window) : FALSE; }
using owned_window = handle_owner<HWND, &destroy_live_window>;
