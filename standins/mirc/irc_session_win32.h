// One connection to an IRC server, kept on its own thread so the window that
// receives mIRC's messages answers at once: it registers, joins one channel,
// answers PING, sends queued lines at the flood gate's pace, and after a lost
// connection retries with a growing wait. Lines that cannot go out are
// reported as not delivered, never dropped in silence.
#pragma once
#include "owned_handle_win32.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct irc_settings {
  std::string host;
  unsigned short port = 0;
  std::string nick;
  std::string channel;
  unsigned long flood_burst = 4;
  unsigned long flood_interval_ms = 1000;
  unsigned long retry_ms = 1000;      // first wait after a lost connection
  unsigned long retry_max_ms = 30000; // the wait doubles up to this
};

class irc_session {
public:
  // report: a line for the user (thread-safe sink; called from the session's thread).
  irc_session(irc_settings settings, std::function<void(const std::string&)> report);
  ~irc_session();
  irc_session(const irc_session&) = delete;
  irc_session& operator=(const irc_session&) = delete;

  // Queues one IRC message (no CR LF); flood: wait for the gate.
  void submit(std::string message, bool flood, bool quit);

private:
  struct queued {
    std::string message;
    bool flood;
    bool quit;
  };
  enum class state { connecting, joined, waiting, quit };
  void run() noexcept;
  bool talk();
  // Lines queued when the connection ends are reported, not kept.
  void set_state(state s);

  irc_settings settings_;
  std::function<void(const std::string&)> report_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<queued> queue_;
  bool stopping_ = false;
  state state_ = state::connecting;
  bool quit_ = false; // left on purpose: no reconnecting (session thread only)
  owned_handle wake_; // event set when the queue grows or on stop
  std::thread thread_;
};
