// The exception raised when a platform call fails: the Win32 error code and
// the system's wording for it, built once at construction.
#pragma once
#include "support/pfc/string_base.h"

#include <cstdint>
#include <exception>

class exception_win32 : public std::exception {
public:
  // Leaves the thread's last-error value as it found it.
  explicit exception_win32(std::uint32_t error_code);
  exception_win32(const exception_win32& other);
  exception_win32& operator=(const exception_win32& other);
  ~exception_win32() override;
  const char* what() const noexcept override { return message_; }

  std::uint32_t code;

private:
  char* message_;
};

// Raises exception_win32 for the thread's last-error value, with "Win32 error
// #<code>" on the host's call-stack tracker while it leaves.
[[noreturn]] void raise_last_win32_error();

// What exception_win32 needs of the platform and the host's support library.
// The default is the real one on Windows; tests put their own in place.
struct win32_error_system {
  std::uint32_t (*get_last_error)() noexcept;
  void (*set_last_error)(std::uint32_t code) noexcept;
  // Writes the system's message for code into out and returns true, or false
  // when there is none.
  bool (*format_message)(pfc::string_base& out, std::uint32_t code);
  // Construct and destroy the host's call-stack tracker in a 4-byte slot.
  void (*enter_call_stack)(void* slot, const char* text) noexcept;
  void (*leave_call_stack)(void* slot) noexcept;
};

const win32_error_system& default_win32_error_system() noexcept;
const win32_error_system& active_win32_error_system() noexcept;

// Puts a system in place for the life of the object (single-threaded tests).
class scoped_win32_error_system {
public:
  explicit scoped_win32_error_system(const win32_error_system& replacement) noexcept;
  ~scoped_win32_error_system();
  scoped_win32_error_system(const scoped_win32_error_system&) = delete;
  scoped_win32_error_system& operator=(const scoped_win32_error_system&) = delete;

private:
  const win32_error_system* previous_;
};
