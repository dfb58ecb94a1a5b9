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

std::size_t usable_size(void* block) noexcept {
#ifdef _WIN32
  return _msize(block);
#else
  return malloc_usable_size(block);
#endif
}

bool watching() noexcept { return g_watching.load(std::memory_order_relaxed); }

// given_back: the size of the block that goes (0 for none); given: the size
// of the one handed out (0 for none); moved: both exist while realloc copies.
void count_held(std::size_t given_back, std::size_t given, bool moved) noexcept {
  const auto back = static_cast<long long>(given_back), out = static_cast<long long>(given);
  const long long before = g_held.fetch_add(out - back);
  const long long at_most = before + out - (moved ? 0 : back);
  long long peak = g_peak.load();
  while (at_most > peak && !g_peak.compare_exchange_weak(peak, at_most)) {
  }
}
} // namespace

void set_allocation_hook(allocation_hook hook, void* context) noexcept {
  g_hook = hook;
  g_hook_context = context;
}

long outstanding_blocks() noexcept { return g_outstanding.load(); }

void start_held_watch() noexcept {
  g_held = 0;
  g_peak = 0;
  g_watching = true;
}

void stop_held_watch() noexcept { g_watching = false; }

long long held_peak() noexcept { return g_peak.load(); }

// Whether realloc moved a block shows only in its old address, compared after
// the call; GCC takes that comparison for a use of the freed block.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif
void* mem_realloc(void* block, std::size_t bytes) noexcept {
  // Sizes are asked of the runtime only while a watch is on: the benchmarks
  // that count requests time the allocations too.
  if (bytes == 0) {
    if (block != nullptr) {
      --g_outstanding;
      if (watching()) count_held(usable_size(block), 0, false);
    }
    std::free(block);
    return nullptr;
  }
  if (g_hook != nullptr && !g_hook(bytes, g_hook_context)) return nullptr;
  if (block != nullptr) {
    const std::size_t before = watching() ? usable_size(block) : 0;
    void* now = std::realloc(block, bytes);
    if (now != nullptr && watching()) count_held(before, usable_size(now), now != block);
    return now;
  }
  void* fresh = std::malloc(bytes);
  if (fresh != nullptr) {
    ++g_outstanding;
    if (watching()) count_held(0, usable_size(fresh), false);
  }
  return fresh;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

} // namespace pfc
