// Where the stand-in's IRC client connects, as whom, and at what pace.
#pragma once
#include <string>

struct irc_settings {
  std::string host; // an IPv4 address
  unsigned short port = 0;
  std::string nick;
  std::string channel;
  unsigned long flood_burst = 4;
  unsigned long flood_interval_ms = 1000;
  unsigned long retry_ms = 1000;      // first wait after a lost connection
  unsigned long retry_max_ms = 30000; // the wait doubles up to this
};
