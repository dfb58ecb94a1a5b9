// mIRC's shared-memory command interface as mIRC documents it: the one place
// its numbers are written, for the component and for everything that stands in
// for mIRC or talks to it.
#pragma once
#include <cstdint>

namespace mirc_interface {

// WM_USER + 200, sent to the first child of the "MDIClient" window inside
// mIRC's main window; mIRC answers 1 when it ran the command, 0 when it did not.
inline constexpr unsigned command_message = 0x0400 + 200;

// Method bits, the message's first parameter.
inline constexpr unsigned method_as_typed = 1;         // as if typed in the edit box
inline constexpr unsigned method_plain_text = 2;       // as plain text
inline constexpr unsigned method_flood_protection = 4; // through mIRC's flood protection
inline constexpr unsigned method_unicode = 8;          // the block holds UTF-16 (mIRC 7 and later)
inline constexpr unsigned known_method_bits = 1 | 2 | 4 | 8;

// The named shared block the command travels in, and its terminator with it.
inline constexpr std::uint32_t block_size = 4096;
inline constexpr std::uint32_t block_units = block_size / 2; // UTF-16 units
// The message's second parameter N names the block: 0 is "mIRC", N from 1 to
// 2^31-1 is "mIRC<N>" in decimal (mIRC 6.2 and later).
inline constexpr std::uint32_t last_block_index = 0x7FFFFFFF;

} // namespace mirc_interface
