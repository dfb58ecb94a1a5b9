#include "settings/bounded_reader.h"
#include "support/pfc/exceptions.h"

std::uint32_t bounded_reader::read_some(void* buffer, std::uint32_t count, abort_handle& abort) {
  if (count > remaining) count = static_cast<std::uint32_t>(remaining);
  const std::uint32_t got = source.read_some(buffer, count, abort);
  remaining -= got;
  return got;
}

void bounded_reader::read_exact(void* buffer, std::uint32_t count, abort_handle& abort) {
  if (read_some(buffer, count, abort) != count) throw corvane_io::exception_io_data_truncation();
}

std::uint64_t bounded_reader::skip_some(std::uint64_t count, abort_handle& abort) {
  if (count > remaining) count = remaining;
  const std::uint64_t skipped = source.skip_some(count, abort);
  remaining -= skipped;
  return skipped;
}

void bounded_reader::skip_exact(std::uint64_t count, abort_handle& abort) {
  if (skip_some(count, abort) != count) throw corvane_io::exception_io_data_truncation();
}
