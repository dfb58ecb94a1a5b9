#include "settings/settings_stream_io.h"
#include "settings/bounded_reader.h"
#include "settings/buffer_writer.h"
#include "settings/cfg_var.h"
#include "settings/variable_map.h"
#include "support/pfc/exceptions.h"

#include <new>

namespace {

void put_le32(std::uint8_t* out, std::uint32_t value) noexcept {
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t get_le32(const std::uint8_t* in) noexcept {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

// The identifier as stored: fields little-endian, the last eight bytes in order.
void put_guid(std::uint8_t* out, const guid& id) noexcept {
  put_le32(out, id.data1);
  out[4] = static_cast<std::uint8_t>(id.data2);
  out[5] = static_cast<std::uint8_t>(id.data2 >> 8);
  out[6] = static_cast<std::uint8_t>(id.data3);
  out[7] = static_cast<std::uint8_t>(id.data3 >> 8);
  for (int i = 0; i < 8; ++i)
    out[8 + i] = id.data4[i];
}

guid get_guid(const std::uint8_t* in) noexcept {
  guid id;
  id.data1 = get_le32(in);
  id.data2 = static_cast<std::uint16_t>(in[4] | in[5] << 8);
  id.data3 = static_cast<std::uint16_t>(in[6] | in[7] << 8);
  for (int i = 0; i < 8; ++i)
    id.data4[i] = in[8 + i];
  return id;
}

} // namespace

void write_all_variables(settings_writer& writer, abort_handle& abort) {
  payload_buffer payload; // one buffer for every variable, freed on every path
  buffer_writer gather(payload);
  for (cfg_var_writer* variable = writer_list; variable != nullptr; variable = variable->next_writer) {
    payload.set_size(0);
    variable->write_payload(gather, abort);
    std::uint8_t head[20];
    put_guid(head, variable->guid);
    put_le32(head + 16, payload.size());
    writer.write_bytes(head, 16, abort);
    writer.write_bytes(head + 16, 4, abort);
    if (payload.size() != 0) writer.write_bytes(payload.data(), payload.size(), abort);
  }
}

namespace {

void read_records(settings_reader& reader, abort_handle& abort, const variable_map& variables) {
  for (;;) {
    std::uint8_t id_bytes[16];
    if (reader.read_some(id_bytes, 16, abort) != 16) return; // the data ends here, or with stray bytes
    std::uint8_t size_bytes[4];
    reader.read_exact(size_bytes, 4, abort);
    const std::uint32_t size = get_le32(size_bytes);
    cfg_var_reader* variable = variables.find(get_guid(id_bytes));
    if (variable == nullptr) {
      reader.skip_exact(size, abort);
      continue;
    }
    bounded_reader payload(reader, size);
    try {
      variable->read_payload(payload, size, abort);
    } catch (const corvane_io::exception_io_data&) {
      // A record this variable cannot take is passed over; the rest still loads.
    }
    if (payload.remaining != 0) payload.skip_exact(payload.remaining, abort);
  }
}

void for_each_reader(void (cfg_var_reader::*step)() noexcept) noexcept {
  for (cfg_var_reader* variable = reader_list; variable != nullptr; variable = variable->next_reader)
    (variable->*step)();
}

} // namespace

void read_all_variables(settings_reader& reader, abort_handle& abort) {
  const variable_map variables(reader_list);
  try {
    read_records(reader, abort, variables);
  } catch (const std::bad_alloc&) {
    // Running out of memory says nothing about the data, and a load cut
    // short by it would leave the settings half from the stream: nothing
    // changes.
    for_each_reader(&cfg_var_reader::discard_read);
    throw;
  } catch (...) {
    // Damaged or unreadable data: the records read whole before it stand.
    for_each_reader(&cfg_var_reader::commit_read);
    throw;
  }
  for_each_reader(&cfg_var_reader::commit_read);
}
