// How long to wait before connecting again: the first wait, doubled after
// every attempt up to the longest, and back to the first once a connection
// had joined its channel.
#pragma once

class reconnect_backoff {
public:
  reconnect_backoff(unsigned long first_ms, unsigned long longest_ms)
      : first_(first_ms), longest_(longest_ms), next_(first_ms) {}
  // The wait after a connection ended; had_joined: it had joined its channel.
  unsigned long next_wait_ms(bool had_joined);

private:
  unsigned long first_;
  unsigned long longest_;
  unsigned long next_;
};
