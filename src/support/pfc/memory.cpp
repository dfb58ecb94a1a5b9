#include "support/pfc/memory.h"

#include <cstdlib>

namespace pfc {

void* mem_realloc(void* block, std::size_t bytes) noexcept {
  if (bytes == 0) {
    std::free(block);
    return nullptr;
  }
  return block == nullptr ? std::malloc(bytes) : std::realloc(block, bytes);
}

} // namespace pfc
