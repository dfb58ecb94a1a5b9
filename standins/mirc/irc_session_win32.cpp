#include "irc_session_win32.h"

#include "irc_line.h"

#include <vector>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

class winsock_use {
public:
  winsock_use() {
    WSADATA data;
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~winsock_use() {
    if (ok_) WSACleanup();
  }
  winsock_use(const winsock_use&) = delete;
  winsock_use& operator=(const winsock_use&) = delete;
  bool ok() const { return ok_; }

private:
  bool ok_ = false;
};

class socket_handle {
public:
  socket_handle() : s_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
  ~socket_handle() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  socket_handle(const socket_handle&) = delete;
  socket_handle& operator=(const socket_handle&) = delete;
  SOCKET get() const { return s_; }

private:
  SOCKET s_;
};

std::string error_text(const char* what) {
  return std::string(what) + " (error " + std::to_string(WSAGetLastError()) + ")";
}

// The parts of one server line this client acts on.
struct server_line {
  std::string prefix, command, first, trailing;
};

server_line parse_server_line(const std::string& line) {
  server_line out;
  std::size_t at = 0;
  if (!line.empty() && line[0] == ':') {
    at = line.find(' ');
    out.prefix = line.substr(1, at == std::string::npos ? std::string::npos : at - 1);
    at = at == std::string::npos ? line.size() : at + 1;
  }
  const std::size_t colon = line.find(" :", at);
  const std::string middle = line.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
  if (colon != std::string::npos) out.trailing = line.substr(colon + 2);
  const std::size_t space = middle.find(' ');
  out.command = middle.substr(0, space);
  if (space != std::string::npos) {
    const std::size_t next = middle.find(' ', space + 1);
    out.first = middle.substr(space + 1, next == std::string::npos ? std::string::npos : next - space - 1);
  }
  return out;
}

} // namespace

irc_session::irc_session(irc_settings settings, std::function<void(const std::string&)> report)
    : settings_(std::move(settings)), report_(std::move(report)), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  thread_ = std::thread([this] { run(); });
}

irc_session::~irc_session() {
  {
    // Lines still queued get their time at the gate's pace before the end.
    std::unique_lock<std::mutex> lock(mutex_);
    const auto pace = std::chrono::milliseconds(settings_.flood_interval_ms * (queue_.size() + 1) + 5000);
    changed_.wait_for(lock, pace, [this] { return queue_.empty() || state_ != state::joined; });
    stopping_ = true;
  }
  SetEvent(wake_.get());
  changed_.notify_all();
  thread_.join();
  for (const auto& q : queue_)
    report_("not delivered (stopped before its turn): " + q.message);
}

void irc_session::submit(std::string message, bool flood, bool quit) {
  state now;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    now = state_;
    if (now == state::connecting || now == state::joined) {
      queue_.push_back({std::move(message), flood, quit});
      SetEvent(wake_.get());
      return;
    }
  }
  report_(std::string(now == state::quit ? "not delivered (left after /quit): " : "not delivered (not connected): ") +
          message);
}

void irc_session::set_state(state s) {
  std::deque<queued> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = s;
    if (s == state::waiting || s == state::quit) dropped.swap(queue_);
  }
  for (const auto& q : dropped)
    report_("not delivered (connection lost): " + q.message);
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
    unsigned long wait = settings_.retry_ms;
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
      if (joined) wait = settings_.retry_ms;
      report_("retrying in " + std::to_string(wait) + " ms");
      std::unique_lock<std::mutex> lock(mutex_);
      if (changed_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return stopping_; })) return;
      lock.unlock();
      wait = wait > settings_.retry_max_ms / 2 ? settings_.retry_max_ms : wait * 2;
    }
  } catch (const std::exception& e) {
    report_(std::string("the IRC connection stopped: ") + e.what());
    set_state(state::quit);
  }
}

