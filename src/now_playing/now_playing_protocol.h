// Writing and reading the block without a lock, and without a reader ever
// waiting for the writer. The writer makes the sequence odd and writes slot
// 0, makes it even and writes slot 1: a reader copies the slot the sequence
// names (sequence & 1), which is never the one being written, and copies
// again when the sequence moved meanwhile, a bounded number of times. A
// player that loses its core in the middle of a write so leaves readers the
// slot it is not writing. Freestanding: no allocation, no exception, no
// library beyond the compiler's.
#pragma once
#include "now_playing_block.h"

#include <cstddef>
#include <cstdint>

namespace now_playing {

// Publishes length units of text (cut to text_units - 1) as the title.
void write_title(block& b, const char16_t* text, std::uint32_t length) noexcept;

// How often a reader copies again when a write moved the sequence meanwhile.
inline constexpr unsigned read_attempts = 1000;

// Copies units from shared memory; tests put a writer in its place.
using copy_units = void (*)(char16_t* to, const volatile char16_t* from, std::uint32_t units, void* context);

// What a reader found in the block.
enum class read_result {
  title,    // a title of at least one unit
  empty,    // a player publishes an empty title
  closed,   // the player that wrote the block has let it go
  not_ours, // too small, not of this format, or a length past its text
  changing, // a write moved on during each of read_attempts copies
};

// Copies the title of the block at view, of which mapped_bytes are readable,
// into out (text_units units). Anything but read_result::title and
// read_result::empty leaves out empty; nothing past mapped_bytes is read.
read_result read_title(const volatile void* view, std::size_t mapped_bytes, char16_t* out, std::uint32_t& length,
                       copy_units copy = nullptr, void* context = nullptr) noexcept;

// The title as a client that runs it in a command line (mIRC) gets it: read
// as read_title does, made safe by the command line rule
// (command_line_rule.h) whoever wrote the block, and cut at a character
// boundary to capacity units with the terminator. out (text_units units)
// holds units units, then a zero unit.
read_result read_client_title(const volatile void* view, std::size_t mapped_bytes, std::size_t capacity, char16_t* out,
                              std::uint32_t& units) noexcept;

// The player lets the block go: readers that still hold it find it closed
// and no title, from now on; a reader of this format that does not know the
// state finds an empty title.
void close_block(block& b) noexcept;

// A player that finds the name held by a block of this format, closed, and
// of mapped_bytes readable and writable bytes, takes it over: true when the
// block is its own now (the state open again; one player wins when two try).
// Any other block stays untouched.
bool take_over(block& b, std::size_t mapped_bytes) noexcept;

// Units of text (length units) to copy into a buffer of capacity units that
// needs room for a terminator: never more than fit, and never the high half
// of a surrogate pair without its low half. 0 when capacity is 0 or 1.
std::uint32_t units_that_fit(const char16_t* text, std::uint32_t length, std::size_t capacity) noexcept;

} // namespace now_playing
