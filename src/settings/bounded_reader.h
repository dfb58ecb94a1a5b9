// A settings_reader limited to one record's payload: never lets its caller
// read or skip past the record, and counts what is left of it.
#pragma once
#include "host/settings_stream.h"

class bounded_reader final : public settings_reader {
public:
  bounded_reader(settings_reader& source_reader, std::uint64_t limit) noexcept
      : source(source_reader), remaining(limit) {}

  std::uint32_t read_some(void* buffer, std::uint32_t count, abort_handle& abort) override;
  // Throws corvane_io::exception_io_data_truncation when the record or the data ends first.
  void read_exact(void* buffer, std::uint32_t count, abort_handle& abort) override;
  std::uint64_t skip_some(std::uint64_t count, abort_handle& abort) override;
  void skip_exact(std::uint64_t count, abort_handle& abort) override;

  settings_reader& source;
  std::uint64_t remaining;
};
