#include "announcer/mirc_command.h"
#include "support/pfc/exceptions.h"

#include <cstring>

namespace {

constexpr char broken_bar[] = "\xC2\xA6"; // U+00A6, shown in place of '|'

bool is_control_byte(unsigned char c) noexcept { return c < 0x20 || c == 0x7F; }
bool is_continuation_byte(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }

// Bytes of the UTF-8 sequence a lead byte announces (up to the six-byte form),
// 0 for a byte that cannot start one.
std::uint32_t sequence_length(unsigned char lead) noexcept {
  if (lead < 0x80) return 1;
  if (lead < 0xC0) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  if (lead < 0xFC) return 5;
  if (lead < 0xFE) return 6;
  return 0;
}

// Copies n title bytes that hold no '|', blanking the control bytes. The
// loop has no branch and vectorises; control bytes are rare, so the copy runs
// at the speed of the copy itself.
void copy_blanking_controls(char* out, const char* text, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    out[i] = is_control_byte(c) ? ' ' : static_cast<char>(c);
  }
}

} // namespace

void build_command_text(const pfc::string_base& title, pfc::string_base& out) {
  const char* text = title.text_ptr();
  const std::uint32_t length = title.text_length();
  const char* const end = text + length;
  std::uint64_t total = announce_prefix_length + static_cast<std::uint64_t>(length);
  for (const char* bar = text; (bar = static_cast<const char*>(std::memchr(bar, '|', end - bar))) != nullptr; ++bar)
    ++total;
  if (total >= 0xFFFFFFFFu) pfc::throw_bad_alloc();

  char* p = out.open_buffer(static_cast<std::uint32_t>(total));
  std::memcpy(p, announce_prefix, announce_prefix_length);
  p += announce_prefix_length;
  for (const char* from = text;;) {
    const auto* bar = static_cast<const char*>(std::memchr(from, '|', end - from));
    const std::size_t n = static_cast<std::size_t>((bar != nullptr ? bar : end) - from);
    copy_blanking_controls(p, from, n);
    p += n;
    if (bar == nullptr) break;
    std::memcpy(p, broken_bar, 2);
    p += 2;
    from = bar + 1;
  }
  out.close_buffer();
}

std::uint32_t command_length_for_block(const char* text, std::uint32_t length, std::uint32_t block_size) noexcept {
  if (block_size == 0) return 0;
  const std::uint32_t capacity = block_size - 1;
  if (length <= capacity) return length;
  // text[capacity] is the first byte that does not fit. If it continues a
  // character, that character started at most five bytes earlier; only when
  // its lead byte announces a sequence reaching past the limit is it dropped.
  std::uint32_t start = capacity;
  for (int back = 0; back < 5 && start > 0 && is_continuation_byte(static_cast<unsigned char>(text[start])); ++back)
    --start;
  const std::uint32_t width = sequence_length(static_cast<unsigned char>(text[start]));
  if (width == 0 || start + width <= capacity) return capacity; // stray bytes: nothing whole to keep apart
  return start;
}
