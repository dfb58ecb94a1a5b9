// A host-side text sink for the component's report operations: the same
// operations as the component's strings, kept in a std::string.
#pragma once
#include "host/string_base.h"

#include <cstring>
#include <string>

class text_sink final : public pfc::string_base {
public:
  void append_text(const char* text, std::uint32_t max_len) override { text_.append(text, measure(text, max_len)); }
  const char* text_ptr() const override { return text_.c_str(); }
  void assign_text(const char* text, std::uint32_t max_len) override { text_.assign(text, measure(text, max_len)); }
  void cut_to_length(std::uint32_t len) override {
    if (len < text_.size()) text_.resize(len);
  }
  std::uint32_t text_length() const override { return static_cast<std::uint32_t>(text_.size()); }
  char* open_buffer(std::uint32_t n) override {
    text_.assign(static_cast<std::size_t>(n) + 1, '\0');
    return text_.data();
  }
  void close_buffer() override { text_.resize(std::strlen(text_.c_str())); }

  const std::string& text() const noexcept { return text_; }

private:
  static std::size_t measure(const char* text, std::uint32_t max_len) {
    if (text == nullptr) return 0;
    std::size_t n = 0;
    while (n < max_len && text[n] != '\0')
      ++n;
    return n;
  }
  std::string text_;
};
