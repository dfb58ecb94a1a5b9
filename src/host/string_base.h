// Text sinks exchanged with the host. Operation tables in fixed slot order:
// no virtual destructor, no overloads.
#pragma once
#include <cstdint>

namespace pfc {

// Length value meaning "up to the terminating zero".
constexpr std::uint32_t infinite_length = 0xFFFFFFFFu;

class string_receiver {
public:
  virtual void append_text(const char* text, std::uint32_t max_len) = 0;

protected:
  string_receiver() = default;
  string_receiver(const string_receiver&) = default;
  string_receiver& operator=(const string_receiver&) = default;
  ~string_receiver() = default;
};

class string_base : public string_receiver {
public:
  virtual const char* text_ptr() const = 0;
  virtual void assign_text(const char* text, std::uint32_t max_len) = 0;
  virtual void cut_to_length(std::uint32_t len) = 0;
  virtual std::uint32_t text_length() const = 0;
  virtual char* open_buffer(std::uint32_t n) = 0;
  virtual void close_buffer() = 0;

protected:
  string_base() = default;
  string_base(const string_base&) = default;
  string_base& operator=(const string_base&) = default;
  ~string_base() = default;
};

} // namespace pfc
