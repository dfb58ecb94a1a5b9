// Which shared blocks stay open, fed the outcomes of delivery after delivery.
#include "announcer/late_blocks.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

// Owns block `index` of the test; notes the index when it closes.
class noted_block {
public:
  noted_block() = default;
  noted_block(unsigned index, std::vector<unsigned>& closed) : index_(index), closed_(&closed) {}
  noted_block(noted_block&& other) noexcept : index_(other.index_), closed_(std::exchange(other.closed_, nullptr)) {}
  noted_block& operator=(noted_block&& other) noexcept {
    close();
    index_ = other.index_;
    closed_ = std::exchange(other.closed_, nullptr);
    return *this;
  }
  ~noted_block() { close(); }

private:
  void close() noexcept {
    if (closed_) closed_->push_back(index_);
    closed_ = nullptr;
  }
  unsigned index_ = 0;
  std::vector<unsigned>* closed_ = nullptr;
};

using names = std::set<unsigned>;

class LateBlocks : public testing::Test {
protected:
  LateBlocks() { closed_.reserve(64); }

  // Makes a block under the first name no open block has, as the delivery
  // does, feeds what came of its message and returns the name.
  unsigned deliver(mirc_outcome what) {
    unsigned index = 0;
    while (open_.count(index) != 0)
      ++index;
    blocks_->made(index, noted_block(index, closed_));
    open_.insert(index);
    blocks_->outcome(what);
    settle();
    return index;
  }
  // The names still open, after taking note of every block closed since.
  names held() {
    settle();
    return open_;
  }
  // The component unloads (and, for the next case, loads again).
  void unload() { blocks_ = std::make_unique<late_blocks_t<noted_block>>(); }

private:
  void settle() {
    for (unsigned index : closed_)
      if (open_.erase(index) == 0) ADD_FAILURE() << "block " << index << " closed twice";
    closed_.clear();
  }
  std::vector<unsigned> closed_;
  names open_;
  std::unique_ptr<late_blocks_t<noted_block>> blocks_ = std::make_unique<late_blocks_t<noted_block>>();
};

TEST_F(LateBlocks, ADeliveryThatIsNotLateClosesItsOwnBlock) {
  for (mirc_outcome reply : {mirc_outcome::ran, mirc_outcome::refused, mirc_outcome::not_sent}) {
    EXPECT_EQ(deliver(reply), 0u);
    EXPECT_EQ(held(), names{});
  }
}

// Each late block keeps its name, the next delivery takes a new one, and
// mIRC's answer to a later message, 1 or 0, closes them all.
TEST_F(LateBlocks, EveryLateBlockIsHeldUntilALaterAnswer) {
  for (mirc_outcome reply : {mirc_outcome::ran, mirc_outcome::refused}) {
    for (unsigned late = 1; late <= 3; ++late) {
      SCOPED_TRACE(testing::Message() << late << " late, then " << (reply == mirc_outcome::ran ? "ran" : "refused"));
      unload();
      names expected;
      for (unsigned i = 0; i < late; ++i) {
        expected.insert(deliver(mirc_outcome::timed_out));
        EXPECT_EQ(held(), expected);
      }
      EXPECT_EQ(deliver(reply), late);
      EXPECT_EQ(held(), names{});
    }
  }
}

// A message mIRC never got says nothing of the earlier ones.
TEST_F(LateBlocks, ADeliveryNotSentClosesOnlyItsOwnBlock) {
  deliver(mirc_outcome::timed_out);
  EXPECT_EQ(deliver(mirc_outcome::not_sent), 1u);
  EXPECT_EQ(held(), names{0});
  EXPECT_EQ(deliver(mirc_outcome::timed_out), 1u);
  EXPECT_EQ(deliver(mirc_outcome::not_sent), 2u);
  EXPECT_EQ(held(), (names{0, 1}));
  deliver(mirc_outcome::ran);
  EXPECT_EQ(held(), names{});
}

TEST_F(LateBlocks, AllTenNamesCanBeHeldAndUnloadClosesThem) {
  for (unsigned i = 0; i < 10; ++i)
    deliver(mirc_outcome::timed_out);
  EXPECT_EQ(held(), (names{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  unload();
  EXPECT_EQ(held(), names{});
}

} // namespace
