// When the next command may go to mIRC, given what mIRC's queue may still hold
// of ours. A message whose sender gave up waiting still sits in mIRC's queue,
// and mIRC opens its block by name only when it starts on it: closing that
// block would lose the command, or free the name for a later delivery, whose
// command mIRC would then run for the earlier message too. The same holds for
// a message an earlier instance of the component left behind when it was
// unloaded (the player restarted during a stall): its block closed with that
// instance, and the next block made under that name would be read twice, by
// whichever mIRC holds that message, not only the one the next command goes to.
//
// Two assumptions about mIRC carry the rule: it handles the messages sent to
// the windows of one thread in order, and it opens a command's block when it
// starts on that message. Then an answer from any window of a thread to a
// later message means that thread has started on every earlier one, and has
// opened (or failed to find) each of their blocks. So what has answered is
// kept per thread: a channel switch changes the window a command goes to, not
// the thread that runs it. Portable: Block owns one block (on Windows a
// section), Window names a window, Thread the thread that owns it.
#pragma once
#include <cstddef>
#include <utility>

// Block: default-constructed empty, tested with explicit operator bool,
// move-assignment closes what it replaces, nothing it does throws. Window and
// Thread: compared with ==, copied without throwing; a default Thread names none.
template <typename Block, typename Window, typename Thread> class late_block_t {
public:
  struct mirc {
    Window window; // the window a question goes to
    Thread thread;
  };

  // Whether a command may go now. `mircs` is the one the command goes to,
  // then every mIRC on the desktop while every_mirc_asked() is false (the
  // first mIRC alone after that). ask(window) puts mIRC a question that
  // needs no block and waits only briefly: true means that window answered
  // (or is gone, with its queue). Each thread that has not answered this
  // instance is asked once, in order, and so is the thread of a late message
  // (which has not answered since); a late message whose mIRC is no longer
  // listed is asked through its own window. Null: every one answered, a held
  // block is let go, and the command may go. Otherwise the mIRC that did not
  // answer: the track is not sent, and nothing is made for it. In the steady
  // state (every mIRC has answered, none is behind) nothing is asked.
  template <typename Ask> const mirc* caught_up(const mirc* mircs, std::size_t count, Ask&& ask) {
    for (std::size_t i = 0; i < count; ++i) {
      if (has_answered(mircs[i].thread)) continue;
      if (!ask(std::as_const(mircs[i].window))) return &mircs[i];
      answered(mircs[i].thread);
    }
    if (held_ && !has_answered(held_mirc_.thread)) {
      if (!ask(std::as_const(held_mirc_.window))) return &held_mirc_;
      held_ = Block();
    }
    every_mirc_asked_ = true;
    return nullptr;
  }

  // Until every mIRC that ran when this instance began has answered it, all
  // of them are listed: only those can hold what an earlier instance left.
  // Once they have, a mIRC is asked only as the one a command goes to, or
  // for a late message of this instance; one started since cannot hold an
  // earlier instance's message.
  bool every_mirc_asked() const noexcept { return every_mirc_asked_; }

  // `thread` answered a message (a question, or a command it ran or refused):
  // it has started on everything sent to it before, a late message included.
  void answered(Thread thread) noexcept {
    if (thread == Thread() || has_answered(thread)) return;
    if (held_ && held_mirc_.thread == thread) held_ = Block();
    // Full: the oldest is forgotten, which costs it a question, never a command.
    answered_[next_] = thread;
    next_ = (next_ + 1) % capacity;
  }

  // Keeps the block of a message to `to` sent after caught_up said yes and
  // not answered in time; its thread counts as behind until it answers. The
  // block of any other message goes when its owner does: mIRC answered it, or
  // never got it.
  void keep(Block block, mirc to) noexcept {
    held_ = std::move(block);
    held_mirc_ = to;
    for (Thread& known : answered_)
      if (known == to.thread) known = Thread();
  }

  bool holding() const noexcept { return static_cast<bool>(held_); }

  // As many threads as are known to have answered; one more forgets the oldest.
  static constexpr std::size_t threads_kept = 16;

private:
  static constexpr std::size_t capacity = threads_kept;

  bool has_answered(const Thread& thread) const noexcept {
    if (thread == Thread()) return false;
    for (const Thread& known : answered_)
      if (known == thread) return true;
    return false;
  }

  Block held_{}; // the component unloading closes it
  mirc held_mirc_{};
  Thread answered_[capacity]{}; // none yet: an earlier instance may have left messages behind
  std::size_t next_ = 0;
  bool every_mirc_asked_ = false;
};
