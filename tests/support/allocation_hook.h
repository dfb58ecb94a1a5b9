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

// Bytes held in blocks (as the runtime sizes them) counted from zero while a
// watch is on: every block handed out adds, every block given back subtracts,
// blocks from before the watch included. A block that realloc moves is held
// twice while its bytes are copied, and counts so at that moment.
void start_held_watch() noexcept;
void stop_held_watch() noexcept;
// The most held at any moment since the watch began.
long long held_peak() noexcept;

} // namespace pfc
