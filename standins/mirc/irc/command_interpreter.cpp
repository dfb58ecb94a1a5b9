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

void run_line(std::vector<mirc_action>& out, const std::string& line, unsigned long method, const std::string& channel,
              mirc_dlls* dlls);

// /dll file proc data (a name or path without blanks), or /dll -u file.
void run_dll(std::vector<mirc_action>& out, const std::string& rest, const std::string& channel, mirc_dlls* dlls) {
  if (dlls == nullptr) {
    out.push_back(report("unknown command /dll: not sent"));
    return;
  }
  if (rest.compare(0, 3, "-u ") == 0) {
    const std::string file = rest.substr(3);
    out.push_back(report(dlls->unload(file) ? "dll: unloaded " + file : "dll: " + file + " is not loaded"));
    return;
  }
  const std::size_t gap = rest.find(' ');
  if (gap == std::string::npos || gap == 0) {
    out.push_back(report("/dll: insufficient parameters"));
    return;
  }
  const std::size_t proc_end = rest.find(' ', gap + 1);
  const std::string proc = rest.substr(gap + 1, proc_end == std::string::npos ? std::string::npos : proc_end - gap - 1);
  const dll_reply reply =
      dlls->call(rest.substr(0, gap), proc, proc_end == std::string::npos ? std::string() : rest.substr(proc_end + 1));
  if (reply.code < 0) out.push_back(report("/dll: " + reply.data));
  // 2: data is a command for mIRC, run as typed; mIRC does not evaluate it.
  if (reply.code == 2)
    run_line(out, reply.data.empty() || reply.data[0] == '/' ? reply.data : "/" + reply.data, 1, channel, nullptr);
}

// One command, its leading "/" already taken off.
void run_command(std::vector<mirc_action>& out, const std::string& command, const std::string& channel,
                 mirc_dlls* dlls) {
  const std::size_t space = command.find(' ');
  // "!" before a name asks for mIRC's own command, never a script's alias of
  // that name; the stand-in has no aliases.
  const std::string name = lower(command.substr(command[0] == '!' ? 1 : 0, space - (command[0] == '!' ? 1 : 0)));
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
  } else if (name == "echo") {
    // Shown in the window only; its switches (-a and the like) say where.
    std::string text = rest;
    while (text.size() > 1 && text[0] == '-') {
      const std::size_t gap = text.find(' ');
      text = gap == std::string::npos ? std::string() : text.substr(gap + 1);
    }
    out.push_back(report("echo: " + text));
  } else if (name == "dll") {
    run_dll(out, rest, channel, dlls);
  } else if (name == "quit") {
    out.push_back(send(rest.empty() ? std::string("QUIT") : "QUIT :" + rest, true));
  } else {
    out.push_back(report("unknown command /" + command.substr(0, space) + ": not sent"));
  }
}

void run_line(std::vector<mirc_action>& out, const std::string& line, unsigned long method, const std::string& channel,
              mirc_dlls* dlls) {
  if ((method & 2) != 0 || line.empty() || line[0] != '/') {
    say(out, channel, line);
    return;
  }
  const bool evaluate = line.size() > 1 && line[1] == '/';
  if (evaluate && dlls == nullptr) {
    out.push_back(report("//: evaluating identifiers is not modelled; not run"));
    return;
  }
  // "|" separates commands; the blanks around it belong to no command, and a
  // command after it may or may not repeat the "/". The line is split before
  // anything is evaluated, so a "|" in a value is text.
  std::size_t start = evaluate ? 2 : 1;
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
    if (from < to && evaluate) {
      std::string command, complaint;
      if (!evaluate_line(line.substr(from, to - from), *dlls, command, complaint)) {
        out.push_back(report("//: " + complaint + "; not run"));
        return; // mIRC halts the rest of the line too
      }
      if (!command.empty()) run_command(out, command, channel, dlls);
    } else if (from < to) {
      run_command(out, line.substr(from, to - from), channel, dlls);
    }
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
}

} // namespace

std::vector<mirc_action> interpret_command(const std::string& text, unsigned long method, const std::string& channel,
                                           mirc_dlls* dlls) {
  std::vector<mirc_action> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n", start);
    run_line(out, text.substr(start, end == std::string::npos ? std::string::npos : end - start), method, channel,
             dlls);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}
