// Any bytes as a block of any mapped size: the reader reads nothing past what
// is mapped (the block is allocated exactly that big), gives a title only
// from a block of this format that is open, whole and inside the mapping,
// and a client gets that title made safe by the command line rule and cut to
// its buffer, terminated, never half a pair.
#include "now_playing/command_line_rule.h"
#include "now_playing/now_playing_protocol.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct free_deleter {
  void operator()(void* p) const { std::free(p); }
};

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

void check(bool holds) {
  if (!holds) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using now_playing::read_result;
  if (size < 4) return 0;
  // Two bytes choose the mapped size (up to a little past a whole block), two
  // the client's buffer; the rest are the block's first bytes, zeros after.
  const std::size_t mapped = (data[0] | data[1] << 8) % (now_playing::block_size + 64);
  const std::size_t capacity = (data[2] | data[3] << 8) % (now_playing::text_units + 8);
  data += 4;
  size -= 4;
  std::unique_ptr<std::uint8_t[], free_deleter> bytes(static_cast<std::uint8_t*>(std::malloc(mapped + 1)));
  std::memset(bytes.get(), 0, mapped);
  std::memcpy(bytes.get(), data, size < mapped ? size : mapped);

  char16_t out[now_playing::text_units];
  std::uint32_t length = 99;
  const read_result result = now_playing::read_title(bytes.get(), mapped, out, length);
  check(length < now_playing::text_units && out[length] == 0);
  check((result == read_result::title) == (length > 0));
  if (result == read_result::title || result == read_result::empty) {
    now_playing::block_header header;
    std::memcpy(&header, bytes.get(), sizeof header);
    check(header.mark == now_playing::block_mark && header.version == now_playing::format_version);
    check(header.state == now_playing::state_open);
    const std::size_t at =
        offsetof(now_playing::block, slot) + (header.sequence & 1u) * sizeof(now_playing::title_slot);
    const std::size_t text_at = at + offsetof(now_playing::title_slot, text);
    check(text_at + 2 * (length + 1) <= mapped);
    std::uint32_t slot_length;
    std::memcpy(&slot_length, bytes.get() + at, sizeof slot_length);
    check(slot_length == length && std::memcmp(out, bytes.get() + text_at, 2 * length) == 0);
  } else {
    check(out[0] == 0);
  }

  char16_t client[now_playing::text_units];
  std::uint32_t units = 99;
  check(now_playing::read_client_title(bytes.get(), mapped, capacity, client, units) == result);
  // As many units as fit with the terminator, one fewer where the cut would
  // split a surrogate pair.
  std::uint32_t fit = capacity < 2 ? 0 : capacity - 1 < length ? static_cast<std::uint32_t>(capacity - 1) : length;
  if (fit > 0 && fit < length && is_high_surrogate(out[fit - 1]) && out[fit] >= 0xDC00 && out[fit] <= 0xDFFF) --fit;
  check(units == fit && client[units] == 0);
  for (std::uint32_t i = 0; i < units; ++i) {
    check(!now_playing::breaks_command_line(client[i]));
    const char16_t expected = !now_playing::breaks_command_line(out[i]) ? out[i]
                              : out[i] == u'|'                          ? now_playing::bar_stand_in
                                                                        : now_playing::control_stand_in;
    check(client[i] == expected);
  }
  return 0;
}
