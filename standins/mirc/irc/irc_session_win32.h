// The stand-in's IRC client: one connection at a time, kept on its own thread
// so the window that receives mIRC's messages answers at once. It registers
// and joins one channel (irc_registration), sends handed-in lines at the
// flood gate's pace (irc_outbox), and after a lost connection connects again
// after a growing wait (reconnect_backoff). Lines that cannot go out are
// reported as not delivered, never dropped in silence.
#pragma once
#include "handle_owner_win32.h"
#include "irc_outbox.h"
#include "irc_registration.h"
#include "irc_settings.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class irc_connection;

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
  enum class state { connecting, joined, waiting, quit };
  void run() noexcept;
  // One connection from connect to its end; true when it had joined the channel.
  bool talk();
  // How long to wait for the server or a new line before looking again.
  unsigned long wait_timeout(bool joined, unsigned long long registration_deadline);
  // False when a line could not be sent.
  bool follow(const std::vector<irc_step>& steps, irc_connection& connection);
  bool send_due_lines(irc_connection& connection, const std::string& relay_prefix);
  // Lines queued when the connection ends are reported, not kept.
  void set_state(state s);
  void report_not_delivered(const char* why, const std::deque<outgoing_line>& lines);

  irc_settings settings_;
  std::function<void(const std::string&)> report_;
  std::mutex mutex_;
  std::condition_variable changed_;
  irc_outbox outbox_;
  bool stopping_ = false;
  state state_ = state::connecting;
  bool quit_ = false; // left on purpose: no reconnecting (session thread only)
  owned_handle wake_; // event set when the queue grows or on stop
  std::thread thread_;
};
