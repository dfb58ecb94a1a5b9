// The text handed to mIRC: the announcement prefix, the title made harmless as
// a single command line, and the cut that keeps it inside mIRC's block.
#pragma once
#include "announcer/mirc_interface.h"
#include "support/pfc/string8.h"

#include <cstddef>
#include <cstdint>

inline constexpr char announce_prefix[] = "/me is playing: ";
inline constexpr std::uint32_t announce_prefix_length = sizeof(announce_prefix) - 1;

// out = announce_prefix + title, where every '|' of the title (mIRC's command
// separator) becomes U+00A6 and every control byte (below 0x20, and 0x7F) a
// blank, so a tag can neither chain commands nor break the line; mIRC's nine
// formatting codes (bold, colour and the like) are the exception and pass
// unchanged. The text is sized once and written in place, so out allocates at
// most once.
void build_command_text(const pfc::string_base& title, pfc::string8& out);

// The command as mIRC's block carries it: the whole characters of
// command_text that fit in mirc_interface::block_units UTF-16 units with the
// terminator, written to block. Returns the bytes of command_text taken.
std::size_t fit_command_into_block(char16_t* block, const char* command_text) noexcept;

// The console line for a command (length bytes of UTF-8) of which only the
// first taken bytes went into mIRC's block: how much of it was sent, counted
// in characters, and why the rest was not (no room, or bytes that are not UTF-8).
void describe_command_cut(const char* command, std::uint32_t length, std::uint32_t taken, pfc::string8& out);

// True when a window class name is mIRC's: "mIRC" in any letter case, with no
// more and no fewer characters.
template <typename Char> bool mirc_class_name_matches(const Char* name, std::size_t length) noexcept {
  constexpr char expected[] = "mirc";
  if (length != sizeof(expected) - 1) return false;
  for (std::size_t i = 0; i < length; ++i) {
    auto c = static_cast<std::uint32_t>(name[i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c != static_cast<std::uint32_t>(expected[i])) return false;
  }
  return true;
}
