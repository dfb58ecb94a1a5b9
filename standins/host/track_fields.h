// A track's metadata as the stand-in host knows it: named text fields, names
// compared without regard to ASCII letter case.
#pragma once
#include <string>
#include <utility>
#include <vector>

class track_fields {
public:
  // A field named twice keeps both values, joined by ", ".
  void add(const std::string& name, const std::string& value);
  // Null when the track has no such field.
  const std::string* find(const std::string& name) const;
  const std::vector<std::pair<std::string, std::string>>& all() const noexcept { return fields_; }
  bool empty() const noexcept { return fields_.empty(); }

private:
  std::vector<std::pair<std::string, std::string>> fields_; // lower-case name, value
};

std::string ascii_lower(std::string text);
