// What the platform said of one command message, what that means for the
// late block, and the console lines that tell the user. Portable, so that the
// delivery's reading of every reply can be tested without Windows.
#pragma once
#include "announcer/late_block.h"

#include <cstdint>
#include <utility>

struct mirc_reply {
  enum class kind {
    answered,  // mIRC handled the message; `answer` is what it returned
    timed_out, // the wait ran out while mIRC was busy with it
    hung,      // the platform knew mIRC hung and did not send
    failed,    // the send failed; `error` is the platform's code
  };
  kind what;
  std::uintptr_t answer = 0;
  std::uint32_t error = 0;
};

// The console line for the reply. A command mIRC ran was announced, so its
// line raises nothing; the other lines pass on a console's failure.
void report_reply(const mirc_reply& reply);

// "Error: " + what + ": " + the system's text for code + " (system error N)".
void report_platform_failure(const char* what, std::uint32_t code);

// A late message's block is kept before any line is built: a console that
// fails on that line must not close a block mIRC may still read.
template <typename Block, typename Window>
void settle_reply(late_block_t<Block, Window>& late, Block block, Window target, const mirc_reply& reply) {
  if (reply.what == mirc_reply::kind::timed_out) late.keep(std::move(block), target);
  if (reply.what == mirc_reply::kind::answered) late.answered(target);
  report_reply(reply);
}

// How long a busy or hung mIRC may keep the player waiting for a command, and
// how long for the question whether it has caught up with a late one.
inline constexpr std::uint32_t mirc_answer_timeout_ms = 3000;
inline constexpr std::uint32_t mirc_catch_up_timeout_ms = 250;
