// The names of mIRC's blocks, the blocks kept for mIRC, and how the delivery
// reads each reply: what it keeps, what the host hears.
#include "announcer/mirc_blocks.h"
#include "announcer/mirc_reply.h"
#include "announcer_test_host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// A block of the test: its id, noted in `closed` when it goes.
std::vector<unsigned> closed;
struct close_note {
  void operator()(unsigned* id) const {
    closed.push_back(*id);
    delete id;
  }
};
using noted_block = std::unique_ptr<unsigned, close_note>;

using kept_t = kept_blocks_t<noted_block, int, int>;

noted_block block(unsigned id) { return noted_block(new unsigned(id)); }

// Every start lies in 1..2^31-1, whatever the seed, and seeds a tick or a
// process apart start apart; a sequence runs through 2^31-1 to 1, never to 0.
TEST(BlockNumbers, StartsSpreadOverTheWholeRangeAndNeverReachZero) {
  std::set<std::uint32_t> starts;
  for (std::uint64_t tick = 0; tick < 1000; ++tick)
    for (std::uint64_t process : {0ull, 4ull, 0xFFFFFFFFull}) {
      const std::uint32_t start = first_block_number(tick ^ (process << 32));
      EXPECT_GE(start, 1u);
      EXPECT_LE(start, 2147483647u);
      starts.insert(start);
    }
  EXPECT_EQ(starts.size(), 3000u);
  EXPECT_LE(first_block_number(~0ull), 2147483647u);
  EXPECT_GT(*starts.rbegin() - *starts.begin(), 2000000000u) << "spread over the range, not bunched";
  EXPECT_EQ(next_block_number(1), 2u);
  EXPECT_EQ(next_block_number(2147483646), 2147483647u);
  EXPECT_EQ(next_block_number(2147483647), 1u);
}

// At most 16 blocks are kept: the 17th lets the oldest go and names it. An
// answer from a thread lets go only that thread's blocks, a gone window only
// its own, and the rest go with the component.
TEST(KeptBlocks, BoundedAndLetGoByTheirOwnThreadOrWindow) {
  closed.clear();
  {
    kept_t kept;
    for (unsigned i = 1; i <= 16; ++i)
      EXPECT_EQ(kept.keep(block(i), 100 + i, 10, 1), 0u);
    EXPECT_TRUE(closed.empty());
    EXPECT_EQ(kept.keep(block(17), 117, 20, 2), 101u) << "the oldest goes";
    EXPECT_EQ(closed, std::vector<unsigned>{1});
    EXPECT_EQ(kept.size(), 16u);
    EXPECT_TRUE(kept.stalled(1));
    EXPECT_TRUE(kept.stalled(2));
    EXPECT_FALSE(kept.stalled(3));
    EXPECT_FALSE(kept.stalled(0)) << "a window whose thread is unknown is never stalled";

    kept.answered(1);
    EXPECT_EQ(closed.size(), 16u);
    EXPECT_FALSE(kept.stalled(1));
    EXPECT_TRUE(kept.stalled(2));
    EXPECT_EQ(kept.keep(block(18), 118, 30, 2), 0u);
    EXPECT_EQ(kept.keep(block(19), 119, 40, 3), 0u);
    kept.forget_gone([](int window) { return window == 20; });
    EXPECT_EQ(closed.back(), 17u);
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_TRUE(kept.stalled(2)) << "its other block, to window 30, is still kept";
  }
  std::set<unsigned> all(closed.begin(), closed.end());
  EXPECT_EQ(all.size(), 19u) << "each block closed once, the last two as the component unloads";
  EXPECT_EQ(closed.size(), 19u);
}

// --- each reply the platform can give, read by the delivery ---

// A console that fails on its `fail_at`th line (0: never), after which it
// prints again.
class failing_console : public console_stdout {
public:
  failing_console() : console_stdout(nullptr) {}
  void print(const char* text, std::uint32_t length) override {
    if (++printed == fail_at) throw std::runtime_error("the console failed");
    console_stdout::print(text, length);
  }
  unsigned fail_at = 0, printed = 0;
};

