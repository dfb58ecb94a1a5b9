#include "now_playing_protocol.h"
#include "command_line_rule.h"

namespace now_playing {
namespace {

// The fields another process reads are touched through the compiler's
// atomics: the fences keep each slot's writes after the sequence step that
// turns readers away from it, across processes as across threads.
std::uint32_t load_acquire(const volatile std::uint32_t& field) noexcept {
  return __atomic_load_n(const_cast<const std::uint32_t*>(&field), __ATOMIC_ACQUIRE);
}
std::uint32_t load_relaxed(const volatile std::uint32_t& field) noexcept {
  return __atomic_load_n(const_cast<const std::uint32_t*>(&field), __ATOMIC_RELAXED);
}
void store_relaxed(std::uint32_t& field, std::uint32_t value) noexcept {
  __atomic_store_n(&field, value, __ATOMIC_RELAXED);
}

void pause() noexcept {
#if defined(__i386__) || defined(__x86_64__)
  __builtin_ia32_pause();
#endif
}

void copy_plain(char16_t* to, const volatile char16_t* from, std::uint32_t units, void*) {
  for (std::uint32_t i = 0; i < units; ++i)
    to[i] = from[i];
}

bool is_high_surrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Readers are turned to the other slot before this one is written.
void write_slot(block& b, unsigned index, const char16_t* text, std::uint32_t length) noexcept {
  store_relaxed(b.header.sequence, load_relaxed(b.header.sequence) + 1);
  __atomic_thread_fence(__ATOMIC_RELEASE);
  title_slot& slot = b.slot[index];
  for (std::uint32_t i = 0; i < length; ++i)
    slot.text[i] = text[i];
  slot.text[length] = 0;
  store_relaxed(slot.length, length);
  __atomic_thread_fence(__ATOMIC_RELEASE);
}

} // namespace

void write_title(block& b, const char16_t* text, std::uint32_t length) noexcept {
  if (length >= text_units) length = text_units - 1;
  store_relaxed(b.header.mark, block_mark);
  store_relaxed(b.header.version, format_version);
  // Odd: readers take slot 1 while slot 0 is written; even: slot 0 while slot 1 is.
  if ((load_relaxed(b.header.sequence) & 1u) != 0) store_relaxed(b.header.sequence, b.header.sequence + 1);
  write_slot(b, 0, text, length);
  write_slot(b, 1, text, length);
}

read_result read_title(const volatile void* view, std::size_t mapped_bytes, char16_t* out, std::uint32_t& length,
                       copy_units copy, void* context) noexcept {
  out[0] = 0;
  length = 0;
  if (view == nullptr || mapped_bytes < sizeof(block_header)) return read_result::not_ours;
  if (copy == nullptr) copy = &copy_plain;
  const auto& shared = *static_cast<const volatile block*>(view);

  for (unsigned attempt = 0; attempt < read_attempts; ++attempt, pause()) {
    const std::uint32_t before = load_acquire(shared.header.sequence);
    const bool ours =
        load_relaxed(shared.header.mark) == block_mark && load_relaxed(shared.header.version) == format_version;
    const std::uint32_t state = ours ? load_relaxed(shared.header.state) : state_open;
    // A block of that name made by another program may be smaller than ours.
    const std::size_t at = offsetof(block, slot) + (before & 1u) * sizeof(title_slot);
    const bool mapped = mapped_bytes >= at + offsetof(title_slot, text);
    std::size_t room = mapped ? (mapped_bytes - at - offsetof(title_slot, text)) / sizeof(char16_t) : 0;
    if (room > text_units) room = text_units;
    const volatile title_slot& slot = shared.slot[before & 1u];
    const bool open = ours && state == state_open;
    const std::uint32_t units = open && mapped ? load_relaxed(slot.length) : 0;
    const bool valid = open && mapped && units < room;
    if (valid) copy(out, slot.text, units, context);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (load_relaxed(shared.header.sequence) != before) continue; // a write moved on meanwhile: copy again
    if (!valid) return ours && state == state_closed ? read_result::closed : read_result::not_ours;
    out[units] = 0;
    length = units;
    return units != 0 ? read_result::title : read_result::empty;
  }
  out[0] = 0;
  return read_result::changing;
}

read_result read_client_title(const volatile void* view, std::size_t mapped_bytes, std::size_t capacity, char16_t* out,
                              std::uint32_t& units) noexcept {
  std::uint32_t length = 0;
  const read_result result = read_title(view, mapped_bytes, out, length);
  make_command_safe(out, length);
  units = units_that_fit(out, length, capacity);
  out[units] = 0;
  return result;
}

void close_block(block& b) noexcept {
  store_relaxed(b.header.state, state_closed);
  // Ordered before the sequence step below: a reader whose copy that step
  // overlaps copies again and then finds the block closed.
  __atomic_thread_fence(__ATOMIC_RELEASE);
  write_title(b, u"", 0);
}

bool take_over(block& b, std::size_t mapped_bytes) noexcept {
  if (mapped_bytes < sizeof(block)) return false;
  if (load_relaxed(b.header.mark) != block_mark || load_relaxed(b.header.version) != format_version) return false;
  std::uint32_t closed = state_closed;
  return __atomic_compare_exchange_n(&b.header.state, &closed, state_open, false, __ATOMIC_ACQ_REL, __ATOMIC_RELAXED);
}

std::uint32_t units_that_fit(const char16_t* text, std::uint32_t length, std::size_t capacity) noexcept {
  if (capacity < 2) return 0;
  std::uint32_t units = capacity - 1 < length ? static_cast<std::uint32_t>(capacity - 1) : length;
  if (units < length && units > 0 && is_high_surrogate(text[units - 1]) && is_low_surrogate(text[units])) --units;
  return units;
}

} // namespace now_playing
