// Playlists a person writes by hand (docs/playlist-format.md): tracks as blocks
// of "field: value" lines separated by blank lines, UTF-8.
#pragma once
#include "track_fields.h"

#include <stdexcept>
#include <string>
#include <vector>

struct playlist_entry {
  track_fields fields;
  unsigned line; // where the track's block starts, counted from 1
};

// what() is "LINE: reason".
class playlist_error : public std::runtime_error {
public:
  playlist_error(unsigned line, const std::string& reason);
  unsigned line;
};

// Throws playlist_error on a line that is neither a field, a continuation,
// a comment nor blank.
std::vector<playlist_entry> parse_playlist(const std::string& text);
