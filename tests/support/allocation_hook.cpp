// Takes the place of the component's pfc::mem_realloc in test programs (the
// component's comes from an archive, so the linker keeps this one).
#include "allocation_hook.h"
#include "support/pfc/memory.h"

#include <atomic>
#include <cstdlib>

namespace pfc {
namespace {
allocation_hook g_hook = nullptr;
void* g_hook_context = nullptr;
// Exception copies may be dropped on other threads.
std::atomic<long> g_outstanding{0};
} // namespace

void set_allocation_hook(allocation_hook hook, void* context) noexcept {
  g_hook = hook;
  g_hook_context = context;
}

long outstanding_blocks() noexcept { return g_outstanding.load(); }

void* mem_realloc(void* block, std::size_t bytes) noexcept {
  if (bytes == 0) {
    if (block != nullptr) --g_outstanding;
    std::free(block);
    return nullptr;
  }
  if (g_hook != nullptr && !g_hook(bytes, g_hook_context)) return nullptr;
  if (block != nullptr) return std::realloc(block, bytes);
  void* fresh = std::malloc(bytes);
  if (fresh != nullptr) ++g_outstanding;
  return fresh;
}

} // namespace pfc
