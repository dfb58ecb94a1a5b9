// Takes the place of the component's pfc::mem_realloc in test programs (the
// component's comes from an archive, so the linker keeps this one).
#include "allocation_hook.h"
#include "support/pfc/memory.h"

#include <atomic>
#include <cstdlib>

#include <malloc.h>

namespace pfc {
namespace {
allocation_hook g_hook = nullptr;
void* g_hook_context = nullptr;
// Exception copies may be dropped on other threads.
std::atomic<long> g_outstanding{0};
std::atomic<bool> g_watching{false};
std::atomic<long long> g_held{0};
std::atomic<long long> g_peak{0};

// A block's size as the runtime keeps it, asked only while a watch is on: the
// benchmarks that count requests time the allocations too.
std::size_t held_size(void* block) noexcept {
  if (block == nullptr || !g_watching.load(std::memory_order_relaxed)) return 0;
#ifdef _WIN32
  return _msize(block);
#else
  return malloc_usable_size(block);
#endif
}

// The new block counts before the old one goes: a resized block may be copied
// to a new place, and both are held until the copy is done.
void count_held(std::size_t gone, std::size_t given) noexcept {
  if (gone == 0 && given == 0) return;
  const long long now = g_held += static_cast<long long>(given);
  long long peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
  g_held -= static_cast<long long>(gone);
}
} // namespace

void set_allocation_hook(allocation_hook hook, void* context) noexcept {
  g_hook = hook;
  g_hook_context = context;
}

long outstanding_blocks() noexcept { return g_outstanding.load(); }

void watch_held(bool on) noexcept {
  g_held = 0;
  g_peak = 0;
  g_watching = on;
}

long long held_peak() noexcept { return g_peak.load(); }

void* mem_realloc(void* block, std::size_t bytes) noexcept {
  const std::size_t before = held_size(block);
  if (bytes == 0) {
    if (block != nullptr) --g_outstanding;
    std::free(block);
    count_held(before, 0);
    return nullptr;
  }
  if (g_hook != nullptr && !g_hook(bytes, g_hook_context)) return nullptr;
  void* now = block != nullptr ? std::realloc(block, bytes) : std::malloc(bytes);
  if (now == nullptr) return nullptr;
  if (block == nullptr) ++g_outstanding;
  count_held(before, held_size(now));
  return now;
}

} // namespace pfc
