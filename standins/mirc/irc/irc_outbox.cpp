#include "irc_outbox.h"

#include <utility>

unsigned long long irc_outbox::wait_ms(unsigned long long now_ms) const {
  return !lines_.empty() && lines_.front().flood ? gate_.wait_ms(now_ms) : 0;
}

bool irc_outbox::take_due(unsigned long long now_ms, outgoing_line& out) {
  if (lines_.empty() || wait_ms(now_ms) > 0) return false;
  out = std::move(lines_.front());
  lines_.pop_front();
  if (out.flood) gate_.take(now_ms);
  return true;
}

std::deque<outgoing_line> irc_outbox::take_all() { return std::exchange(lines_, {}); }