struct reply_case {
  mirc_reply reply;
  const char* line;
};

// Only an unanswered message's block is kept, also when its line cannot be
// printed, and its thread counts as stalled until it answers; a console
// failure reaches the host for every line but the one after a command mIRC
// ran, which was announced whatever the console does.
TEST(MircReply, EachReplyKeepsOnlyAnUnansweredBlockAndReportsTheTruth) {
  const reply_case cases[] = {
      {{mirc_reply::kind::answered, 1, 0}, "Chirpline: Successful"},
      {{mirc_reply::kind::answered, 2, 0}, "Chirpline: Successful"},
      {{mirc_reply::kind::answered, 0, 0},
       "Error: mIRC refused the command (its SendMessage interface may be off, or Corvane runs as administrator and "
       "mIRC does not); track not announced"},
      {{mirc_reply::kind::timed_out, 0, 0},
       "Error: mIRC did not answer within 3000 ms; the command stays in its shared block should mIRC run it late"},
      {{mirc_reply::kind::hung, 0, 0}, "Error: mIRC is not responding; track not announced"},
      {{mirc_reply::kind::gone, 0, 1400},
       "Error: the mIRC window closed before it took the command; track not announced"},
      {{mirc_reply::kind::failed, 0, 5}, "Error: sending the command to mIRC failed: "},
  };
  for (const reply_case& c : cases) {
    for (unsigned fail_at : {0u, 1u}) {
      SCOPED_TRACE(testing::Message() << c.line << ", console failing at line " << fail_at);
      announcer_test_host host;
      auto console = make_host_service<failing_console>();
      console->fail_at = fail_at;
      host.registry.remove_all(console_class_guid);
      host.registry.add(console_class_guid, console.get());
      closed.clear();
      kept_t kept;
      kept.keep(block(6), 1006, 5, 50); // an earlier command to the same mIRC, unanswered
      bool raised = false;
      try {
        settle_reply(kept, block(7), 1007u, 5, 50, false, c.reply);
      } catch (const std::runtime_error&) {
        raised = true;
      }
      const bool late = c.reply.what == mirc_reply::kind::timed_out;
      const bool answered = c.reply.what == mirc_reply::kind::answered;
      EXPECT_EQ(kept.size(), late ? 2u : answered ? 0u : 1u);
      EXPECT_EQ(kept.stalled(50), !answered) << "only an answer says what mIRC started on";
      const std::vector<unsigned> closed_now = late       ? std::vector<unsigned>{}
                                               : answered ? std::vector<unsigned>{6, 7}
                                                          : std::vector<unsigned>{7};
      EXPECT_EQ(closed, closed_now);
      const bool ran = answered && c.reply.answer != 0;
      EXPECT_EQ(raised, fail_at == 1 && !ran);
      if (fail_at == 0) {
        ASSERT_EQ(console->lines().size(), 1u);
        EXPECT_EQ(console->lines()[0].rfind(c.line, 0), 0u) << console->lines()[0];
      }
    }
  }
}

// Later commands of a stall say so; the seventeenth unanswered names the
// block that went for it, after its own line.
TEST(MircReply, AStallSaysItIsStillBusyAndNamesABlockLetGo) {
  announcer_test_host host;
  kept_t kept;
  for (unsigned i = 0; i < 17; ++i)
    settle_reply(kept, block(i), 2147483631u + i, 5, 50, i != 0, {mirc_reply::kind::timed_out, 0, 0});
  ASSERT_EQ(host.lines().size(), 18u);
  EXPECT_EQ(host.lines()[1], "Error: mIRC is still busy with an earlier command; this one stays in its shared block "
                             "should mIRC run it late");
  EXPECT_EQ(host.lines()[16], host.lines()[1]);
  EXPECT_EQ(host.lines()[17], "Error: the shared block mIRC2147483631 was let go, the oldest of 16 commands mIRC "
                              "has not answered; that track may be lost");
}

} // namespace
