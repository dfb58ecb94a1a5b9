// The one place the text buffers get memory from, so tests can count
// allocations and make any one of them fail.
#pragma once
#include <cstddef>

namespace pfc {

// Returns the new block, or null on failure (the old block is then untouched).
// bytes == 0 frees the block and returns null.
void* mem_realloc(void* block, std::size_t bytes) noexcept;

// Test hook: called before every request that allocates (bytes > 0); returning
// false makes the request fail as if the runtime had no memory.
using allocation_hook = bool (*)(std::size_t bytes, void* context);
void set_allocation_hook(allocation_hook hook, void* context) noexcept;

} // namespace pfc
