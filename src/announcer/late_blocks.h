// Which shared blocks stay open after mIRC was slow to answer. A message whose
// sender gave up waiting still sits in mIRC's queue, and mIRC opens its block
// by name only when it gets to it: closing that block would lose the command,
// or free the name for a later delivery, whose command mIRC would then run for
// the earlier message too. mIRC handles its messages in order, one at a time,
// so any answer to a later message, a refusal as well, means it is done with
// every earlier block. Portable: Block owns one block (a section on Windows).
#pragma once
#include "announcer/mirc_interface.h"

#include <array>
#include <utility>

// What came of the message that named the block made last.
enum class mirc_outcome {
  ran,       // mIRC answered 1
  refused,   // mIRC answered 0
  timed_out, // no answer in time; the message may still be in mIRC's queue
  not_sent,  // mIRC never got the message (no window, known hung, a failure)
};

// Block: default-constructed empty, move-assignment closes what it replaces,
// nothing it does throws.
template <typename Block> class late_blocks_t {
public:
  // The delivery made block `index`, whose name no held block has (a held
  // block keeps its name taken), and sends mIRC the message naming it.
  void made(unsigned index, Block block) noexcept {
    blocks_[index] = std::move(block);
    sending_ = index;
  }

  // Every block held stays held until mIRC answers a later message; at most
  // the ten names can be held, and the destructor (unload) closes them all.
  void outcome(mirc_outcome what) noexcept {
    if (what == mirc_outcome::ran || what == mirc_outcome::refused) {
      for (Block& block : blocks_)
        block = Block();
    } else if (what == mirc_outcome::not_sent && sending_ != none) {
      blocks_[sending_] = Block();
    }
    sending_ = none;
  }

private:
  static constexpr unsigned none = mirc_interface::block_names;
  std::array<Block, mirc_interface::block_names> blocks_{};
  unsigned sending_ = none;
};
