// The lines waiting for the server, in the order they were handed in. Lines
// handed in with flood protection pass the flood gate; a line waits behind
// the lines before it, so none overtakes another, and none is dropped.
#pragma once
#include "flood_gate.h"

#include <cstddef>
#include <deque>
#include <string>

struct outgoing_line {
  std::string message; // without CR LF
  bool flood = false;  // waits for the flood gate
  bool quit = false;   // a QUIT: the connection ends on purpose
};

class irc_outbox {
public:
  irc_outbox(unsigned long burst, unsigned long interval_ms) : fresh_gate_(burst, interval_ms), gate_(fresh_gate_) {}

  void push(outgoing_line line) { lines_.push_back(std::move(line)); }
  bool empty() const noexcept { return lines_.empty(); }
  std::size_t size() const noexcept { return lines_.size(); }
  // Milliseconds until the first line may go at now_ms; 0 when it may go now
  // or nothing waits.
  unsigned long long wait_ms(unsigned long long now_ms) const;
  // Takes the first line when it may go at now_ms; a flood line uses up its
  // place at the gate.
  bool take_due(unsigned long long now_ms, outgoing_line& out);
  // A new connection: the gate gives its whole burst again.
  void restart_gate() { gate_ = fresh_gate_; }
  // Everything still waiting, first line first, for the report of what was
  // not delivered.
  std::deque<outgoing_line> take_all();

private:
  flood_gate fresh_gate_;
  flood_gate gate_;
  std::deque<outgoing_line> lines_;
};
