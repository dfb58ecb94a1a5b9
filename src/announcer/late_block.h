// When the next command may go to mIRC, given what mIRC's queue may still hold
// of ours. A message whose sender gave up waiting still sits in mIRC's queue,
// and mIRC opens its block by name only when it starts on it: closing that
// block would lose the command, or free the name for a later delivery, whose
// command mIRC would then run for the earlier message too. The same holds for
// a message an earlier instance of the component left behind when it was
// unloaded (the player restarted during a stall): its block closed with that
// instance, and the next block made under that name would be read twice.
//
// Two assumptions about mIRC carry the rule: it handles the messages it is
// sent in order, and it opens a command's block when it starts on that
// message. Then an answer from a window to a later message means mIRC has
// started on every earlier one, and has opened (or failed to find) each of
// their blocks. Portable: Block owns one block (on Windows a section),
// Window names the window a message went to.
#pragma once
#include <utility>

// Block: default-constructed empty, tested with explicit operator bool,
// move-assignment closes what it replaces, nothing it does throws. Window:
// default-constructed "none", compared with ==, copied without throwing.
template <typename Block, typename Window> class late_block_t {
public:
  // Whether a command may go to `target` now. ask(window) puts mIRC a question
  // that needs no block and waits only briefly: true means that window
  // answered (or is gone, with its queue). Asked first about a late message's
  // window, whose block then goes; then about `target`, unless `target` has
  // answered this instance since it last could not know. In the steady state
  // (one mIRC that answers in time) nothing is asked. False: the track is not
  // sent, and nothing is made for it.
  template <typename Ask> bool caught_up(Window target, Ask&& ask) {
    if (held_) {
      if (!ask(std::as_const(held_window_))) return false;
      held_ = Block();
      if (held_window_ == target) answered_ = target;
      held_window_ = Window();
    }
    if (answered_ == target) return true;
    if (!ask(std::as_const(target))) return false;
    answered_ = target;
    return true;
  }

  // `target` answered a command message (ran or refused it): mIRC has started
  // on everything sent to it before.
  void answered(Window target) noexcept { answered_ = target; }

  // Keeps the block of a message to `target` sent after caught_up said yes
  // and not answered in time. The block of any other message goes when its
  // owner does: mIRC answered it, or never got it.
  void keep(Block block, Window target) noexcept {
    held_ = std::move(block);
    held_window_ = target;
  }

  bool holding() const noexcept { return static_cast<bool>(held_); }

private:
  Block held_{}; // the component unloading closes it
  Window held_window_{};
  Window answered_{}; // none yet: an earlier instance may have left messages behind
};
