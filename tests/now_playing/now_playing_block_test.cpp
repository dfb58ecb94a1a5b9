// The block's protocol without a platform: titles written and read back, the
// header's checks, blocks smaller than ours, copies that a write overlaps, a
// writer stalled mid-title, a block closed and taken over, what a client gets
// of any block, and the cut at a character boundary. (The real race, a player
// flipping titles, is tests/mirc_dll's.)
#include "now_playing/now_playing_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

using now_playing::block;

void write(block& b, const std::u16string& title) {
  now_playing::write_title(b, title.data(), static_cast<std::uint32_t>(title.size()));
}

// Each read_result in the order it is declared.
const char16_t* word_of(now_playing::read_result result) {
  static const char16_t* const words[] = {u"<title>", u"<empty>", u"<closed>", u"<not ours>", u"<changing>"};
  return words[static_cast<int>(result)];
}

// The title read, or why there is none ("<not ours>" and the like); an
// empty title is "".
std::u16string read(const void* view, std::size_t mapped, now_playing::copy_units copy = nullptr,
                    void* context = nullptr) {
  char16_t out[now_playing::text_units];
  std::uint32_t length = 99;
  const auto result = now_playing::read_title(view, mapped, out, length, copy, context);
  EXPECT_EQ(out[length], 0);
  if (result == now_playing::read_result::title || result == now_playing::read_result::empty) {
    EXPECT_EQ(result == now_playing::read_result::empty, length == 0);
    return std::u16string(out, length);
  }
  EXPECT_EQ(length, 0u) << "a length without a title";
  return word_of(result);
}

