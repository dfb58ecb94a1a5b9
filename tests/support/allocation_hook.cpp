// Takes the place of the component's pfc::mem_realloc in test programs (the
// component's comes from an archive, so the linker keeps this one).
#include "allocation_hook.h"
#include "support/pfc/memory.h"

#include <cstdlib>

namespace pfc {
namespace {
allocation_hook g_hook = nullptr;
void* g_hook_context = nullptr;
} // namespace

void set_allocation_hook(allocation_hook hook, void* context) noexcept {
  g_hook = hook;
  g_hook_context = context;
}

void* mem_realloc(void* block, std::size_t bytes) noexcept {
  if (bytes == 0) {
    std::free(block);
    return nullptr;
  }
  if (g_hook != nullptr && !g_hook(bytes, g_hook_context)) return nullptr;
  return block == nullptr ? std::malloc(bytes) : std::realloc(block, bytes);
}

} // namespace pfc
