// The block of a message mIRC did not answer in time, and when the next
// command may go. A message whose sender gave up waiting still sits in mIRC's
// queue, and mIRC opens its block by name only when it gets to it: closing
// that block would lose the command, or free the name for a later delivery,
// whose command mIRC would then run for the earlier message too. mIRC handles
// its messages in order, one at a time, so an answer to any later message
// means it is done with the late one. Portable: Block owns one block (on
// Windows a section and the window its message went to).
#pragma once
#include <utility>

// Block: default-constructed empty, tested with explicit operator bool,
// move-assignment closes what it replaces, nothing it does throws.
template <typename Block> class late_block_t {
public:
  // Whether a new command may go to mIRC now. While a late message is
  // unanswered, ask(held block) puts mIRC a question that needs no block and
  // waits only briefly: true means it answered, so it has handled the late
  // message too and the block can go. Otherwise the new track is not sent:
  // sending it would keep the player waiting the full bound once more for
  // every track of one stall, and would need a second name.
  template <typename Ask> bool caught_up(Ask&& ask) {
    if (!held_) return true;
    if (!ask(std::as_const(held_))) return false;
    held_ = Block();
    return true;
  }

  // Keeps the block of a message sent after caught_up said yes and not
  // answered in time. The block of any other message goes when its owner
  // does: mIRC answered it, or never got it.
  void keep(Block block) noexcept { held_ = std::move(block); }

  bool holding() const noexcept { return static_cast<bool>(held_); }

private:
  Block held_{}; // the component unloading closes it
};
