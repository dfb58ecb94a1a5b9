#include "announcer/now_playing_title.h"
#include "announcer/mirc_command.h"
#include "now_playing/now_playing_protocol.h"
#include "support/utf8_convert.h"

#include <cstring>

// mIRC's block holds the prefix's 16 units, each one byte of ASCII, then the
// title in the units left; the block's text holds exactly those units, so the
// same conversion of the same bytes cuts at the same character.
void write_now_playing_title(now_playing::block& b, const char* command_text) noexcept {
  static_assert(now_playing::text_units == mirc_interface::block_units - announce_prefix_length,
                "the title's room is what mIRC's block leaves after the prefix");
  const char* title = std::strncmp(command_text, announce_prefix, announce_prefix_length) == 0
                          ? command_text + announce_prefix_length
                          : command_text;
  char16_t units[now_playing::text_units];
  std::size_t taken = 0;
  const std::size_t length = pfc::utf8_to_utf16_fitted(units, now_playing::text_units, title, taken);
  now_playing::write_title(b, units, static_cast<std::uint32_t>(length));
}
