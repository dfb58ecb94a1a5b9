// What the server sent, gathered into whole lines: a line ends at LF (a CR
// before it is dropped); the bytes after the last LF wait for the rest of
// their line.
#pragma once
#include <cstddef>
#include <string>

class irc_inbox {
public:
  void append(const char* bytes, std::size_t size) { pending_.append(bytes, size); }
  // Takes the next whole line, without its line end; false when none is whole yet.
  bool next_line(std::string& line);

private:
  std::string pending_;
};
