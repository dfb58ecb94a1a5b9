// Test programs link their own pfc::mem_realloc (allocation_hook.cpp) in place
// of the component's: it asks a hook before every request that allocates.
#pragma once
#include <cstddef>

namespace pfc {

// Called before every request that allocates (bytes > 0); returning false
// makes the request fail as if the runtime had no memory.
using allocation_hook = bool (*)(std::size_t bytes, void* context);
void set_allocation_hook(allocation_hook hook, void* context) noexcept;
// Blocks handed out and not yet given back, over the whole program: an owner
// that leaks leaves it higher, one that frees twice (or frees what it still
// holds) lower, on every build, sanitised or not.
long outstanding_blocks() noexcept;

} // namespace pfc
