// The two rules every line to the IRC server obeys: IRC's 512-byte line and
// a steady pace (flood protection).
#pragma once
#include <cstddef>
#include <string>

// Cuts message (without CR LF) so that, relayed by the server to the channel
// as ":" + prefix + " " + message + CR LF, it fits 512 bytes (prefix_size 0:
// the line as sent). The cut falls on a UTF-8 character boundary, and a CTCP
// message keeps its closing \x01. True when it cut.
bool fit_irc_line(std::string& message, std::size_t prefix_size);

// A burst of lines at once, then one line per interval (a "generic cell
// rate" gate: a line waits until it is due, it is never dropped).
class flood_gate {
public:
  flood_gate(unsigned long burst, unsigned long interval_ms) : burst_(burst ? burst : 1), interval_(interval_ms) {}
  // Milliseconds until a line may go at now_ms; 0 when it may go now.
  unsigned long long wait_ms(unsigned long long now_ms) const;
  void take(unsigned long long now_ms);

private:
  unsigned long long burst_;
  unsigned long long interval_;
  unsigned long long due_ = 0; // when the bucket would be empty of credit
};
