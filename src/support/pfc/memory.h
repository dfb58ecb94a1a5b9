// The one place the text buffers, the settings map and the error messages get
// memory from. It is linked from an archive as a unit of its own, so a program
// that defines mem_realloc itself (to count requests or refuse one, as a
// runtime out of memory would) has its own taken instead.
#pragma once
#include <cstddef>

namespace pfc {

// Returns the new block, or null on failure (the old block is then untouched).
// bytes == 0 frees the block and returns null.
void* mem_realloc(void* block, std::size_t bytes) noexcept;

} // namespace pfc
