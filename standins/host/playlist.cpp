#include "playlist.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && is_blank(text[begin]))
    ++begin;
  while (end > begin && is_blank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

} // namespace

playlist_error::playlist_error(unsigned at, const std::string& reason)
    : std::runtime_error(std::to_string(at) + ": " + reason), line(at) {}

std::vector<playlist_entry> parse_playlist(const std::string& text) {
  std::vector<playlist_entry> entries;
  playlist_entry current{{}, 0};
  // Fields are added when complete, since continuation lines extend them.
  std::string name, value;
  bool in_block = false, have_field = false;

  auto finish_field = [&] {
    if (have_field) current.fields.add(name, value);
    have_field = false;
  };
  auto finish_block = [&] {
    finish_field();
    if (!current.fields.empty()) entries.push_back(std::move(current));
    current = playlist_entry{{}, 0};
    in_block = false;
  };

  std::size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  unsigned line_number = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\0') != std::string::npos) throw playlist_error(line_number, "the line holds a zero byte");

    if (trimmed(line).empty()) {
      finish_block();
      continue;
    }
    if (line[0] == '#') continue;
    if (is_blank(line[0])) {
      if (!have_field) throw playlist_error(line_number, "a continuation line needs a field line before it");
      value += '\n';
      value += trimmed(line);
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) throw playlist_error(line_number, "expected \"field: value\"");
    const std::string field = trimmed(line.substr(0, colon));
    if (field.empty()) throw playlist_error(line_number, "the field name is empty");
    finish_field();
    if (!in_block) {
      current.line = line_number;
      in_block = true;
    }
    name = field;
    value = trimmed(line.substr(colon + 1));
    have_field = true;
  }
  finish_block();
  return entries;
}
