#include "command_handler_win32.h"

#include "announcer/mirc_interface.h"
#include "command_interpreter.h"
#include "shared_block_win32.h"

#include <cstdio>

namespace {

constexpr unsigned long known_method_bits = mirc_interface::known_method_bits;

// Empty when the method is one the stand-in models.
std::string method_refusal(unsigned long method) {
  if (method & ~known_method_bits)
    return "method " + std::to_string(method) + ": bits " + std::to_string(method & ~known_method_bits) +
           " are not among 1|2|4|8";
  if ((method & 3) == 0) return "method " + std::to_string(method) + ": neither 1 (as typed) nor 2 (plain text)";
  return {};
}

} // namespace

void command_handler::hang_if_asked() {
  if (options_.hang_ms != 0 && (options_.hang_count == 0 || handled_ < options_.hang_count)) Sleep(options_.hang_ms);
  ++handled_;
}

LRESULT command_handler::run_command(WPARAM method, LPARAM index) {
  hang_if_asked();
  std::string refusal =
      options_.interface_off ? "the SendMessage interface is off" : method_refusal(static_cast<unsigned long>(method));
  block_read block;
  if (refusal.empty() && (index < 0 || index > 9))
    refusal = "block index " + std::to_string(static_cast<long>(index)) + ": outside 0..9";
  if (refusal.empty()) {
    block = read_shared_block(static_cast<long>(index), (method & 8) != 0);
    if (!block.ok) refusal = block.reason;
  }
  if (!refusal.empty()) {
    output_.refuse(refusal);
    output_.trace(static_cast<unsigned long>(method), static_cast<long>(index), "refused: " + refusal);
    return 0;
  }
  if (block.unterminated) std::fprintf(stderr, "mirc-standin: the block holds no terminator; recording all of it\n");
  output_.record(block.text);
  output_.trace(static_cast<unsigned long>(method), static_cast<long>(index), "ran");
  if (session_) run_on_irc(block.text, static_cast<unsigned long>(method));
  ++recorded_;
  if (options_.count != 0 && recorded_ >= options_.count) PostQuitMessage(0);
  return 1;
}

void command_handler::run_on_irc(const std::string& text, unsigned long method) {
  for (auto& action : interpret_command(text, method, options_.session.channel)) {
    if (action.send)
      session_->submit(std::move(action.text), (method & 4) != 0, action.quit);
    else
      output_.report(action.text);
  }
}

LRESULT command_handler::refuse_message(UINT message) {
  output_.refuse("message " + std::to_string(message) + " (only 1224 is a command)");
  return 0;
}
