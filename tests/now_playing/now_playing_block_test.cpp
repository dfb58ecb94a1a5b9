// The block's protocol without a platform: titles written and read back, the
// header's validation, copies that a write overlaps, a writer flipping titles
// on another thread, and the cut at a character boundary.
#include "now_playing/now_playing_protocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>

namespace {

using now_playing::block;

void write(block& b, const std::u16string& title) {
  now_playing::write_title(b, title.data(), static_cast<std::uint32_t>(title.size()));
}

struct read_result {
  bool ok;
  std::u16string title;
};

read_result read(const void* view, std::size_t mapped, now_playing::copy_units copy = nullptr,
                 void* context = nullptr) {
  char16_t out[now_playing::text_units];
  std::fill(std::begin(out), std::end(out), u'#');
  std::uint32_t length = 99;
  const bool ok = now_playing::read_title(view, mapped, out, length, copy, context);
  EXPECT_EQ(out[length], 0) << "the copy is terminated";
  if (!ok) {
    EXPECT_EQ(length, 0u);
  }
  return {ok, std::u16string(out, length)};
}

TEST(NowPlayingBlock, ATitleReadsBackWholeAtEveryLengthTheTextHolds) {
  block b{};
  EXPECT_FALSE(read(&b, sizeof b).ok) << "no title written yet";
  std::uint32_t sequence = b.header.sequence;
  for (const std::size_t size : {0u, 1u, 2u, 100u, 2030u, 2031u}) {
    std::u16string title(size, u'x');
    for (std::size_t i = 0; i < size; ++i)
      title[i] = static_cast<char16_t>(u'a' + i % 26);
    write(b, title);
    const read_result got = read(&b, sizeof b);
    EXPECT_TRUE(got.ok) << size;
    EXPECT_EQ(got.title, title);
    EXPECT_EQ(b.header.sequence, sequence + 2) << "one write moves the sequence by two, to an even value";
    sequence = b.header.sequence;
  }
  // The block as other programs' readers see it, little-endian: the header,
  // then each slot's length and text, the same title in both.
  const auto* bytes = reinterpret_cast<const unsigned char*>(&b);
  const unsigned char header[] = {'C', 'H', 'N', 'P', 1, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes, header, sizeof header), 0);
  for (const std::size_t slot : {16u, 4084u}) {
    EXPECT_EQ(bytes[slot], 2031 % 256);
    EXPECT_EQ(bytes[slot + 1], 2031 / 256);
    EXPECT_EQ(bytes[slot + 4], 'a');
    EXPECT_EQ(bytes[slot + 4 + 2 * 2030], 'a' + 2030 % 26);
    EXPECT_EQ(bytes[slot + 4 + 2 * 2031] | bytes[slot + 5 + 2 * 2031], 0) << "the terminator";
  }
}

// Each way a block can fail: what the reader gives is empty, never part of it.
TEST(NowPlayingBlock, ADamagedOrForeignHeaderGivesNothing) {
  const auto damaged = [](void (*damage)(block&)) {
    block b{};
    write(b, u"Windowlicker");
    damage(b);
    return read(&b, sizeof b);
  };
  EXPECT_TRUE(damaged([](block&) {}).ok);
  EXPECT_FALSE(damaged([](block& b) { b.header.mark ^= 0x20; }).ok);
  EXPECT_FALSE(damaged([](block& b) { b.header.version = 2; }).ok);
  EXPECT_FALSE(damaged([](block& b) { b.header.version = 0; }).ok);
  EXPECT_FALSE(damaged([](block& b) { b.slot[0].length = now_playing::text_units; }).ok)
      << "no room for the terminator";
  EXPECT_FALSE(damaged([](block& b) { b.slot[0].length = 0xFFFFFFFFu; }).ok);
  EXPECT_TRUE(damaged([](block& b) { b.slot[0].length = now_playing::text_units - 1; }).ok);
  // With an odd sequence readers take slot 1, whatever slot 0 holds.
  EXPECT_FALSE(damaged([](block& b) {
                 b.header.sequence |= 1;
                 b.slot[1].length = now_playing::text_units;
               }).ok);
  EXPECT_TRUE(damaged([](block& b) {
                b.header.sequence |= 1;
                b.slot[0].length = 0xFFFFFFFFu;
              }).ok);
}

// A block of that name may be smaller than ours: the reader reads nothing past
// what is mapped, which the sanitizer sees, each block being exactly that big.
TEST(NowPlayingBlock, NothingPastTheMappedBytesIsRead) {
  block source{};
  write(source, std::u16string(40, u'z'));
  for (std::size_t mapped = 0; mapped <= 20 + 2 * 42; ++mapped) {
    const auto bytes = std::make_unique<unsigned char[]>(mapped + 1);
    std::memcpy(bytes.get(), &source, mapped);
    const read_result got = read(mapped == 0 ? nullptr : bytes.get(), mapped);
    // The header, slot 0's length, 40 units and the terminator's place must be mapped.
    EXPECT_EQ(got.ok, mapped >= 20 + 2 * 41) << mapped << " bytes mapped";
    if (got.ok) {
      EXPECT_EQ(got.title, std::u16string(40, u'z'));
    }
  }
  // Any bytes at all, in blocks of any size: a title that fits, or nothing.
  std::mt19937 random(32);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t mapped = random() % (sizeof(block) + 64);
    auto bytes = std::make_unique<unsigned char[]>(mapped);
    for (std::size_t i = 0; i < mapped; ++i)
      bytes[i] = static_cast<unsigned char>(random());
    if (mapped >= 20 && round % 2 == 0) { // a plausible header over the noise
      const std::uint32_t header[5] = {now_playing::block_mark, now_playing::format_version,
                                       static_cast<std::uint32_t>(round % 5), 0,
                                       static_cast<std::uint32_t>(random() % 2100)};
      std::memcpy(bytes.get(), header, sizeof header);
    }
    const read_result got = read(bytes.get(), mapped);
    if (got.ok) {
      EXPECT_LE(20 + 2 * (got.title.size() + 1), mapped);
    }
  }
}

