// The names of mIRC's command blocks and the blocks mIRC may still read.
// mIRC opens "mIRC<N>" for a message whose second parameter is N, any N from
// 1 to 2^31-1, when it starts on that message. Every command gets a number
// this instance has never used, so a message that runs late can only find its
// own command, or none; never another's. A block whose message mIRC has not
// answered is kept, so that mIRC finds it whenever it gets to it. Portable:
// Block owns one block (on Windows a section), Window names a window, Thread
// the thread that owns it.
#pragma once
#include "announcer/mirc_interface.h"

#include <cstddef>
#include <cstdint>
#include <utility>

inline constexpr std::uint32_t last_block_number = mirc_interface::last_block_index;

// An instance's first number, spread over 1 to 2^31-1 by splitmix64's
// finaliser, so that seeds a tick or a process apart land far apart.
constexpr std::uint32_t first_block_number(std::uint64_t seed) noexcept {
  seed = (seed ^ (seed >> 30)) * 0xBF58476D1CE4E5B9u;
  seed = (seed ^ (seed >> 27)) * 0x94D049BB133111EBu;
  seed ^= seed >> 31;
  return static_cast<std::uint32_t>(seed % last_block_number) + 1;
}

constexpr std::uint32_t next_block_number(std::uint32_t number) noexcept {
  return number >= last_block_number ? 1 : number + 1;
}

// Block: default-constructed empty, move-assignment closes what it replaces,
// nothing it does throws. Window and Thread: compared with ==, copied without
// throwing; a default Thread names none.
template <typename Block, typename Window, typename Thread> class kept_blocks_t {
public:
  static constexpr std::size_t most = 16;

  // A message to `thread` went unanswered and none it sent since: the next
  // command to it waits only briefly.
  bool stalled(const Thread& thread) const noexcept {
    for (std::size_t i = 0; i < count_; ++i)
      if (kept_[i].thread == thread && thread != Thread()) return true;
    return false;
  }

  // Keeps the block of an unanswered message. With `most` kept already the
  // oldest goes: its number is returned (0 when none went), for a message
  // mIRC had not started on would find no block.
  std::uint32_t keep(Block block, std::uint32_t number, Window window, Thread thread) noexcept {
    std::uint32_t dropped = 0;
    if (count_ == most) {
      dropped = kept_[0].number;
      for (std::size_t i = 1; i < most; ++i)
        kept_[i - 1] = std::move(kept_[i]);
      --count_;
    }
    kept_[count_++] = entry{std::move(block), number, window, thread};
    return dropped;
  }

  // `thread` answered a later message, so it has started on every earlier
  // one and opened its block. Were that wrong, a command would be lost,
  // never run twice: no name comes back.
  void answered(const Thread& thread) noexcept {
    drop_if([&](const entry& e) { return e.thread == thread; });
  }

  // Lets go the blocks of messages to windows that are gone: no window, no
  // message left to run.
  template <typename Gone> void forget_gone(Gone&& gone) noexcept {
    drop_if([&](const entry& e) { return gone(e.window); });
  }

  std::size_t size() const noexcept { return count_; }

private:
  struct entry {
    Block block;
    std::uint32_t number = 0;
    Window window{};
    Thread thread{};
  };

  template <typename Drop> void drop_if(Drop&& drop) noexcept {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count_; ++i)
      if (!drop(std::as_const(kept_[i]))) {
        if (kept != i) kept_[kept] = std::move(kept_[i]);
        ++kept;
      }
    for (std::size_t i = kept; i < count_; ++i)
      kept_[i].block = Block();
    count_ = kept;
  }

  entry kept_[most]{}; // oldest first; the component unloading closes them all
  std::size_t count_ = 0;
};
