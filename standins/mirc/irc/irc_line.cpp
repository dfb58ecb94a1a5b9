#include "irc_line.h"

namespace {

constexpr std::size_t irc_line_bytes = 512; // CR LF included

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

bool fit_irc_line(std::string& message, std::size_t prefix_size) {
  const std::size_t relay = prefix_size ? prefix_size + 2 : 0; // ":" prefix " "
  const std::size_t budget = irc_line_bytes - 2 > relay ? irc_line_bytes - 2 - relay : 0;
  if (message.size() <= budget) return false;
  const std::size_t text = message.find(" :");
  const bool ctcp =
      message.back() == '\x01' && text != std::string::npos && message.size() > text + 2 && message[text + 2] == '\x01';
  std::size_t keep = ctcp && budget > 0 ? budget - 1 : budget;
  while (keep > 0 && continuation(message[keep]))
    --keep;
  message.resize(keep);
  if (ctcp) message += '\x01';
  return true;
}
