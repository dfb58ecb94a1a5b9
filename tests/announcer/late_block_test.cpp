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

using rule_t = late_block_t<noted_block, int, int>;
using mirc = rule_t::mirc;

class LateBlock : public testing::Test {
protected:
  LateBlock() { closed.clear(); }
  // One track as the delivery runs it: `mircs` are the command's window and
  // every mIRC window, each {window, thread}; a window in `silent_` does not
  // answer. Returns the thread of the mIRC that held the track back, or 0
  // when it was sent. A sent track's block is kept when its message was late
  // and closes otherwise (its thread answered).
  int track(const std::vector<mirc>& mircs, bool late) {
    asked_.clear();
    const mirc* held_back = rule_->caught_up(mircs.data(), mircs.size(), [&](int window) {
      asked_.push_back(window);
      return silent_.count(window) == 0;
    });
    if (held_back) return held_back->thread;
    noted_block block(new unsigned(made_++));
    if (late)
      rule_->keep(std::move(block), mircs.front());
    else
      rule_->answered(mircs.front().thread);
    return 0;
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
  std::set<int> silent_;
  std::unique_ptr<rule_t> rule_ = std::make_unique<rule_t>();
};

// One mIRC, thread 1: its main window 11, and in front either channel 10 or,
// after a switch, channel 12.
const std::vector<mirc> one_mirc = {{10, 1}, {11, 1}};
const std::vector<mirc> switched = {{12, 1}, {11, 1}};

// A new instance asks before its first block (an earlier one may have left a
// message queued), one question for the thread whatever its windows; then a
// thread that answered is not asked again, whichever channel is in front,
// until a message to it is late, and then only once a track. At most one
// block is held however many tracks in a row are slow, and the first quick
// track leaves none.
TEST_F(LateBlock, AskedFirstThenOnlyWhileABlockIsHeld) {
  EXPECT_EQ(track(one_mirc, false), 0);
  EXPECT_EQ(asked_, std::vector<int>{10});
  for (unsigned i = 1; i <= 10; ++i) {
    const auto& mircs = i % 2 ? switched : one_mirc;
    ASSERT_EQ(track(mircs, true), 0);
    EXPECT_EQ(asked_, i > 1 ? std::vector<int>{mircs[0].window} : std::vector<int>{});
    EXPECT_EQ(open(), std::set<unsigned>{i});
  }
  EXPECT_EQ(track(one_mirc, false), 0);
  EXPECT_EQ(open(), std::set<unsigned>{});
  for (const auto* mircs : {&switched, &one_mirc, &switched}) {
    EXPECT_EQ(track(*mircs, false), 0);
    EXPECT_EQ(asked_, std::vector<int>{}) << "the steady state asks nothing, a channel switch included";
  }
  EXPECT_FALSE(rule_->holding());
}

// Every mIRC on the desktop answers before the first command, each thread
// once; one that does not holds every track back, and nothing is made for
// it, until it answers; then it is not asked again, and the others need not
// be listed any more. A late message in a mIRC
// that is no longer in front is asked after, through the listed mIRCs or,
// once its mIRC is no longer listed, through its own window.
TEST_F(LateBlock, EveryMircAnswersBeforeACommandGoes) {
  const std::vector<mirc> two = {{10, 1}, {11, 1}, {21, 2}};
  silent_ = {21};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(track(two, false), 2);
    EXPECT_EQ(asked_, (i == 0 ? std::vector<int>{10, 21} : std::vector<int>{21})) << "track " << i;
  }
  EXPECT_EQ(made_, 0u);
  EXPECT_FALSE(rule_->every_mirc_asked()) << "every mIRC is still listed";
  silent_.clear();
  EXPECT_EQ(track(two, false), 0);
  EXPECT_EQ(asked_, std::vector<int>{21});
  EXPECT_TRUE(rule_->every_mirc_asked());
  EXPECT_EQ(track(two, false), 0);
  EXPECT_EQ(asked_, std::vector<int>{});