// One connection from connect to its end; true when it had joined the channel.
bool irc_session::talk() {
  const std::string where = settings_.host + ":" + std::to_string(settings_.port);
  socket_handle s;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(settings_.port);
  if (s.get() == INVALID_SOCKET || inet_pton(AF_INET, settings_.host.c_str(), &address.sin_addr) != 1 ||
      connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    report_("cannot connect to " + where + error_text(""));
    return false;
  }
  const owned_handle readable(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!readable.get() || WSAEventSelect(s.get(), readable.get(), FD_READ | FD_CLOSE) != 0) {
    report_(error_text("cannot watch the connection"));
    return false;
  }
  report_("connected to " + where);

  bool joined = false;
  std::string nick = settings_.nick, prefix, inbox;
  flood_gate gate(settings_.flood_burst, settings_.flood_interval_ms);
  const auto send_line = [&](const std::string& line) {
    std::string wire = line + "\r\n";
    const unsigned long long give_up = GetTickCount64() + 5000;
    for (std::size_t sent = 0; sent < wire.size();) {
      const int n = send(s.get(), wire.data() + sent, static_cast<int>(wire.size() - sent), 0);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
      } else if (WSAGetLastError() == WSAEWOULDBLOCK && GetTickCount64() < give_up) {
        Sleep(5);
      } else {
        return false;
      }
    }
    return true;
  };
  const auto lost = [&](const std::string& why) {
    report_("connection to " + where + " lost: " + why);
    return joined;
  };
  if (!send_line("NICK " + nick) || !send_line("USER chirpline 0 * :mIRC stand-in"))
    return lost(error_text("cannot send"));

  const unsigned long long registration_deadline = GetTickCount64() + 15000;
  for (;;) {
    DWORD timeout = INFINITE;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return joined;
      if (!joined)
        timeout =
            static_cast<DWORD>(registration_deadline > GetTickCount64() ? registration_deadline - GetTickCount64() : 0);
      else if (!queue_.empty() && queue_.front().flood)
        timeout = static_cast<DWORD>(gate.wait_ms(GetTickCount64()));
    }
    const HANDLE handles[] = {readable.get(), wake_.get()};
    WaitForMultipleObjects(2, handles, FALSE, timeout);
    if (!joined && GetTickCount64() >= registration_deadline) return lost("no welcome or join within 15 s");

    WSANETWORKEVENTS events{};
    if (WSAEnumNetworkEvents(s.get(), readable.get(), &events) != 0) return lost(error_text("cannot read events"));
    if (events.lNetworkEvents & (FD_READ | FD_CLOSE)) {
      char buffer[4096];
      for (;;) {
        const int n = recv(s.get(), buffer, sizeof buffer, 0);
        if (n > 0) {
          inbox.append(buffer, static_cast<std::size_t>(n));
          continue;
        }
        if (n == 0) return lost("the server closed it");
        if (WSAGetLastError() != WSAEWOULDBLOCK) return lost(error_text("receive failed"));
        break;
      }
    }
    for (std::size_t end; (end = inbox.find('\n')) != std::string::npos;) {
      std::string line = inbox.substr(0, end);
      inbox.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const server_line m = parse_server_line(line);
      bool ok = true;
      if (m.command == "PING") {
        ok = send_line("PONG :" + (m.trailing.empty() ? m.first : m.trailing));
        if (ok) report_("answered PING");
      } else if (m.command == "001") {
        ok = send_line("JOIN " + settings_.channel);
      } else if (m.command == "433" && !joined) {
        nick += "_";
        report_("nick taken; trying " + nick);
        ok = send_line("NICK " + nick);
      } else if (m.command == "JOIN" && m.prefix.compare(0, nick.size() + 1, nick + "!") == 0) {
        joined = true;
        prefix = m.prefix;
        set_state(state::joined);
        report_("joined " + settings_.channel + " as " + nick);
      } else if (m.command == "ERROR") {
        report_("server says: " + m.trailing);
      }
      if (!ok) return lost(error_text("cannot send"));
    }
    if (events.lNetworkEvents & FD_CLOSE) return lost("the server closed it");

    while (joined) {
      queued next;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty() || (queue_.front().flood && gate.wait_ms(GetTickCount64()) > 0)) break;
        next = std::move(queue_.front());
        queue_.pop_front();
      }
      changed_.notify_all();
      if (next.flood) gate.take(GetTickCount64());
      const std::size_t before = next.message.size();
      if (fit_irc_line(next.message, prefix.size()))
        report_("line cut from " + std::to_string(before) + " to " + std::to_string(next.message.size()) +
                " bytes: IRC's 512-byte line as the server relays it (prefix :" + prefix + ")");
      if (!send_line(next.message)) {
        report_("not delivered (connection lost): " + next.message);
        return lost(error_text("cannot send"));
      }
      report_("sent " + std::to_string(GetTickCount64()) + " " + next.message);
      if (next.quit) quit_ = true;
    }
  }
}
