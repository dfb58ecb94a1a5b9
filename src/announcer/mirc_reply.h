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

// The console line for a catch-up question that was not answered (any kind
// but `answered`): the track is not sent. `target`: the question went to the
// mIRC the command was for, not another one.
void report_unanswered(const mirc_reply& reply, bool target);

// "Error: " + what + ": " + the system's text for code + " (system error N)" + after.
void report_platform_failure(const char* what, std::uint32_t code, const char* after = "");

// A late message's block is kept before any line is built: a console that
// fails on that line must not close a block mIRC may still read.
template <typename Block, typename Window, typename Thread>
void settle_reply(late_block_t<Block, Window, Thread>& kept, Block block,
                  const typename late_block_t<Block, Window, Thread>::mirc& target, const mirc_reply& reply) {
  if (reply.what == mirc_reply::kind::timed_out) kept.keep(std::move(block), target);
  if (reply.what == mirc_reply::kind::answered) kept.answered(target.thread);
  report_reply(reply);
}

// How long a busy or hung mIRC may keep the player waiting for a command, and
// how long a track may wait, all its questions together, for mIRC to say it
// has caught up with what is still queued.
inline constexpr std::uint32_t mirc_answer_timeout_ms = 3000;
inline constexpr std::uint32_t mirc_catch_up_timeout_ms = 250;
