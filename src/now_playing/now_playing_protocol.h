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

// Copies the title of the block at view, of which mapped_bytes are readable,
// into out (text_units units). False, with out empty, when the block is too
// small, not of this format, holds a length past its text, or kept changing
// for read_attempts copies; nothing past mapped_bytes is read either way.
bool read_title(const volatile void* view, std::size_t mapped_bytes, char16_t* out, std::uint32_t& length,
                copy_units copy = nullptr, void* context = nullptr) noexcept;

// Units of text (length units) to copy into a buffer of capacity units that
// needs room for a terminator: never more than fit, and never the high half
// of a surrogate pair without its low half. 0 when capacity is 0 or 1.
std::uint32_t units_that_fit(const char16_t* text, std::uint32_t length, std::size_t capacity) noexcept;

} // namespace now_playing
