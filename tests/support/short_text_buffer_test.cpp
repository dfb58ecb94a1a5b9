#include "support/pfc/exceptions.h"
#include "support/short_text_buffer.h"

#include <gtest/gtest.h>

#include <string>

TEST(ShortTextBuffer, FillsToExactly32AndRefusesMore) {
  short_text_buffer b;
  b.append_text("aaaaaaaaaabbbbbbbbbb", pfc::infinite_length);
  b.append_text("cccccccccccc", pfc::infinite_length);
  EXPECT_EQ(b.text_length(), 32u);
  EXPECT_THROW(b.append_text("d", pfc::infinite_length), pfc::exception_overflow);
  EXPECT_EQ(b.text_length(), 32u);
  EXPECT_EQ(std::string(b.text_ptr()), "aaaaaaaaaabbbbbbbbbbcccccccccccc");
  try {
    b.append_text("d", 1);
    FAIL() << "nothing was thrown";
  } catch (const pfc::exception_overflow& e) {
    EXPECT_STREQ(e.what(), "Overflow");
  }
  // An empty append at capacity is no overflow.
  b.append_text("", pfc::infinite_length);
  EXPECT_EQ(b.text_length(), 32u);
}

TEST(ShortTextBuffer, OverflowChangesNothing) {
  short_text_buffer b;
  b.append_text("0123456789", pfc::infinite_length);
  EXPECT_THROW(b.append_text("0123456789012345678901234", pfc::infinite_length), pfc::exception_overflow);
  EXPECT_EQ(b.text_length(), 10u);
  EXPECT_EQ(std::string(b.text_ptr()), "0123456789");
}

TEST(ShortTextBuffer, MaxLenLimitsTheAppend) {
  short_text_buffer b;
  b.append_text("abcdef", 3);
  EXPECT_EQ(std::string(b.text_ptr()), "abc");
  b.append_text("xy", 10);
  EXPECT_EQ(std::string(b.text_ptr()), "abcxy");
  EXPECT_EQ(b.text_length(), 5u);
  // A long text limited to what fits is accepted.
  b.append_text("0123456789012345678901234567890123456789", 27);
  EXPECT_EQ(b.text_length(), 32u);
}

TEST(ShortTextBuffer, CutAssignAndDirectWriting) {
  short_text_buffer b;
  b.assign_text("hello", pfc::infinite_length);
  b.cut_to_length(40);
  EXPECT_EQ(std::string(b.text_ptr()), "hello");
  b.cut_to_length(2);
  EXPECT_EQ(std::string(b.text_ptr()), "he");
  b.assign_text("world", 4);
  EXPECT_EQ(std::string(b.text_ptr()), "worl");

  EXPECT_EQ(b.open_buffer(32), nullptr);
  EXPECT_EQ(std::string(b.text_ptr()), "worl") << "a refused open changes nothing";
  char* p = b.open_buffer(31);
  ASSERT_EQ(p, b.text_ptr());
  EXPECT_EQ(b.text_length(), 4u) << "opening does not change the length";
  for (std::size_t i = 0; i < 33; ++i)
    EXPECT_EQ(p[i], '\0');
  p[0] = 'o';
  p[1] = 'k';
  b.close_buffer();
  EXPECT_EQ(b.text_length(), 2u);

  // Reused for a shorter text after a full one, written without a terminator:
  // nothing of the longer text may follow it.
  b.assign_text("0123456789abcdefghijklmnopqrstuv", pfc::infinite_length);
  p = b.open_buffer(3);
  ASSERT_EQ(p, b.text_ptr());
  EXPECT_EQ(std::string(p, 33), std::string(33, '\0')) << "every byte cleared, not only the three asked for";
  p[0] = 'x';
  p[1] = 'y';
  p[2] = 'z';
  b.close_buffer();
  EXPECT_EQ(b.text_length(), 3u);
  EXPECT_EQ(std::string(b.text_ptr()), "xyz");
}
