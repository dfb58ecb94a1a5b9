#include "command_handler_win32.h"

#include "announcer/mirc_interface.h"
#include "command_interpreter.h"
#include "shared_block_win32.h"

#include <cstdio>

namespace {

constexpr unsigned long known_method_bits = mirc_interface::known_method_bits;
// Past the component's 3000 ms, short of the five seconds without looking for
// messages after which the platform counts the window hung.
constexpr DWORD chaos_late_ms = 3500;

// Empty when the method is one the stand-in models.
std::string method_refusal(unsigned long method) {
  if (method & ~known_method_bits)
    return "method " + std::to_string(method) + ": bits " + std::to_string(method & ~known_method_bits) +
           " are not among 1|2|4|8";
  if ((method & 3) == 0) return "method " + std::to_string(method) + ": neither 1 (as typed) nor 2 (plain text)";
  return {};
}

} // namespace

command_handler::command_handler(const standin_options& options, standin_output& output, irc_session* session) noexcept
    : options_(options), output_(output), session_(session), chaos_random_(options.chaos_seed) {
  // Manual reset: once the test lets mIRC go, every later stall passes too.
  if (!options.stall_event.empty()) stall_.reset(CreateEventW(nullptr, TRUE, FALSE, options.stall_event.c_str()));
}

command_handler::fate command_handler::draw_fate() {
  if (!options_.chaos) return fate::ran;
  if (streak_left_ != 0) {
    --streak_left_;
    return fate::late;
  }
  const unsigned long* weight = options_.chaos_weights;
  unsigned long pick = chaos_random_() % (weight[0] + weight[1] + weight[2] + weight[3] + weight[4]);
  int drawn = 0;
  while (pick >= weight[drawn])
    pick -= weight[drawn++];
  if (static_cast<fate>(drawn) != fate::streak) return static_cast<fate>(drawn);
  // A mIRC busy for a while: this message and the next 1 to 4 all run late.
  streak_left_ = 1 + chaos_random_() % 4;
  return fate::late;
}

void command_handler::hang_if_asked(HWND window) {
  const bool hangs = options_.hang_count == 0 || handled_ < options_.hang_count;
  ++handled_;
  if (!hangs) return;
  // Inside the handler, not looking at messages, as a mIRC busy with a script;
  // with --stall-switch the script brings another channel to the front, and
  // closes it again before it ends.
  const HWND switched = options_.stall_switch ? bring_back_channel_to_front(window) : nullptr;
  if (stall_)
    WaitForSingleObject(stall_.get(), INFINITE);
  else if (options_.hang_ms != 0)
    Sleep(options_.hang_ms);
  if (switched != nullptr) DestroyWindow(switched);
}

// The channel at the back, now in front; null when there is no other.
HWND command_handler::bring_back_channel_to_front(HWND window) {
  const HWND back = GetWindow(window, GW_HWNDLAST);
  if (back == nullptr || back == window) return nullptr;
  SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return back;
}

// The sender has its answer; then the user brings the channel at the back to
// the front, and a script of mIRC's own keeps it busy for a while.
void command_handler::switch_channel_and_stay_busy(HWND window) {
  ReplyMessage(1);
  bring_back_channel_to_front(window);
  Sleep(options_.switch_busy_ms);
}

LRESULT command_handler::run_command(HWND window, WPARAM method, LPARAM index) {
  const fate drawn = draw_fate();
  if (drawn == fate::late)
    Sleep(chaos_late_ms);
  else
    hang_if_asked(window);
  std::string refusal =
      options_.interface_off ? "the SendMessage interface is off" : method_refusal(static_cast<unsigned long>(method));
  block_read block;
  // mIRC 6.2 and later open "mIRC<N>" for any N from 1 to 2^31-1.
  if (refusal.empty() && (index < 0 || static_cast<unsigned long long>(index) > mirc_interface::last_block_index))
    refusal = "block index " + std::to_string(static_cast<long long>(index)) + ": outside 0.." +
              std::to_string(mirc_interface::last_block_index);
  if (refusal.empty()) {
    block = read_shared_block(static_cast<long>(index), (method & 8) != 0);
    if (!block.ok) refusal = block.reason;
  }
  if (!refusal.empty()) {
    output_.refuse(refusal);
    output_.trace(static_cast<unsigned long>(method), static_cast<long>(index), "refused: " + refusal);
    return 0;
  }
  // With --chaos the command ends the trace line, so that a soak can tell
  // what became of each of its tracks.
  const std::string text = options_.chaos ? " text=" + block.text : std::string();
  if (drawn == fate::refused) {
    output_.trace(static_cast<unsigned long>(method), static_cast<long>(index), "refused: chaos" + text);
    return 0;
  }
  if (drawn == fate::quit) {
    output_.trace(static_cast<unsigned long>(method), static_cast<long>(index), "quit" + text);
    ExitProcess(0); // as a mIRC that closes, or falls over, with the message in hand
  }
  if (block.unterminated) std::fprintf(stderr, "mirc-standin: the block holds no terminator; recording all of it\n");
  output_.record(block.text);
  output_.trace(static_cast<unsigned long>(method), static_cast<long>(index),
                (drawn == fate::late ? "ran late" : "ran") + text);
  if (session_) run_on_irc(block.text, static_cast<unsigned long>(method));
  ++recorded_;
  if (options_.count != 0 && recorded_ >= options_.count) PostQuitMessage(0);
  if (options_.switch_busy_ms != 0) switch_channel_and_stay_busy(window);
  return 1;
}

void command_handler::run_on_irc(const std::string& text, unsigned long method) {
  for (auto& action : interpret_command(text, method, options_.session.channel, dlls_)) {
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
