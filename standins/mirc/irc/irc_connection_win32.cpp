#include "irc_connection_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

winsock_use::winsock_use() {
  WSADATA data;
  ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

winsock_use::~winsock_use() {
  if (ok_) WSACleanup();
}

std::string socket_error_text(const char* what) {
  return std::string(what) + " (error " + std::to_string(WSAGetLastError()) + ")";
}

irc_connection::irc_connection(const std::string& host, unsigned short port)
    : socket_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)), arrival_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (socket_ == INVALID_SOCKET || inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
      connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    failure_ = "cannot connect to " + host + ":" + std::to_string(port) + socket_error_text("");
  } else if (!arrival_.get() || WSAEventSelect(socket_, arrival_.get(), FD_READ | FD_CLOSE) != 0) {
    failure_ = socket_error_text("cannot watch the connection");
  }
}

irc_connection::~irc_connection() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

bool irc_connection::send_line(const std::string& line) {
  const std::string wire = line + "\r\n";
  const unsigned long long give_up = GetTickCount64() + 5000;
  for (std::size_t sent = 0; sent < wire.size();) {
    const int n = send(socket_, wire.data() + sent, static_cast<int>(wire.size() - sent), 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (WSAGetLastError() == WSAEWOULDBLOCK && GetTickCount64() < give_up) {
      Sleep(5);
    } else {
      return false;
    }
  }
  return true;
}

irc_connection::receive_status irc_connection::receive(irc_inbox& inbox, std::string& why) {
  WSANETWORKEVENTS events{};
  if (WSAEnumNetworkEvents(socket_, arrival_.get(), &events) != 0) {
    why = socket_error_text("cannot read events");
    return receive_status::over;
  }
  if ((events.lNetworkEvents & (FD_READ | FD_CLOSE)) == 0) return receive_status::open;
  char buffer[4096];
  for (;;) {
    const int n = recv(socket_, buffer, sizeof buffer, 0);
    if (n > 0) {
      inbox.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) {
      why = "the server closed it";
      return receive_status::over;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      why = socket_error_text("receive failed");
      return receive_status::over;
    }
    return (events.lNetworkEvents & FD_CLOSE) != 0 ? receive_status::closing : receive_status::open;
  }
}
