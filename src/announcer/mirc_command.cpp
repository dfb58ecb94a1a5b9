#include "announcer/mirc_command.h"
#include "now_playing/command_line_rule.h"
#include "support/pfc/exceptions.h"
#include "support/utf8_convert.h"

#include <cstring>

namespace {

bool is_continuation_byte(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }

} // namespace

void build_command_text(const pfc::string_base& title, pfc::string8& out) {
  const char* const text = title.text_ptr();
  const std::uint32_t length = title.text_length();
  const char* const end = text + length;
  // Each '|' grows by one byte into U+00A6; everything else keeps its size.
  std::uint64_t total = announce_prefix_length + static_cast<std::uint64_t>(length);
  for (const char* bar = text; (bar = static_cast<const char*>(std::memchr(bar, '|', end - bar))) != nullptr; ++bar)
    ++total;
  if (total >= 0xFFFFFFFFu) pfc::throw_bad_alloc();

  // A zero byte is blanked like the other control bytes, so none is written.
  out.assign_zero_free(static_cast<std::uint32_t>(total), [text, end](char* p) {
    std::memcpy(p, announce_prefix, announce_prefix_length);
    char* o = p + announce_prefix_length;
    // Runs of bytes that stay as they are go whole; most titles are one run.
    for (const char* in = text;; ++in) {
      const char* const run = in;
      while (in != end && !now_playing::breaks_command_line(static_cast<unsigned char>(*in)))
        ++in;
      std::memcpy(o, run, static_cast<std::size_t>(in - run));
      o += in - run;
      if (in == end) break;
      if (*in == '|') { // now_playing::bar_stand_in, U+00A6, in UTF-8
        *o++ = '\xC2';
        *o++ = '\xA6';
      } else {
        *o++ = static_cast<char>(now_playing::control_stand_in);
      }
    }
    return static_cast<std::uint32_t>(o - p);
  });
}

void describe_command_cut(const char* command, std::uint32_t length, std::uint32_t taken, pfc::string8& out) {
  // Every byte that does not continue a sequence starts a character: exact
  // for UTF-8, and a fair count of what a reader would see otherwise.
  const auto characters = [command](std::uint32_t from, std::uint32_t to) {
    std::uint32_t count = 0;
    for (std::uint32_t i = from; i < to; ++i)
      count += is_continuation_byte(static_cast<unsigned char>(command[i])) ? 0 : 1;
    return count;
  };
  const std::uint32_t sent = characters(0, taken);
  char digits[64];
  std::uint32_t code_point = 0;
  if (pfc::decode_utf8_sequence_bounded(command + taken, length - taken, code_point) == 0 || code_point == 0) {
    out.assign_text("command cut after ", pfc::infinite_length);
    out.append_text(pfc::format_decimal(digits, sent), pfc::infinite_length);
    out.append_text(" characters at bytes that are not UTF-8 text", pfc::infinite_length);
    return;
  }
  out.assign_text("command cut from ", pfc::infinite_length);
  out.append_text(pfc::format_decimal(digits, sent + characters(taken, length)), pfc::infinite_length);
  out.append_text(" to ", pfc::infinite_length);
  out.append_text(pfc::format_decimal(digits, sent), pfc::infinite_length);
  out.append_text(" characters to fit mIRC's shared block", pfc::infinite_length);
}

std::size_t fit_command_into_block(char16_t* block, const char* command_text) noexcept {
  std::size_t taken = 0;
  pfc::utf8_to_utf16_fitted(block, mirc_interface::block_units, command_text, taken);
  return taken;
}
