// The stand-in's console: every line the component prints goes to standard
// output, one per line, as UTF-8 bytes.
#pragma once
#include "host/console.h"

#include <cstdio>
#include <string>
#include <vector>

class console_stdout : public console_service {
public:
  explicit console_stdout(std::FILE* out = stdout) : out_(out) {}
  void print(const char* text, std::uint32_t length) override;
  bool query_class(service_base*& out_ref, const guid& class_guid) override;
  // Every line printed so far, for the host's own checks.
  const std::vector<std::string>& lines() const noexcept { return lines_; }

private:
  std::FILE* out_;
  std::vector<std::string> lines_;
};
