// One TCP connection to an IRC server, line by line: it connects to an IPv4
// address, sends lines with their CR LF and gathers what arrives into an
// inbox. Its arrival event is set when something arrived or the server
// closed the connection.
#pragma once
#include "handle_owner_win32.h"
#include "irc_inbox.h"

#include <cstdint>
#include <string>

// Winsock, started for as long as the object lives.
class winsock_use {
public:
  winsock_use();
  ~winsock_use();
  winsock_use(const winsock_use&) = delete;
  winsock_use& operator=(const winsock_use&) = delete;
  bool ok() const noexcept { return ok_; }

private:
  bool ok_ = false;
};

// what, followed by the thread's last socket error: "what (error N)".
std::string socket_error_text(const char* what);

class irc_connection {
public:
  irc_connection(const std::string& host, unsigned short port);
  ~irc_connection();
  irc_connection(const irc_connection&) = delete;
  irc_connection& operator=(const irc_connection&) = delete;

  // Empty once connected and watched; otherwise why it is not.
  const std::string& failure() const noexcept { return failure_; }
  void* arrival_event() const noexcept { return arrival_.get(); }
  // Sends line and CR LF, waiting up to 5 s while the socket cannot take
  // more. False when it could not.
  bool send_line(const std::string& line);
  enum class receive_status {
    open,    // the connection goes on
    closing, // the server closed it after what is now in the inbox
    over,    // it ended; why says how
  };
  // Moves what has arrived into inbox.
  receive_status receive(irc_inbox& inbox, std::string& why);

private:
  std::uintptr_t socket_; // the platform's SOCKET
  owned_handle arrival_;
  std::string failure_;
};
