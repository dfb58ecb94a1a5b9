#include "console_stdout.h"
#include "host_ref.h"

#include <cstring>

void console_stdout::print(const char* text, std::uint32_t length) {
  std::string line = length == 0xFFFFFFFFu ? std::string(text) : std::string(text, length);
  if (out_) {
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
  }
  lines_.push_back(std::move(line));
}

bool console_stdout::query_class(service_base*& out_ref, const guid& class_guid) {
  if (class_guid != console_class_guid) return false;
  return host_hand_out(this, out_ref);
}
