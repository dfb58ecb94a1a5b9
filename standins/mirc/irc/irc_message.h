// One line from an IRC server taken apart: [":" prefix " "] command
// {" " parameter} [" :" trailing parameter]. Runs of blanks separate the
// parts; no length limit is assumed.
#pragma once
#include <string>
#include <string_view>
#include <vector>

struct irc_message {
  std::string prefix;              // without its ':'; empty when the line has none
  std::string command;             // a word ("PING", "JOIN") or a three-digit reply ("001")
  std::vector<std::string> params; // the trailing parameter last, without its ':'
};

// line with or without its CR LF.
irc_message parse_irc_message(std::string_view line);

// Whether prefix names the user nick ("nick!user@host"); a server's name never does.
bool prefix_is_user(const std::string& prefix, const std::string& nick);
