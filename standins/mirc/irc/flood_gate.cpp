#include "flood_gate.h"

unsigned long long flood_gate::wait_ms(unsigned long long now_ms) const {
  const unsigned long long allowed = due_ > (burst_ - 1) * interval_ ? due_ - (burst_ - 1) * interval_ : 0;
  return allowed > now_ms ? allowed - now_ms : 0;
}

void flood_gate::take(unsigned long long now_ms) { due_ = (due_ > now_ms ? due_ : now_ms) + interval_; }
