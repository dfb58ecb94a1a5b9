#include "reconnect_backoff.h"

unsigned long reconnect_backoff::next_wait_ms(bool had_joined) {
  if (had_joined) next_ = first_;
  const unsigned long wait = next_;
  // Compared before doubling, so a longest wait near the type's end cannot wrap.
  next_ = next_ > longest_ / 2 ? longest_ : next_ * 2;
  return wait;
}
