// The client's side of one connection's start and upkeep: register as the
// nickname (another with "_" added while it is taken), join the channel once
// welcomed, answer PING. It says what to do in order; the connection does it.
#pragma once
#include "irc_message.h"

#include <string>
#include <vector>

struct irc_step {
  enum class kind {
    send,   // text: a line for the server, without CR LF; a failure ends the steps
    report, // text: a line for the user
    joined, // the channel is joined
  };
  kind what;
  std::string text;
};

class irc_registration {
public:
  irc_registration(std::string nick, std::string channel);

  // The lines that open the connection.
  std::vector<std::string> opening_lines() const;
  // What one message from the server calls for.
  std::vector<irc_step> answer(const irc_message& message);

  bool joined() const noexcept { return joined_; }
  const std::string& nick() const noexcept { return nick_; }
  // How the server names this client to others once joined ("nick!user@host").
  const std::string& relay_prefix() const noexcept { return relay_prefix_; }

private:
  std::string nick_;
  std::string channel_;
  bool joined_ = false;
  std::string relay_prefix_;
};
