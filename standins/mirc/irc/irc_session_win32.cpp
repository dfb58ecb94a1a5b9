#include "irc_session_win32.h"

#include "irc_connection_win32.h"
#include "irc_line.h"
#include "irc_message.h"
#include "reconnect_backoff.h"

#include <chrono>

#include <windows.h>

irc_session::irc_session(irc_settings settings, std::function<void(const std::string&)> report)
    : settings_(std::move(settings)), report_(std::move(report)),
      outbox_(settings_.flood_burst, settings_.flood_interval_ms), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  thread_ = std::thread([this] { run(); });
}

irc_session::~irc_session() {
  {
    // Lines still queued get their time at the gate's pace before the end.
    std::unique_lock<std::mutex> lock(mutex_);
    const auto pace = std::chrono::milliseconds(settings_.flood_interval_ms * (outbox_.size() + 1) + 5000);
    changed_.wait_for(lock, pace, [this] { return outbox_.empty() || state_ != state::joined; });
    stopping_ = true;
  }
  SetEvent(wake_.get());
  changed_.notify_all();
  thread_.join();
  report_not_delivered("stopped before its turn", outbox_.take_all());
}

void irc_session::submit(std::string message, bool flood, bool quit) {
  state now;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    now = state_;
    if (now == state::connecting || now == state::joined) {
      outbox_.push({std::move(message), flood, quit});
      SetEvent(wake_.get());
      return;
    }
  }
  report_(std::string(now == state::quit ? "not delivered (left after /quit): " : "not delivered (not connected): ") +
          message);
}

void irc_session::report_not_delivered(const char* why, const std::deque<outgoing_line>& lines) {
  for (const auto& line : lines)
    report_(std::string("not delivered (") + why + "): " + line.message);
}

void irc_session::set_state(state s) {
  std::deque<outgoing_line> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = s;
    if (s == state::waiting || s == state::quit) dropped = outbox_.take_all();
  }
  report_not_delivered("connection lost", dropped);
  changed_.notify_all();
}

void irc_session::run() noexcept {
  try {
    winsock_use winsock;
    if (!winsock.ok()) {
      report_("cannot start Winsock");
      set_state(state::quit);
      return;
    }
    reconnect_backoff backoff(settings_.retry_ms, settings_.retry_max_ms);
    for (;;) {
      set_state(state::connecting);
      const bool joined = talk();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
      }
      if (quit_) {
        report_("left the server after /quit; not reconnecting");
        set_state(state::quit);
        return;
      }
      set_state(state::waiting);
      const unsigned long wait = backoff.next_wait_ms(joined);
      report_("retrying in " + std::to_string(wait) + " ms");
      std::unique_lock<std::mutex> lock(mutex_);
      if (changed_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return stopping_; })) return;
    }
  } catch (const std::exception& e) {
    report_(std::string("the IRC connection stopped: ") + e.what());
    set_state(state::quit);
  }
}

bool irc_session::talk() {
  const std::string where = settings_.host + ":" + std::to_string(settings_.port);
  irc_connection connection(settings_.host, settings_.port);
  if (!connection.failure().empty()) {
    report_(connection.failure());
    return false;
  }
  report_("connected to " + where);

  irc_registration registration(settings_.nick, settings_.channel);
  const auto lost = [&](const std::string& why) {
    report_("connection to " + where + " lost: " + why);
    return registration.joined();
  };
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outbox_.restart_gate();
  }
  for (const std::string& line : registration.opening_lines())
    if (!connection.send_line(line)) return lost(socket_error_text("cannot send"));

  const unsigned long long registration_deadline = GetTickCount64() + 15000;
  irc_inbox inbox;
  for (;;) {
    const HANDLE handles[] = {connection.arrival_event(), wake_.get()};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return registration.joined();
    }
    WaitForMultipleObjects(2, handles, FALSE, wait_timeout(registration.joined(), registration_deadline));
    if (!registration.joined() && GetTickCount64() >= registration_deadline)
      return lost("no welcome or join within 15 s");

    std::string why;
    const auto status = connection.receive(inbox, why);
    if (status == irc_connection::receive_status::over) return lost(why);
    for (std::string line; inbox.next_line(line);)
      if (!follow(registration.answer(parse_irc_message(line)), connection))
        return lost(socket_error_text("cannot send"));
    if (status == irc_connection::receive_status::closing) return lost("the server closed it");

    if (registration.joined() && !send_due_lines(connection, registration.relay_prefix()))
      return lost(socket_error_text("cannot send"));
  }
}

unsigned long irc_session::wait_timeout(bool joined, unsigned long long registration_deadline) {
  const unsigned long long now = GetTickCount64();
  if (!joined) return static_cast<DWORD>(registration_deadline > now ? registration_deadline - now : 0);
  std::lock_guard<std::mutex> lock(mutex_);
  return outbox_.empty() ? INFINITE : static_cast<DWORD>(outbox_.wait_ms(now));
}

bool irc_session::follow(const std::vector<irc_step>& steps, irc_connection& connection) {
  for (const irc_step& step : steps) {
    switch (step.what) {
    case irc_step::kind::send:
      if (!connection.send_line(step.text)) return false;
      break;
    case irc_step::kind::report:
      report_(step.text);
      break;
    case irc_step::kind::joined:
      set_state(state::joined);
      break;
    }
  }
  return true;
}

bool irc_session::send_due_lines(irc_connection& connection, const std::string& relay_prefix) {
  for (;;) {
    outgoing_line next;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!outbox_.take_due(GetTickCount64(), next)) return true;
    }
    changed_.notify_all();
    const std::size_t before = next.message.size();
    if (fit_irc_line(next.message, relay_prefix.size()))
      report_("line cut from " + std::to_string(before) + " to " + std::to_string(next.message.size()) +
              " bytes: IRC's 512-byte line as the server relays it (prefix :" + relay_prefix + ")");
    if (!connection.send_line(next.message)) {
      report_("not delivered (connection lost): " + next.message);
      return false;
    }
    report_("sent " + std::to_string(GetTickCount64()) + " " + next.message);
    if (next.quit) quit_ = true;
  }
}