// A write that overlaps a copy: the copy is thrown away and made again, so
// what comes back is one whole title, never a mix; a writer that overlaps
// every copy leaves the reader empty-handed after a bounded number of tries.
struct overlapping_writer {
  block* b;
  int writes_left;
  int copies = 0;
  static void copy(char16_t* to, const volatile char16_t* from, std::uint32_t units, void* context) {
    auto& self = *static_cast<overlapping_writer*>(context);
    ++self.copies;
    for (std::uint32_t i = 0; i < units / 2; ++i)
      to[i] = from[i];
    if (self.writes_left > 0) {
      --self.writes_left;
      write(*self.b, self.copies % 2 ? u"the other, longer title" : u"one title");
    }
    for (std::uint32_t i = units / 2; i < units; ++i)
      to[i] = from[i];
  }
};

TEST(NowPlayingBlock, ACopyThatAWriteOverlapsIsMadeAgain) {
  block b{};
  write(b, u"one title");
  overlapping_writer twice{&b, 2};
  const read_result got = read(&b, sizeof b, &overlapping_writer::copy, &twice);
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(twice.copies, 3);
  EXPECT_EQ(got.title, u"one title") << "the title the last write left";

  overlapping_writer always{&b, 1 << 30};
  EXPECT_FALSE(read(&b, sizeof b, &overlapping_writer::copy, &always).ok);
  EXPECT_EQ(always.copies, static_cast<int>(now_playing::read_attempts));
}

// A writer that lost its core in the middle of a title, either slot: the
// reader copies the other one, once, and gets a whole title.
TEST(NowPlayingBlock, AWriteLeftHalfDoneLeavesTheOtherSlotToReaders) {
  block b{};
  write(b, u"the title before");
  write(b, u"the title now");
  block first_half = b;
  ++first_half.header.sequence; // odd: slot 0 is being written
  first_half.slot[0].length = 7;
  std::memcpy(first_half.slot[0].text, u"garbage", 14);
  overlapping_writer none{&first_half, 0};
  EXPECT_EQ(read(&first_half, sizeof first_half, &overlapping_writer::copy, &none).title, u"the title now");
  EXPECT_EQ(none.copies, 1);

  block second_half = b;
  second_half.header.sequence += 2; // even after slot 0 is done: slot 1 is being written
  second_half.slot[1].length = 0xFFFF;
  overlapping_writer once{&second_half, 0};
  EXPECT_EQ(read(&second_half, sizeof second_half, &overlapping_writer::copy, &once).title, u"the title now");
  EXPECT_EQ(once.copies, 1);
}

// The real race: a writer on another thread flips two titles of different
// lengths as fast as it can while this one reads.
TEST(NowPlayingBlock, ReadsAgainstAFlippingWriterAreWholeTitles) {
  block b{};
  const std::u16string titles[2] = {u"Windowlicker - Windowlicker EP", u"J\u00F3ga \U0001F3B5 - Homogenic (Live)"};
  write(b, titles[0]);
  std::atomic<bool> stop{false};
  std::atomic<long> writes{0};
  std::thread writer([&] {
    for (long i = 0; !stop.load(std::memory_order_relaxed); ++i) {
      write(b, titles[i % 2]);
      writes.store(i + 1, std::memory_order_relaxed);
    }
  });
  int seen[2] = {0, 0}, empty = 0, changes = 0;
  std::u16string last;
  for (int i = 0; i < 100000; ++i) {
    const read_result got = read(&b, sizeof b);
    if (!got.ok) {
      ++empty;
      continue;
    }
    ASSERT_TRUE(got.title == titles[0] || got.title == titles[1]) << "a mix: read " << i;
    ++seen[got.title == titles[1]];
    changes += !last.empty() && got.title != last;
    last = got.title;
  }
  stop = true;
  writer.join();
  EXPECT_GT(writes.load(), 1000) << "the writer hardly ran";
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[1], 0);
  EXPECT_GT(changes, 10) << "the reads did not overlap the writes";
  EXPECT_LE(empty, 100) << "the reader gave up too often";
}

// Every capacity around characters of one and two units: whole characters
// only, as many as fit with the terminator.
TEST(NowPlayingFit, TakesTheWholeCharactersThatFit) {
  const std::u16string text = u"ab\U0001F3B5c\U0001F3B5\U0001F3B5d";
  const auto length = static_cast<std::uint32_t>(text.size());
  for (std::size_t capacity = 0; capacity <= text.size() + 3; ++capacity) {
    const std::uint32_t units = now_playing::units_that_fit(text.data(), length, capacity);
    SCOPED_TRACE(capacity);
    EXPECT_LE(units, capacity == 0 ? 0 : capacity - 1);
    if (units > 0) {
      EXPECT_FALSE(text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) << "half a pair";
    }
    const std::size_t next = units < length && text[units] >= 0xD800 && text[units] <= 0xDBFF ? 2 : 1;
    if (units < length) {
      EXPECT_GT(units + next + 1, capacity) << "room left for the next character";
    }
  }
  EXPECT_EQ(now_playing::units_that_fit(text.data(), length, 1000), length);
  // A lone high surrogate at the end of the title is the title's own: kept.
  const std::u16string lone = u"a\xD800";
  EXPECT_EQ(now_playing::units_that_fit(lone.data(), 2, 3), 2u);
}

} // namespace
