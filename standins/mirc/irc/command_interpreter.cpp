#include "command_interpreter.h"

#include <cctype>

namespace {

std::string lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

mirc_action send(std::string message, bool quit = false) { return {true, std::move(message), quit}; }
mirc_action report(std::string text) { return {false, std::move(text), false}; }

void say(std::vector<mirc_action>& out, const std::string& target, const std::string& text) {
  if (text.empty()) return; // mIRC sends nothing for an empty line
  out.push_back(send("PRIVMSG " + target + " :" + text));
}

// One command, its leading "/" already taken off.
void run_command(std::vector<mirc_action>& out, const std::string& command, const std::string& channel) {
  const std::size_t space = command.find(' ');
  const std::string name = lower(command.substr(0, space));
  const std::string rest = space == std::string::npos ? std::string() : command.substr(space + 1);
  if (name == "me") {
    if (rest.empty())
      out.push_back(report("/me: insufficient parameters"));
    else
      out.push_back(send("PRIVMSG " + channel +
                         " :\x01"
                         "ACTION " +
                         rest + "\x01"));
  } else if (name == "say") {
    if (rest.empty())
      out.push_back(report("/say: insufficient parameters"));
    else
      say(out, channel, rest);
  } else if (name == "msg") {
    const std::size_t gap = rest.find(' ');
    if (gap == std::string::npos || gap == 0 || gap + 1 == rest.size())
      out.push_back(report("/msg: insufficient parameters"));
    else
      say(out, rest.substr(0, gap), rest.substr(gap + 1));
  } else if (name == "quit") {
    out.push_back(send(rest.empty() ? std::string("QUIT") : "QUIT :" + rest, true));
  } else {
    out.push_back(report("unknown command /" + command.substr(0, space) + ": not sent"));
  }
}

void run_line(std::vector<mirc_action>& out, const std::string& line, unsigned long method,
              const std::string& channel) {
  if ((method & 2) != 0 || line.empty() || line[0] != '/') {
    say(out, channel, line);
    return;
  }
  if (line.size() > 1 && line[1] == '/') {
    out.push_back(report("//: evaluating identifiers is not modelled; not run"));
    return;
  }
  // "|" separates commands; the blanks around it belong to no command, and a
  // command after it may or may not repeat the "/".
  std::size_t start = 1;
  for (bool first = true;; first = false) {
    const std::size_t bar = line.find('|', start);
    std::size_t from = start, to = bar == std::string::npos ? line.size() : bar;
    if (!first)
      while (from < to && line[from] == ' ')
        ++from;
    if (bar != std::string::npos)
      while (to > from && line[to - 1] == ' ')
        --to;
    if (!first && from < to && line[from] == '/') ++from;
    if (from < to) run_command(out, line.substr(from, to - from), channel);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
}

} // namespace

std::vector<mirc_action> interpret_command(const std::string& text, unsigned long method, const std::string& channel) {
  std::vector<mirc_action> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n", start);
    run_line(out, text.substr(start, end == std::string::npos ? std::string::npos : end - start), method, channel);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}
