// When the next command may go after mIRC was slow, fed track after track, and
// how the delivery reads each reply: what it holds, what the host hears.
#include "announcer/late_block.h"
#include "announcer/mirc_reply.h"
#include "announcer_test_host.h"

#include <gtest/gtest.h>

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

class LateBlock : public testing::Test {
protected:
  LateBlock() { closed.clear(); }
  // One track to mIRC window `window` as the delivery runs it, each question
  // answered as `answers` says: false when the track is skipped. A sent
  // track's block is kept when its message was late and closes otherwise.
  bool track(int window, bool late, bool answers = true) {
    asked_.clear();
    if (!rule_->caught_up(window, [&](int asked) {
          asked_.push_back(asked);
          return answers;
        }))
      return false;
    noted_block block(new unsigned(made_++));
    if (late)
      rule_->keep(std::move(block), window);
    else
      rule_->answered(window);
    return true;
  }
  // The ids of the blocks not closed, each closed at most once.
  std::set<unsigned> open() const {
    std::set<unsigned> open;
    for (unsigned id = 0; id < made_; ++id)
      open.insert(id);
    for (unsigned id : closed)
      EXPECT_EQ(open.erase(id), 1u) << "block " << id << " closed twice";
    return open;
  }

  unsigned made_ = 0;
  std::vector<int> asked_;
  std::unique_ptr<late_block_t<noted_block, int>> rule_ = std::make_unique<late_block_t<noted_block, int>>();
};

// A new instance asks before its first block (an earlier one may have left a
// message queued); then a window that answered is not asked again until a
// message to it is late, and then only that window is asked. At most one
// block is held however many tracks in a row are slow, and the first quick
// track leaves none.
TEST_F(LateBlock, AskedFirstThenOnlyWhileABlockIsHeld) {
  EXPECT_TRUE(track(1, false));
  EXPECT_EQ(asked_, std::vector<int>{1});
  for (unsigned i = 1; i <= 10; ++i) {
    ASSERT_TRUE(track(1, true));
    EXPECT_EQ(asked_, i > 1 ? std::vector<int>{1} : std::vector<int>{});
    EXPECT_EQ(open(), std::set<unsigned>{i});
  }
  EXPECT_TRUE(track(1, false));
  EXPECT_EQ(open(), std::set<unsigned>{});
  EXPECT_TRUE(track(1, false));
  EXPECT_EQ(asked_, std::vector<int>{}) << "the steady state asks nothing";
  EXPECT_FALSE(rule_->holding());
}

// No answer: the track is skipped, nothing is made for it and a late block
// stays, as often as mIRC stays silent; the first answer sends again. So for
// a window never heard from (a new instance, a new mIRC): it is asked until
// it answers. The held block's window gone and another found, both are asked.
// The component unloading closes a block still held.
TEST_F(LateBlock, UntilMircCatchesUpTracksAreSkippedAndUnloadClosesTheBlock) {
  for (int fate : {0, 1, 2}) {
    rule_ = std::make_unique<late_block_t<noted_block, int>>();
    const unsigned late = made_;
    track(1, true);
    for (int i = 0; i < 3; ++i) {
      EXPECT_FALSE(track(1, false, false));
      EXPECT_EQ(made_, late + 1) << "a skipped track makes no block";
      EXPECT_EQ(open(), std::set<unsigned>{late});
    }
    if (fate == 0) rule_.reset();
    if (fate == 1) {
      EXPECT_TRUE(track(1, false, true));
    } else if (fate == 2) {
      EXPECT_TRUE(track(2, false, true));
      EXPECT_EQ(asked_, (std::vector<int>{1, 2}));
    }
    EXPECT_EQ(open(), std::set<unsigned>{});
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(track(3, false, false));
    EXPECT_EQ(asked_, std::vector<int>{3});
  }
  EXPECT_TRUE(track(3, false, true));
  EXPECT_TRUE(track(3, false, false)) << "answered once, not asked again";
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

// Only a late message's block is kept, also when its line cannot be printed;
// a console failure reaches the host for every line but the one after a
// command mIRC ran, which was announced whatever the console does.
TEST(MircReply, EachReplyKeepsOnlyALateBlockAndReportsTheTruth) {
  const reply_case cases[] = {
      {{mirc_reply::kind::answered, 1, 0}, "Chirpline: Successful"},
      {{mirc_reply::kind::answered, 2, 0}, "Chirpline: Successful"},
      {{mirc_reply::kind::answered, 0, 0},
       "Error: mIRC refused the command (its SendMessage interface may be off, or Corvane runs as administrator and "
       "mIRC does not); track not announced"},
      {{mirc_reply::kind::timed_out, 0, 0},
       "Error: mIRC did not answer within 3000 ms; the command stays in its shared block should mIRC run it late"},
      {{mirc_reply::kind::hung, 0, 0}, "Error: mIRC is not responding; track not announced"},
      {{mirc_reply::kind::failed, 0, 1400}, "Error: sending the command to mIRC failed: "},
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
      late_block_t<noted_block, int> rule;
      bool raised = false;
      try {
        settle_reply(rule, noted_block(new unsigned(7)), 5, c.reply);
      } catch (const std::runtime_error&) {
        raised = true;
      }
      const bool late = c.reply.what == mirc_reply::kind::timed_out;
      EXPECT_EQ(rule.holding(), late);
      EXPECT_EQ(closed, late ? std::vector<unsigned>{} : std::vector<unsigned>{7});
      bool asked = false;
      rule.caught_up(5, [&](int) { return asked = true; });
      EXPECT_EQ(asked, c.reply.what != mirc_reply::kind::answered) << "only an answer says what mIRC started on";
      const bool ran = c.reply.what == mirc_reply::kind::answered && c.reply.answer != 0;
      EXPECT_EQ(raised, fail_at == 1 && !ran);
      if (fail_at == 0) {
        ASSERT_EQ(console->lines().size(), 1u);
        EXPECT_EQ(console->lines()[0].rfind(c.line, 0), 0u) << console->lines()[0];
      }
    }
  }
}

} // namespace
