// The host's settings streams and abort handle: plain interfaces, no counting.
#pragma once
#include <cstdint>

class abort_handle {
public:
  virtual bool abort_requested() = 0;

protected:
  ~abort_handle() = default;
};

class settings_reader {
public:
  // Fewer than count only at the end of the data; 0 at the end.
  virtual std::uint32_t read_some(void* buffer, std::uint32_t count, abort_handle& abort) = 0;
  // Throws when fewer than count bytes are available.
  virtual void read_exact(void* buffer, std::uint32_t count, abort_handle& abort) = 0;
  virtual std::uint64_t skip_some(std::uint64_t count, abort_handle& abort) = 0;
  virtual void skip_exact(std::uint64_t count, abort_handle& abort) = 0;

protected:
  ~settings_reader() = default;
};

class settings_writer {
public:
  // Writes all count bytes or throws.
  virtual void write_bytes(const void* data, std::uint32_t count, abort_handle& abort) = 0;

protected:
  ~settings_writer() = default;
};