// What other programs' readers see, little-endian: the header, then each
// slot's length and text, the same title in both; the sequence two more.
TEST(NowPlayingBlock, TitlesReadBackWholeAndLaidOutAsDocumented) {
  block b{};
  EXPECT_EQ(read(&b, sizeof b), u"<not ours>") << "no title written yet";
  for (const std::size_t size : {0u, 1u, 2030u, 2031u, 2032u, 2033u, 5000u}) {
    std::u16string title(size, u'x');
    for (std::size_t i = 0; i < size; ++i)
      title[i] = static_cast<char16_t>(u'a' + i % 26);
    write(b, title);
    EXPECT_EQ(read(&b, sizeof b), title.substr(0, 2031)) << size;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(&b);
  EXPECT_EQ(std::memcmp(bytes, "CHNP\x01\0\0\0\x0E\0\0\0\0\0\0\0", 16), 0);
  for (const std::size_t slot : {16u, 4084u}) {
    EXPECT_EQ(bytes[slot] | bytes[slot + 1] << 8, 2031);
    EXPECT_EQ(bytes[slot + 4 + 2 * 2030], 'a' + 2030 % 26);
    EXPECT_EQ(bytes[slot + 4 + 2 * 2031] | bytes[slot + 5 + 2 * 2031], 0) << "the terminator";
  }
}

// Each way a block can fail its checks gives nothing, never part of a title.
TEST(NowPlayingBlock, ADamagedOrForeignBlockGivesNothing) {
  const auto damaged = [](void (*damage)(block&)) {
    block b{};
    write(b, u"Windowlicker");
    damage(b);
    return read(&b, sizeof b);
  };
  EXPECT_EQ(damaged([](block& b) { b.header.mark ^= 0x20; }), u"<not ours>");
  EXPECT_EQ(damaged([](block& b) { b.header.version = 2; }), u"<not ours>");
  EXPECT_EQ(damaged([](block& b) { b.header.state = 2; }), u"<not ours>");
  EXPECT_EQ(damaged([](block& b) { b.slot[0].length = 2032; }), u"<not ours>") << "no terminator";
  EXPECT_EQ(damaged([](block& b) { b.slot[0].length = 0xFFFFFFFFu; }), u"<not ours>");
  EXPECT_EQ(damaged([](block& b) { b.slot[0].length = 3; }), u"Win");

  // A block of that name may be smaller than ours: nothing past what is
  // mapped is read (the sanitizer sees it, each block being just that big).
  block source{};
  write(source, std::u16string(40, u'z'));
  for (std::size_t mapped = 0; mapped <= 20 + 2 * 42; ++mapped) {
    const auto bytes = std::make_unique<unsigned char[]>(mapped + 1);
    std::memcpy(bytes.get(), &source, mapped);
    EXPECT_EQ(read(bytes.get(), mapped), mapped >= 20 + 2 * 41 ? std::u16string(40, u'z') : u"<not ours>") << mapped;
  }
}

// A copy that a write overlaps is made again, so what comes back is one whole
// title, never a mix; a writer overlapping every copy leaves the reader
// empty-handed after a bounded number of tries.
struct overlapping_writer {
  block* b;
  int writes_left;
  int copies = 0;
  static void copy(char16_t* to, const volatile char16_t* from, std::uint32_t units, void* context) {
    auto& self = *static_cast<overlapping_writer*>(context);
    ++self.copies;
    for (std::uint32_t i = 0; i < units; ++i) {
      if (i == units / 2 && self.writes_left-- > 0) write(*self.b, self.copies % 2 ? u"another, longer title" : u"one");
      to[i] = from[i];
    }
  }
};

TEST(NowPlayingBlock, ACopyThatAWriteOverlapsIsMadeAgain) {
  block b{};
  write(b, u"one");
  overlapping_writer twice{&b, 2};
  EXPECT_EQ(read(&b, sizeof b, &overlapping_writer::copy, &twice), u"one");
  EXPECT_EQ(twice.copies, 3);
  overlapping_writer always{&b, 1 << 30};
  EXPECT_EQ(read(&b, sizeof b, &overlapping_writer::copy, &always), u"<changing>");
  EXPECT_EQ(always.copies, static_cast<int>(now_playing::read_attempts));
}

// A writer that lost its core in the middle of a title, in either slot: the
// reader copies the other slot, once, and gets a whole title.
TEST(NowPlayingBlock, AWriteLeftHalfDoneLeavesTheOtherSlotToReaders) {
  block b{};
  write(b, u"the title now");
  for (const std::uint32_t step : {1u, 2u}) { // odd: slot 0 being written; even again: slot 1
    block stalled = b;
    stalled.header.sequence += step;
    stalled.slot[step - 1].length = 0xFFFF;
    overlapping_writer none{&stalled, 0};
    EXPECT_EQ(read(&stalled, sizeof stalled, &overlapping_writer::copy, &none), u"the title now");
    EXPECT_EQ(none.copies, 1);
  }
}

// A player that quits marks its block closed: a reader that still holds it
// finds no title, and a reader of the format that knows no state an empty
// one. The next player takes over only a closed block of this format and of
// full size, once; anything else stays as it was.
TEST(NowPlayingBlock, AClosedBlockGivesNoTitleAndOnlyItIsTakenOver) {
  block b{};
  write(b, u"last title");
  now_playing::close_block(b);
  EXPECT_EQ(read(&b, sizeof b), u"<closed>");
  const auto* bytes = reinterpret_cast<const unsigned char*>(&b);
  EXPECT_EQ(std::memcmp(bytes + 12, "\x01\0\0\0\0\0\0\0", 8), 0) << "closed, and slot 0 empty";
  EXPECT_EQ(std::memcmp(bytes + 4084, "\0\0\0\0\0\0", 6), 0) << "slot 1 empty";

  block foreign = b;
  foreign.header.mark ^= 1;
  block newer = b;
  newer.header.version = 2;
  for (block* other : {&foreign, &newer}) {
    const block before = *other;
    EXPECT_FALSE(now_playing::take_over(*other, sizeof *other));
    EXPECT_EQ(std::memcmp(other, &before, sizeof before), 0) << "touched";
  }
  EXPECT_FALSE(now_playing::take_over(b, sizeof b - 1)) << "smaller than ours";
  EXPECT_EQ(read(&b, sizeof b), u"<closed>");
  EXPECT_TRUE(now_playing::take_over(b, sizeof b));
  EXPECT_FALSE(now_playing::take_over(b, sizeof b)) << "a second player";
  EXPECT_EQ(read(&b, sizeof b), u"");
  write(b, u"next title");
  EXPECT_EQ(read(&b, sizeof b), u"next title");
}

// Whoever wrote the block, a client gets no '|' and no control character but
// mIRC's formatting codes, cut to its buffer at a character boundary with a
// terminator; a block that is not a title gives it nothing.
TEST(NowPlayingClient, GetsTheTitleMadeSafeAndCutWhoeverWroteTheBlock) {
  block b{};
  std::u16string raw(u"\r\nQUIT :x|y");
  for (char16_t unit = 0; unit < 0x80; ++unit)
    raw += unit;
  raw += u"\u00A6\u0085\U0001F3B5";
  b.header = {0x504E4843, 1, 4, 0};
  b.slot[0].length = static_cast<std::uint32_t>(raw.size());
  std::copy(raw.begin(), raw.end(), b.slot[0].text);
  b.slot[0].text[raw.size()] = u'#'; // a writer that left no terminator

  const std::u16string expected_low(u"  \x02\x03\x04          \x0F \x11    \x16      \x1D\x1E\x1F", 32);
  std::u16string printable;
  for (char16_t unit = 0x20; unit < 0x7F; ++unit)
    printable += unit == u'|' ? u'\u00A6' : unit;
  const std::u16string expected = u"  QUIT :x\u00A6y" + expected_low + printable + u" \u00A6\u0085\U0001F3B5";
  const auto client = [&b](std::size_t capacity) {
    char16_t out[now_playing::text_units];
    std::uint32_t units = 99;
    const auto result = now_playing::read_client_title(&b, sizeof b, capacity, out, units);
    EXPECT_EQ(out[units], 0);
    return std::u16string(word_of(result)) + std::u16string(out, units);
  };
  EXPECT_EQ(client(2032), u"<title>" + expected);
  EXPECT_EQ(client(expected.size()), u"<title>" + expected.substr(0, expected.size() - 2)) << "not half a pair";
  EXPECT_EQ(client(1), u"<title>");
  b.header.state = 1;
  EXPECT_EQ(client(2032), u"<closed>");
  b.header.version = 0;
  EXPECT_EQ(client(2032), u"<not ours>");
}

// Every capacity around characters of one and two units: as many whole
// characters as fit with the terminator, never the high half of a pair.
TEST(NowPlayingFit, TakesTheWholeCharactersThatFit) {
  const std::u16string text = u"ab\U0001F3B5c\U0001F3B5\U0001F3B5d";
  const std::size_t expected[] = {0, 0, 1, 2, 2, 4, 5, 5, 7, 7, 9, 10, 10};
  for (std::size_t capacity = 0; capacity < sizeof expected / sizeof expected[0]; ++capacity)
    EXPECT_EQ(now_playing::units_that_fit(text.data(), 10, capacity), expected[capacity]) << capacity;
  EXPECT_EQ(now_playing::units_that_fit(u"a\xD800", 2, 3), 2u) << "a lone high half that is the title's own";
}

} // namespace
