// The block "ChirplineNowPlaying" in which the component publishes the title
// the player started last, for chirpline_mirc.dll and anyone else's script or
// plug-in. Fixed-width and little-endian, the same bytes from a 32-bit and a
// 64-bit player; docs/design.md has the table. This folder includes nothing
// of the component, so a reader needs only this folder.
#pragma once
#include <cstddef>
#include <cstdint>

namespace now_playing {

// The section's name, in the session's namespace (the player's desktop).
inline constexpr wchar_t block_name[] = L"ChirplineNowPlaying";

inline constexpr std::uint32_t block_mark = 0x504E4843; // "CHNP" in memory order
inline constexpr std::uint32_t format_version = 1;
// The header's state: a player writes titles, or has let the block go. A
// reader that still holds the block after the player quit keeps it alive,
// and must not be shown the last title of a player that is gone.
inline constexpr std::uint32_t state_open = 0, state_closed = 1;
// Units of text, terminator included: the 2047 units of mIRC's command block
// less the 16 of "/me is playing: ", plus the terminator.
inline constexpr std::uint32_t text_units = 2032;

struct block_header {
  std::uint32_t mark;     // block_mark
  std::uint32_t version;  // format_version
  std::uint32_t sequence; // two more with each title; readers read slot sequence & 1
  std::uint32_t state;    // state_open, or state_closed once the player let the block go
};

// One copy of the title. The writer writes the title into both, one after
// the other, so one of them is whole whenever the other is being written.
struct title_slot {
  std::uint32_t length;      // UTF-16 units, terminator not counted
  char16_t text[text_units]; // the title, then a zero unit
};

struct block {
  block_header header;
  title_slot slot[2];
};

static_assert(sizeof(block_header) == 16, "the header is four 32-bit fields");
static_assert(offsetof(block, header.sequence) == 8, "header layout");
static_assert(offsetof(block, slot[0].length) == 16 && offsetof(block, slot[0].text) == 20, "slot 0 layout");
static_assert(offsetof(block, slot[1].length) == 4084 && offsetof(block, slot[1].text) == 4088, "slot 1 layout");
static_assert(sizeof(block) == 8152, "two slots after the header");

inline constexpr std::uint32_t block_size = sizeof(block);

} // namespace now_playing
