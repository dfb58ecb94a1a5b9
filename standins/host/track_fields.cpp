#include "track_fields.h"

std::string ascii_lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

void track_fields::add(const std::string& name, const std::string& value) {
  const std::string key = ascii_lower(name);
  for (auto& field : fields_) {
    if (field.first == key) {
      field.second += ", " + value;
      return;
    }
  }
  fields_.emplace_back(key, value);
}

const std::string* track_fields::find(const std::string& name) const {
  const std::string key = ascii_lower(name);
  for (const auto& field : fields_)
    if (field.first == key) return &field.second;
  return nullptr;
}
