// A steady pace for lines to the server (flood protection): a burst of lines
// at once, then one line per interval. A "generic cell rate" gate: it says
// when a line may go; the line waits until then, it is never dropped.
#pragma once

class flood_gate {
public:
  flood_gate(unsigned long burst, unsigned long interval_ms) : burst_(burst ? burst : 1), interval_(interval_ms) {}
  // Milliseconds until a line may go at now_ms; 0 when it may go now.
  unsigned long long wait_ms(unsigned long long now_ms) const;
  // A line went at now_ms.
  void take(unsigned long long now_ms);

private:
  unsigned long long burst_;
  unsigned long long interval_;
  unsigned long long due_ = 0; // when the bucket would be empty of credit
};
