#include "support/pfc/memory.h"
#include "support/pfc/exceptions.h"

#include <cstdlib>

namespace pfc {
namespace {
allocation_hook g_hook = nullptr;
void* g_hook_context = nullptr;
} // namespace

void throw_bad_alloc() { throw bad_allocation(); }

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
