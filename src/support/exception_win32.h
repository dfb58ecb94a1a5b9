// The exception raised when a platform call fails: the Win32 error code and
// the system's wording for it, built once at construction.
#pragma once
#include <cstdint>
#include <exception>

class exception_win32 : public std::exception {
public:
  // Leaves the thread's last-error value as it found it. Building the message
  // is the only allocation: it may throw std::bad_alloc, nothing after it can.
  explicit exception_win32(std::uint32_t error_code);
  // Copies share the one immutable message: a host that catches by value
  // while memory is short gets its copy, not std::terminate.
  exception_win32(const exception_win32& other) noexcept;
  exception_win32& operator=(const exception_win32& other) noexcept;
  ~exception_win32() override;
  const char* what() const noexcept override;

  std::uint32_t code;

private:
  struct shared_message;
  shared_message* message_;
};

// Raises exception_win32 for the thread's last-error value, with "Win32 error
// #<code>" on the host's call-stack tracker while it leaves.
[[noreturn]] void raise_last_win32_error();
