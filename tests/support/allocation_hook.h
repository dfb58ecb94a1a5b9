// Test programs link their own pfc::mem_realloc (allocation_hook.cpp) in place
// of the component's: it asks a hook before every request that allocates.
#pragma once
#include <cstddef>

namespace pfc {

// Called before every request that allocates (bytes > 0); returning false
// makes the request fail as if the runtime had no memory.
using allocation_hook = bool (*)(std::size_t bytes, void* context);
void set_allocation_hook(allocation_hook hook, void* context) noexcept;

} // namespace pfc
