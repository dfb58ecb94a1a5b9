#include "irc_registration.h"

#include <utility>

namespace {
irc_step send(std::string line) { return {irc_step::kind::send, std::move(line)}; }
irc_step report(std::string text) { return {irc_step::kind::report, std::move(text)}; }
} // namespace

irc_registration::irc_registration(std::string nick, std::string channel)
    : nick_(std::move(nick)), channel_(std::move(channel)) {}

std::vector<std::string> irc_registration::opening_lines() const {
  return {"NICK " + nick_, "USER chirpline 0 * :mIRC stand-in"};
}

std::vector<irc_step> irc_registration::answer(const irc_message& message) {
  const std::string& command = message.command;
  if (command == "PING") {
    // The server's token comes back as it came, whether or not it was trailing.
    std::string token;
    for (const std::string& p : message.params)
      if (!p.empty()) token = p;
    return {send("PONG :" + token), report("answered PING")};
  }
  if (command == "001") return {send("JOIN " + channel_)};
  if (command == "433" && !joined_) {
    nick_ += "_";
    return {report("nick taken; trying " + nick_), send("NICK " + nick_)};
  }
  if (command == "JOIN" && prefix_is_user(message.prefix, nick_)) {
    joined_ = true;
    relay_prefix_ = message.prefix;
    return {{irc_step::kind::joined, {}}, report("joined " + channel_ + " as " + nick_)};
  }
  if (command == "ERROR") return {report("server says: " + (message.params.empty() ? "" : message.params.back()))};
  return {};
}
