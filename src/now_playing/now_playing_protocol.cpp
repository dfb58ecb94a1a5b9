#include "now_playing_protocol.h"

namespace now_playing {
namespace {

// The fields another process reads are touched only through the compiler's
// atomics: the release on each sequence store keeps the text and length
// writes between the two stores, across processes as across threads.
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

} // namespace

char16_t* begin_title(block& b) noexcept {
  const std::uint32_t sequence = load_relaxed(b.header.sequence);
  store_relaxed(b.header.sequence, sequence | 1u);
  // Nothing written after this fence can be seen before the odd sequence.
  __atomic_thread_fence(__ATOMIC_RELEASE);
  return b.text;
}

void end_title(block& b, std::uint32_t length) noexcept {
  if (length >= text_units) length = text_units - 1;
  b.text[length] = 0;
  store_relaxed(b.header.length, length);
  store_relaxed(b.header.version, format_version);
  store_relaxed(b.header.mark, block_mark);
  // An odd sequence becomes the next even one, with everything above before it.
  const std::uint32_t sequence = load_relaxed(b.header.sequence);
  __atomic_store_n(&b.header.sequence, sequence + 1u, __ATOMIC_RELEASE);
}

bool read_title(const volatile void* view, std::size_t mapped_bytes, char16_t* out, std::uint32_t& length,
                copy_units copy, void* context) noexcept {
  out[0] = 0;
  length = 0;
  if (view == nullptr || mapped_bytes < sizeof(block_header)) return false;
  if (copy == nullptr) copy = &copy_plain;
  const auto& shared = *static_cast<const volatile block*>(view);
  // A block of this name made by another program may be shorter than ours.
  std::size_t room = (mapped_bytes - sizeof(block_header)) / sizeof(char16_t);
  if (room > text_units) room = text_units;

  for (unsigned attempt = 0; attempt < read_attempts; ++attempt, pause()) {
    const std::uint32_t before = load_acquire(shared.header.sequence);
    if ((before & 1u) != 0) continue; // a write is under way
    const std::uint32_t mark = load_relaxed(shared.header.mark);
    const std::uint32_t version = load_relaxed(shared.header.version);
    const std::uint32_t units = load_relaxed(shared.header.length);
    const bool valid = mark == block_mark && version == format_version && units < room;
    if (valid) copy(out, shared.text, units, context);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (load_relaxed(shared.header.sequence) != before) continue; // a write overlapped: copy again
    if (!valid) break;                                            // a settled block that is not a title of ours
    out[units] = 0;
    length = units;
    return true;
  }
  out[0] = 0;
  return false;
}

std::uint32_t units_that_fit(const char16_t* text, std::uint32_t length, std::size_t capacity) noexcept {
  if (capacity < 2) return 0;
  std::uint32_t units = capacity - 1 < length ? static_cast<std::uint32_t>(capacity - 1) : length;
  if (units < length && units > 0 && is_high_surrogate(text[units - 1]) && is_low_surrogate(text[units])) --units;
  return units;
}

} // namespace now_playing
