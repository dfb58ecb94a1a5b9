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
// Bytes held in blocks (as the runtime sizes them) while a watch is on,
// counted from zero when it starts: blocks handed out add, blocks given back
// subtract, those from before the watch included. A resized block counts
// with its old one until that goes, as when the runtime moves it.
void watch_held(bool on) noexcept;
// The most held at any moment of the watch.
long long held_peak() noexcept;

} // namespace pfc
