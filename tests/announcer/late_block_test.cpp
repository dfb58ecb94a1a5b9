// When the next command may go after mIRC was slow, fed track after track, and
// how the delivery reads each reply: what it holds, what the host hears.
#include "announcer/late_block.h"
#include "announcer/mirc_reply.h"
#include "announcer_test_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// Owns block `id` of the test; notes the id when it closes.
class noted_block {
public:
  noted_block() = default;
  noted_block(unsigned id, std::vector<unsigned>& closed) : id_(id), closed_(&closed) {}
  noted_block(noted_block&& other) noexcept : id_(other.id_), closed_(std::exchange(other.closed_, nullptr)) {}
  noted_block& operator=(noted_block&& other) noexcept {
    close();
    id_ = other.id_;
    closed_ = std::exchange(other.closed_, nullptr);
    return *this;
  }
  ~noted_block() { close(); }
  explicit operator bool() const noexcept { return closed_ != nullptr; }
  unsigned id() const noexcept { return id_; }

private:
  void close() noexcept {
    if (closed_) closed_->push_back(id_);
    closed_ = nullptr;
  }
  unsigned id_ = 0;
  std::vector<unsigned>* closed_ = nullptr;
};

using ids = std::set<unsigned>;

class LateBlock : public testing::Test {
protected:
  // One track as the delivery runs it, mIRC answering the catch-up question
  // or not: false when the track is skipped. A sent track's block is kept
  // when its message was late and closes otherwise.
  bool track(bool late, bool answers = true) {
    asked_about_.reset();
    if (!rule_->caught_up([&](const noted_block& held) {
          asked_about_ = held.id();
          return answers;
        }))
      return false;
    noted_block block(next_id_++, closed_);
    open_.insert(block.id());
    if (late) rule_->keep(std::move(block));
    return true;
  }
  // The blocks still open, after taking note of every one closed since.
  ids open() {
    for (unsigned id : closed_)
      if (open_.erase(id) == 0) ADD_FAILURE() << "block " << id << " closed twice";
    closed_.clear();
    return open_;
  }

  std::vector<unsigned> closed_;
  ids open_;
  unsigned next_id_ = 0;
  std::optional<unsigned> asked_about_;
  std::unique_ptr<late_block_t<noted_block>> rule_ = std::make_unique<late_block_t<noted_block>>();
};

// mIRC is asked only while a block is held, about that block; an answer lets
// it go before the next block is made, so at most one is ever held however
// many tracks in a row are slow, and the first quick track leaves none.
TEST_F(LateBlock, SlowTracksHoldOneBlockAtATimeAndAQuickOneNone) {
  EXPECT_TRUE(track(false));
  EXPECT_FALSE(asked_about_) << "nothing was held: no question";
  EXPECT_EQ(open(), ids{});
  for (unsigned i = 1; i <= 10; ++i) {
    ASSERT_TRUE(track(true));
    if (i > 1) {
      EXPECT_EQ(asked_about_, std::optional<unsigned>(i - 1));
    }
    EXPECT_EQ(open(), ids{i});
    EXPECT_TRUE(rule_->holding());
  }
  EXPECT_TRUE(track(false));
  EXPECT_EQ(open(), ids{});
  EXPECT_FALSE(rule_->holding());
}

// No answer: the track is skipped, nothing is made for it and the late block
// stays, as often as mIRC stays silent; the first answer sends again.
TEST_F(LateBlock, UntilMircCatchesUpTracksAreSkippedAndTheBlockKept) {
  track(true);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(track(false, false));
    EXPECT_EQ(next_id_, 1u) << "a skipped track makes no block";
    EXPECT_EQ(open(), ids{0});
  }
  EXPECT_TRUE(track(false, true));
  EXPECT_EQ(open(), ids{});
}

// The component unloading with a late block held closes it, once.
TEST_F(LateBlock, UnloadClosesTheHeldBlock) {
  track(true);
  EXPECT_FALSE(track(false, false));
  rule_.reset();
  EXPECT_EQ(open(), ids{});
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
      std::vector<unsigned> closed;
      late_block_t<noted_block> rule;
      bool raised = false;
      try {
        settle_reply(rule, noted_block(7, closed), c.reply);
      } catch (const std::runtime_error&) {
        raised = true;
      }
      const bool late = c.reply.what == mirc_reply::kind::timed_out;
      EXPECT_EQ(rule.holding(), late);
      EXPECT_EQ(closed, late ? std::vector<unsigned>{} : std::vector<unsigned>{7});
      const bool ran = c.reply.what == mirc_reply::kind::answered && c.reply.answer != 0;
      EXPECT_EQ(raised, fail_at == 1 && !ran);
      if (fail_at == 0) {
        ASSERT_EQ(console->lines().size(), 1u);
        EXPECT_EQ(console->lines()[0].rfind(c.line, 0), 0u) << console->lines()[0];
      }
    }
  }
}

// The platform's own words and number for a failed send.
TEST(MircReply, AFailedSendNamesTheSystemsErrorAfterItsText) {
  announcer_test_host host;
  report_reply({mirc_reply::kind::failed, 0, 1400});
  ASSERT_EQ(host.lines().size(), 1u);
  const std::string& line = host.lines()[0];
  const std::string prefix = "Error: sending the command to mIRC failed: ";
  EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
  EXPECT_GT(line.size(), prefix.size() + std::string(" (system error 1400)").size()) << line;
  EXPECT_EQ(line.substr(line.size() - 20), " (system error 1400)") << line;
}

} // namespace
