// The settings_writer that gathers one variable's payload in memory, so a
// variable that fails half-way leaves no partial record in the host's stream.
#pragma once
#include "host/settings_stream.h"
#include "support/pfc/storage.h"

using payload_buffer = pfc::storage_t<std::uint8_t, pfc::alloc_doubling>;

class buffer_writer final : public settings_writer {
public:
  explicit buffer_writer(payload_buffer& buffer) noexcept : target(&buffer) {}
  // Throws corvane_io::exception_aborted when the host asks to stop, and
  // std::bad_alloc ("bad allocation") when the payload outgrows 32 bits.
  void write_bytes(const void* data, std::uint32_t count, abort_handle& abort) override;

  payload_buffer* target;
};
