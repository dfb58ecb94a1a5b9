#include "preferences/deferred_failure.h"

#include <utility>

bool deferred_failure::keep(std::exception_ptr failure) noexcept {
  if (own_calls_ == 0) return false;
  // The first cause is the one worth telling; what follows from it is not.
  if (!pending_) pending_ = std::move(failure);
  return true;
}

void deferred_failure::rethrow_pending() {
  if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
}
