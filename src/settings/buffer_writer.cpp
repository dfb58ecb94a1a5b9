#include "settings/buffer_writer.h"
#include "support/pfc/exceptions.h"

#include <cstring>

void buffer_writer::write_bytes(const void* data, std::uint32_t count, abort_handle& abort) {
  if (abort.abort_requested()) throw corvane_io::exception_aborted();
  const std::uint32_t size = target->size();
  if (count > 0xFFFFFFFFu - size) pfc::throw_bad_alloc();
  target->set_size(size + count);
  if (count != 0) std::memcpy(target->data() + size, data, count);
}
