// What a title may hold where mIRC runs it as part of a command line: the
// component's announcement and whatever a client reads from the block. One
// rule for both, so a title said on demand is the one announced, and a block
// some other program wrote can break no line either.
#pragma once
#include <cstdint>

namespace now_playing {

// mIRC's formatting codes (bold 0x02, colour 0x03, hex colour 0x04, reset
// 0x0F, monospace 0x11, reverse 0x16, italic 0x1D, strikethrough 0x1E,
// underline 0x1F): users put them in the pattern on purpose, and they neither
// end the line nor start a command, so they reach the channel as they are.
inline constexpr std::uint32_t formatting_codes = (1u << 0x02) | (1u << 0x03) | (1u << 0x04) | (1u << 0x0F) |
                                                  (1u << 0x11) | (1u << 0x16) | (1u << 0x1D) | (1u << 0x1E) |
                                                  (1u << 0x1F);

// '|' would start a second command; any other control character could end
// the line (CR, LF, NUL) or, like 0x01, break the CTCP ACTION that /me sends.
// The same for a byte of UTF-8 and a unit of UTF-16: all of them are ASCII.
constexpr bool breaks_command_line(std::uint32_t c) noexcept {
  return c == '|' || c == 0x7F || (c < 0x20 && ((formatting_codes >> c) & 1u) == 0);
}

// What takes the place of a '|' (the look-alike broken bar) and of any other
// character that breaks_command_line names (a blank).
inline constexpr char16_t bar_stand_in = 0x00A6;
inline constexpr char16_t control_stand_in = u' ';

inline void make_command_safe(char16_t* text, std::uint32_t length) noexcept {
  for (std::uint32_t i = 0; i < length; ++i)
    if (breaks_command_line(text[i])) text[i] = text[i] == u'|' ? bar_stand_in : control_stand_in;
}

} // namespace now_playing
