#include "irc_message.h"

namespace {

std::string_view without_line_end(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.remove_suffix(1);
  return line;
}

// Takes the next word off text, with the blanks before it.
std::string_view next_word(std::string_view& text) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    text = {};
    return {};
  }
  text.remove_prefix(start);
  const std::size_t end = text.find(' ');
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end);
  return word;
}

} // namespace

irc_message parse_irc_message(std::string_view line) {
  irc_message out;
  std::string_view rest = without_line_end(line);
  if (!rest.empty() && rest.front() == ':') {
    // The prefix runs up to the first blank, however short.
    const std::size_t end = rest.find(' ');
    out.prefix = std::string(rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  }
  out.command = std::string(next_word(rest));
  for (;;) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    if (rest[start] == ':') {
      out.params.emplace_back(rest.substr(start + 1));
      break;
    }
    out.params.emplace_back(next_word(rest));
  }
  return out;
}

bool prefix_is_user(const std::string& prefix, const std::string& nick) {
  return !nick.empty() && prefix.size() > nick.size() && prefix.compare(0, nick.size(), nick) == 0 &&
         prefix[nick.size()] == '!';
}
