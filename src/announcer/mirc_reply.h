// What the platform said of one command message, what that means for the
// kept blocks, and the console lines that tell the user. Portable, so that the
// delivery's reading of every reply can be tested without Windows.
#pragma once
#include "announcer/mirc_blocks.h"

#include <cstdint>
#include <utility>

struct mirc_reply {
  enum class kind {
    answered,  // mIRC handled the message; `answer` is what it returned
    timed_out, // the wait ran out while mIRC was busy
    hung,      // the platform knew mIRC hung and did not send
    gone,      // the window closed before mIRC took the message
    failed,    // the send failed; `error` is the platform's code
  };
  kind what;
  std::uintptr_t answer = 0;
  std::uint32_t error = 0;
};

// The console lines for the reply. `stalled`: an earlier command to the same
// mIRC was still unanswered when this one went. A command mIRC ran was
// announced, so its line raises nothing; the other lines pass on a console's
// failure.
void report_reply(const mirc_reply& reply, bool stalled);

// "Error: the shared block mIRC<number> of an unanswered command was let go; ..."
void report_dropped_block(std::uint32_t number);

// "Error: " + what + ": " + the system's text for code + " (system error N)" + after.
void report_platform_failure(const char* what, std::uint32_t code, const char* after = "");

// An unanswered message's block is kept before any line is built: a console
// that fails on that line must not close a block mIRC may still read.
template <typename Block, typename Window, typename Thread>
void settle_reply(kept_blocks_t<Block, Window, Thread>& kept, Block block, std::uint32_t number, Window window,
                  Thread thread, bool stalled, const mirc_reply& reply) {
  std::uint32_t dropped = 0;
  if (reply.what == mirc_reply::kind::timed_out) dropped = kept.keep(std::move(block), number, window, thread);
  if (reply.what == mirc_reply::kind::answered) kept.answered(thread);
  report_reply(reply, stalled);
  if (dropped != 0) report_dropped_block(dropped);
}

// How long a busy or hung mIRC may keep the player waiting for the first
// command of a stall, and for each later one to the same mIRC until it answers.
inline constexpr std::uint32_t mirc_answer_timeout_ms = 3000;
inline constexpr std::uint32_t mirc_stall_wait_ms = 250;