  // Late in mIRC 1; mIRC 2 comes to the front.
  EXPECT_EQ(track(two, true), 0);
  const std::vector<mirc> two_front = {{20, 2}, {21, 2}, {11, 1}};
  silent_ = {11};
  EXPECT_EQ(track(two_front, false), 1);
  EXPECT_EQ(open(), std::set<unsigned>{made_ - 1});
  // mIRC 1 quit: its window 10 is asked, and counts as answered once gone.
  silent_ = {10};
  EXPECT_EQ(track({{20, 2}, {21, 2}}, false), 1);
  EXPECT_EQ(asked_, std::vector<int>{10});
  silent_.clear();
  EXPECT_EQ(track({{20, 2}, {21, 2}}, false), 0);
  EXPECT_EQ(open(), std::set<unsigned>{});
}

// No answer: the track is skipped, nothing is made for it and a late block
// stays, as often as mIRC stays silent; the first answer sends again. The
// component unloading closes a block still held.
TEST_F(LateBlock, UntilMircCatchesUpTracksAreSkippedAndUnloadClosesTheBlock) {
  for (bool unload : {true, false}) {
    rule_ = std::make_unique<rule_t>();
    const unsigned late = made_;
    EXPECT_EQ(track(one_mirc, true), 0);
    silent_ = {10};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(track(one_mirc, false), 1);
      EXPECT_EQ(made_, late + 1) << "a skipped track makes no block";
      EXPECT_EQ(open(), std::set<unsigned>{late});
    }
    silent_.clear();
    if (unload)
      rule_.reset();
    else
      EXPECT_EQ(track(one_mirc, false), 0);
    EXPECT_EQ(open(), std::set<unsigned>{});
  }
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
      rule_t rule;
      bool raised = false;
      try {
        settle_reply(rule, noted_block(new unsigned(7)), mirc{5, 50}, c.reply);
      } catch (const std::runtime_error&) {
        raised = true;
      }
      const bool late = c.reply.what == mirc_reply::kind::timed_out;
      EXPECT_EQ(rule.holding(), late);
      EXPECT_EQ(closed, late ? std::vector<unsigned>{} : std::vector<unsigned>{7});
      bool asked = false;
      const mirc again{6, 50}; // another channel of the same mIRC
      rule.caught_up(&again, 1, [&](int) { return asked = true; });
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

// A question that was not answered holds the track back: the line says whether
// the mIRC the command was for or another one kept it, and, when the platform
// refused the question, why, as a failed send does.
TEST(MircReply, AnUnansweredQuestionSaysWhichMircAndWhy) {
  struct {
    mirc_reply reply;
    bool target;
    const char* line;
  } const cases[] = {
      {{mirc_reply::kind::timed_out, 0, 0},
       true,
       "Error: mIRC is still busy with an earlier command; track not announced"},
      {{mirc_reply::kind::timed_out, 0, 0},
       false,
       "Error: another mIRC is still busy with an earlier command; track not announced"},
      {{mirc_reply::kind::hung, 0, 0}, true, "Error: mIRC is not responding; track not announced"},
      {{mirc_reply::kind::hung, 0, 0}, false, "Error: another mIRC is not responding; track not announced"},
      {{mirc_reply::kind::failed, 0, 1400}, true, "Error: asking mIRC whether it has caught up failed: "},
      {{mirc_reply::kind::failed, 0, 1400}, false, "Error: asking another mIRC whether it has caught up failed: "},
  };
  for (const auto& c : cases) {
    announcer_test_host host;
    report_unanswered(c.reply, c.target);
    ASSERT_EQ(host.lines().size(), 1u);
    const std::string& line = host.lines()[0];
    if (c.reply.what != mirc_reply::kind::failed) {
      EXPECT_EQ(line, c.line);
      continue;
    }
    const std::string end = " (system error 1400); track not announced";
    ASSERT_GT(line.size(), std::string(c.line).size() + end.size()) << "the system's text is in the line: " << line;
    EXPECT_EQ(line.rfind(c.line, 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - end.size()), end);
  }
}

} // namespace
