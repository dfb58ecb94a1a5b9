// Growth and shrink rules of the two string variants, direct writing, the
// overlap rule, and the promise that a failure leaves a string as it was.
#include "allocation_probe.h"
#include "block_inspector.h"
#include "support/pfc/string8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <string>

namespace {

template <typename S> std::string text_of(const S& s) { return std::string(s.text_ptr(), s.text_length()); }

// Everything observable about a string, including the raw block.
struct string_state {
  std::string text;
  std::uint32_t length;
  const char* block;
  std::uint32_t size;
  std::uint32_t allocation;
  std::string bytes;

  template <typename S> static string_state of(const S& s) {
    const char* block = block_data(s);
    return {std::string(s.text_ptr()),
            s.text_length(),
            block,
            block_size(s),
            block_allocation(s),
            block ? std::string(block, block_allocation(s)) : std::string()};
  }
  bool operator==(const string_state& o) const {
    return text == o.text && length == o.length && block == o.block && size == o.size && allocation == o.allocation &&
           bytes == o.bytes;
  }
};

// Runs op on a freshly set-up string once for every allocation it makes,
// refusing that allocation; each refusal must throw "bad allocation" and
// leave the string exactly as it was. Returns how many allocations a
// successful run needed.
template <typename S>
unsigned expect_failures_change_nothing(const std::function<void(S&)>& setup, const std::function<void(S&)>& op) {
  for (unsigned k = 1; k < 16; ++k) {
    S s;
    setup(s);
    const string_state before = string_state::of(s);
    allocation_probe probe(k);
    try {
      op(s);
    } catch (const std::bad_alloc& e) {
      EXPECT_TRUE(probe.refused()) << "threw without a refused allocation, k=" << k;
      EXPECT_STREQ(e.what(), "bad allocation");
      EXPECT_TRUE(string_state::of(s) == before) << "state changed by failure at allocation " << k;
      continue;
    }
    EXPECT_FALSE(probe.refused()) << "allocation " << k << " was refused but the operation succeeded";
    return k - 1;
  }
  ADD_FAILURE() << "operation never succeeded";
  return 0;
}

TEST(StandardString, GrowsBySixteenAndShrinksOnlyPastThirtyTwo) {
  pfc::string8 s;
  s.append_text("abc", 3);
  EXPECT_EQ(s.text_length(), 3u);
  EXPECT_EQ(block_size(s), 20u);
  const char* block = block_data(s);
  s.append_text("0123456789abcdef", pfc::infinite_length);
  EXPECT_EQ(s.text_length(), 19u);
  EXPECT_EQ(block_size(s), 20u);
  EXPECT_EQ(block_data(s), block);
  s.append_text("X", 1);
  EXPECT_EQ(s.text_length(), 20u);
  EXPECT_EQ(block_size(s), 37u);
  EXPECT_EQ(block_allocation(s), 37u);
  EXPECT_EQ(text_of(s), "abc0123456789abcdefX");
  s.cut_to_length(4); // a need of 5 leaves exactly 32 bytes spare: kept
  EXPECT_EQ(block_size(s), 37u);
  EXPECT_EQ(block_data(s)[4], '\0');
  s.cut_to_length(2);
  EXPECT_EQ(block_size(s), 3u);
  EXPECT_EQ(text_of(s), "ab");
  EXPECT_EQ(s.text_ptr()[2], '\0');
}

TEST(StandardString, SmallAssignKeepsBlockWithinSlack) {
  pfc::string8 s;
  s.append_text("abc", 3); // 20-byte block
  s.assign_text("z", pfc::infinite_length);
  EXPECT_EQ(block_size(s), 20u);
  EXPECT_EQ(text_of(s), "z");
  // 40 bytes of need leave the 20-byte block behind, then shrinking to 1 byte
  // of text gives back all but the need.
  s.assign_text(std::string(40, 'q').c_str(), pfc::infinite_length);
  EXPECT_EQ(block_size(s), 57u);
  s.assign_text("y", pfc::infinite_length);
  EXPECT_EQ(block_size(s), 2u);
  EXPECT_EQ(text_of(s), "y");
}

TEST(StandardString, CutAtOrBeyondLengthChangesNothing) {
  pfc::string8 s("hello");
  const string_state before = string_state::of(s);
  s.cut_to_length(5);
  s.cut_to_length(900);
  EXPECT_TRUE(string_state::of(s) == before);
}

TEST(FastString, DoublesAndNeverShrinks) {
  pfc::string8_fast s;
  s.append_text("abcde", 5);
  EXPECT_EQ(block_allocation(s), 8u);
  s.append_text("fgh", 3);
  EXPECT_EQ(block_allocation(s), 16u);
  EXPECT_EQ(text_of(s), "abcdefgh");
  const char* block = block_data(s);
  s.cut_to_length(0);
  EXPECT_EQ(block_allocation(s), 16u);
  EXPECT_EQ(block_data(s), block);
  s.append_text(std::string(16, 'x').c_str(), pfc::infinite_length); // need 17
  EXPECT_EQ(block_allocation(s), 32u);
  s.assign_text("", 0);
  EXPECT_EQ(block_allocation(s), 32u);
  EXPECT_EQ(text_of(s), "");
}

TEST(StringText, MaxLenAndZeroByteBothBoundTheCount) {
  const char with_zero[] = {'a', 'b', '\0', 'c', 'd'};
  pfc::string8 s;
  s.append_text(with_zero, 5);
  EXPECT_EQ(text_of(s), "ab");
  s.cut_to_length(0);
  s.append_text(with_zero, 1);
  EXPECT_EQ(text_of(s), "a");
  // max_len bounds reading too: the source has no terminator at all.
  const char unterminated[3] = {'x', 'y', 'z'};
  s.assign_text(unterminated, 3);
  EXPECT_EQ(text_of(s), "xyz");
  s.append_text(nullptr, pfc::infinite_length);
  EXPECT_EQ(text_of(s), "xyz");
}

TEST(StringText, EmptyTextIsNotTheBlock) {
  pfc::string8 s("abc");
  s.cut_to_length(0);
  ASSERT_NE(block_data(s), nullptr);
  EXPECT_NE(s.text_ptr(), block_data(s));
  EXPECT_STREQ(s.text_ptr(), "");
  pfc::string8_fast f;
  f.append_text("abc", 3);
  f.cut_to_length(0);
  EXPECT_NE(f.text_ptr(), block_data(f));
  EXPECT_STREQ(f.text_ptr(), "");
}

TEST(StringText, EmptyStringsAllocateNothing) {
  allocation_probe probe;
  {
    pfc::string8 s;
    pfc::string8_fast f;
    for (pfc::string_base* b : {static_cast<pfc::string_base*>(&s), static_cast<pfc::string_base*>(&f)}) {
      EXPECT_STREQ(b->text_ptr(), "");
      b->append_text("", pfc::infinite_length);
      b->append_text(nullptr, pfc::infinite_length);
      b->append_text("abc", 0);
      b->assign_text("", pfc::infinite_length);
      b->assign_text("abc", 0);
      b->cut_to_length(0);
      b->close_buffer();
      EXPECT_EQ(b->text_length(), 0u);
    }
    EXPECT_EQ(block_data(s), nullptr);
    EXPECT_EQ(block_data(f), nullptr);
    pfc::string8 from_empty("");
    pfc::storage_t<char, pfc::alloc_doubling> doubling;
    doubling.set_size(0);
    pfc::storage_t<char, pfc::alloc_standard> standard;
    standard.set_size(0);
  }
  EXPECT_EQ(probe.requests(), 0u);
}

TEST(StringOverlap, AppendOfOwnTextInPlace) {
  pfc::string8 s("abcde"); // 22-byte block: the append fits without moving
  const char* block = block_data(s);
  s.append_text(s.text_ptr() + 1, pfc::infinite_length);
  EXPECT_EQ(text_of(s), "abcdebcde");
  EXPECT_EQ(block_data(s), block);
}

TEST(StringOverlap, AppendOfOwnTextThatMovesTheBlock) {
  pfc::string8 s(std::string(40, 'x').c_str());
  s.assign_text("abcde", pfc::infinite_length); // 57 > 6 + 32: shrinks to exactly 6
  ASSERT_EQ(block_size(s), 6u);
  allocation_probe probe;
  s.append_text(s.text_ptr() + 1, pfc::infinite_length);
  EXPECT_EQ(text_of(s), "abcdebcde");
  // The temporary copy, then the growth of the string itself.
  ASSERT_EQ(probe.requests(), 2u);
  EXPECT_EQ(probe.sizes()[1], 26u);

  pfc::string8_fast f;
  f.append_text("abcde", 5); // 8-byte block; 10 bytes needed next
  f.append_text(f.text_ptr() + 1, 3);
  EXPECT_EQ(text_of(f), "abcdebcd");
  f.assign_text(f.text_ptr() + 2, pfc::infinite_length);
  EXPECT_EQ(text_of(f), "cdebcd");
}

TEST(StringOverlap, SourceInsideSlackPastTheTextCounts) {
  // A pointer into the spare part of the block is still the string's own
  // memory; the copy reads it before anything moves.
  pfc::string8 s("abc");
  char* spare = const_cast<char*>(block_data(s)) + 10;
  std::memcpy(spare, "zz", 3);
  s.assign_text(spare, pfc::infinite_length);
  EXPECT_EQ(text_of(s), "zz");
}

TEST(StringBuffer, OpenWriteClose) {
  pfc::string8 s;
  char* p = s.open_buffer(10);
  ASSERT_EQ(block_size(s), 27u);
  for (std::uint32_t i = 0; i < 27; ++i)
    EXPECT_EQ(p[i], '\0') << i;
  EXPECT_EQ(s.text_length(), 0u);
  std::memcpy(p, "wxyz", 4);
  s.close_buffer();
  EXPECT_EQ(text_of(s), "wxyz");
  EXPECT_EQ(block_size(s), 27u);
  // A writer that used the whole block loses the last byte to the terminator.
  p = s.open_buffer(2);
  std::memset(p, 'k', block_size(s));
  s.close_buffer();
  EXPECT_EQ(s.text_length(), 26u);
  EXPECT_EQ(text_of(s), std::string(26, 'k'));
}

TEST(StringBuffer, FastVariantZeroesOnlyTheLogicalSize) {
  pfc::string8_fast f;
  f.append_text("abcdefghij", 10); // 16-byte block
  char* p = f.open_buffer(3);
  EXPECT_EQ(block_size(f), 4u);
  EXPECT_EQ(block_allocation(f), 16u);
  EXPECT_EQ(std::string(p, 4), std::string(4, '\0'));
  EXPECT_EQ(p[4], 'e');
  p[0] = 'Q';
  f.close_buffer();
  EXPECT_EQ(text_of(f), "Q");
}

TEST(StringBuffer, FilledAppendTakesBytesUpToTheirZeroAndNothingOnThrow) {
  pfc::string8_fast f;
  f.append_text("ab", 2);
  EXPECT_EQ(f.append_filled(8,
                            [](char* room) {
                              std::memcpy(room, "cd\0xy", 5);
                              return 5u;
                            }),
            5u);
  EXPECT_EQ(text_of(f), "abcd"); // the zero ends the chunk's part
  f.append_filled(4, [](char* room) {
    std::memcpy(room, "efgh", 4);
    return 4u;
  });
  EXPECT_EQ(text_of(f), "abcdefgh");
  EXPECT_THROW(f.append_filled(4,
                               [](char* room) -> std::uint32_t {
                                 std::memcpy(room, "zzzz", 4);
                                 throw std::bad_alloc();
                               }),
               std::bad_alloc);
  EXPECT_STREQ(f.text_ptr(), "abcdefgh");
}

// Taking a gathered text leaves what assign_text leaves: the same text and
// block size, growing with 16 spare bytes, shrinking past 32, else kept.
TEST(StringBuffer, TakenTextFitsAsAnAssignWould) {
  const std::string long_text(100, 't');
  for (const std::uint32_t before : {0u, 5u, 120u, 300u}) {
    pfc::string8 taker, assigned;
    if (before != 0) {
      taker.open_buffer(before - 1);
      assigned.open_buffer(before - 1);
    }
    pfc::string8_fast gathered;
    gathered.append_text(long_text.c_str(), 100);
    taker.take_text(gathered);
    assigned.assign_text(long_text.c_str(), pfc::infinite_length);
    EXPECT_EQ(text_of(taker), long_text) << before;
    EXPECT_EQ(block_size(taker), block_size(assigned)) << before;
  }
  pfc::string8 s("abc");
  pfc::string8_fast gathered;
  gathered.append_text(long_text.c_str(), 60);
  s.take_text(gathered);
  EXPECT_EQ(block_size(s), 77u);
  EXPECT_EQ(gathered.text_length(), 0u);
}

TEST(StringBuffer, AllOnesLengthOverflowsAndChangesNothing) {
  pfc::string8 s("keep");
  const string_state before = string_state::of(s);
  allocation_probe probe;
  try {
    s.open_buffer(0xFFFFFFFFu);
    FAIL() << "no exception";
  } catch (const pfc::exception_overflow& e) {
    EXPECT_STREQ(e.what(), "Overflow");
  }
  EXPECT_TRUE(string_state::of(s) == before);
  EXPECT_EQ(probe.requests(), 0u);
}

TEST(StringBuffer, SlackThatWouldWrapIsBadAllocBeforeAnyRequest) {
  pfc::string8 s("keep");
  const string_state before = string_state::of(s);
  {
    // Need 0xFFFFFFF0: the 16 bytes of slack would wrap.
    allocation_probe probe;
    EXPECT_THROW(s.open_buffer(0xFFFFFFEFu), std::bad_alloc);
    EXPECT_EQ(probe.requests(), 0u);
  }
  {
    // Need 0xFFFFFFEF: the slack still fits, so the full 32-bit block is asked for.
    allocation_probe probe(0, 1u << 20);
    EXPECT_THROW(s.open_buffer(0xFFFFFFEEu), std::bad_alloc);
    ASSERT_EQ(probe.requests(), 1u);
    EXPECT_EQ(probe.sizes()[0], 0xFFFFFFFFu);
  }
  EXPECT_TRUE(string_state::of(s) == before);
}

TEST(StorageOverflow, ByteCountBeyondThirtyTwoBitsThrows) {
  pfc::storage_t<std::uint16_t, pfc::alloc_standard> units;
  units.set_size(4);
  const std::uint16_t* block = units.data();
  allocation_probe probe;
  try {
    units.set_size(0x80000000u);
    FAIL() << "no exception";
  } catch (const std::bad_alloc& e) {
    EXPECT_STREQ(e.what(), "bad allocation");
  }
  EXPECT_EQ(probe.requests(), 0u);
  EXPECT_EQ(units.data(), block);
  EXPECT_EQ(units.size(), 4u);
  EXPECT_EQ(units.allocation(), 4u);
  units.set_size(3); // and it still works afterwards
  EXPECT_EQ(units.allocation(), 3u);
}

TEST(StorageOverflow, DoublingPastThirtyTwoBitsThrows) {
  EXPECT_EQ(pfc::alloc_doubling::allocation_for(0, 5), 8u);
  EXPECT_EQ(pfc::alloc_doubling::allocation_for(3, 13), 24u);
  EXPECT_EQ(pfc::alloc_doubling::allocation_for(16, 9), 16u);
  EXPECT_EQ(pfc::alloc_doubling::allocation_for(0, 0x80000000u), 0x80000000u);
  EXPECT_EQ(pfc::alloc_doubling::allocation_for(3, 0xC0000000u), 0xC0000000u);
  EXPECT_THROW(pfc::alloc_doubling::allocation_for(0, 0x80000001u), std::bad_alloc);
  EXPECT_THROW(pfc::alloc_doubling::allocation_for(3, 0xC0000001u), std::bad_alloc);

  pfc::storage_t<char, pfc::alloc_doubling> bytes;
  bytes.set_size(3);
  allocation_probe probe;
  EXPECT_THROW(bytes.set_size(0xFFFFFFFFu), std::bad_alloc);
  EXPECT_EQ(probe.requests(), 0u);
  EXPECT_EQ(bytes.size(), 3u);
  EXPECT_EQ(bytes.allocation(), 4u);
}

TEST(StringFailure, EveryRefusedAllocationLeavesTheStringAsItWas) {
  using std_fn = std::function<void(pfc::string8&)>;
  using fast_fn = std::function<void(pfc::string8_fast&)>;
  const std_fn nothing = [](pfc::string8&) {};
  const std_fn holds_abc = [](pfc::string8& s) { s.append_text("abc", 3); };
  const std_fn holds_long = [](pfc::string8& s) { s.append_text(std::string(60, 'L').c_str(), 60); };

  EXPECT_EQ(expect_failures_change_nothing(nothing, std_fn([](pfc::string8& s) { s.append_text("abc", 3); })), 1u);
  EXPECT_EQ(expect_failures_change_nothing(
                holds_abc, std_fn([](pfc::string8& s) { s.append_text(std::string(30, 'g').c_str(), 30); })),
            1u);
  EXPECT_EQ(expect_failures_change_nothing(
                holds_abc, std_fn([](pfc::string8& s) { s.assign_text(std::string(30, 'g').c_str(), 30); })),
            1u);
  // Own text, then growth: the temporary and the block can each fail.
  EXPECT_EQ(
      expect_failures_change_nothing(holds_long, std_fn([](pfc::string8& s) { s.append_text(s.text_ptr() + 1, 59); })),
      2u);
  EXPECT_EQ(
      expect_failures_change_nothing(holds_long, std_fn([](pfc::string8& s) { s.assign_text(s.text_ptr() + 50, 5); })),
      2u); // the copy, then the shrink to 6 bytes
  EXPECT_EQ(expect_failures_change_nothing(holds_long, std_fn([](pfc::string8& s) { s.cut_to_length(1); })), 1u);
  EXPECT_EQ(expect_failures_change_nothing(holds_abc, std_fn([](pfc::string8& s) { s.open_buffer(100); })), 1u);
  EXPECT_EQ(expect_failures_change_nothing(std_fn([](pfc::string8& s) { std::memcpy(s.open_buffer(100), "four", 4); }),
                                           std_fn([](pfc::string8& s) { s.close_buffer(); })),
            1u); // 117 > 5 + 32: gives the rest back

  EXPECT_EQ(expect_failures_change_nothing(holds_abc, std_fn([](pfc::string8& s) {
                                             pfc::string8_fast gathered;
                                             gathered.append_text(std::string(50, 'g').c_str(), 50);
                                             s.take_text(gathered);
                                           })),
            2u); // the gathering block, then its trim to 67 bytes

  const fast_fn fast_holds_five = [](pfc::string8_fast& s) { s.append_text("abcde", 5); };
  EXPECT_EQ(expect_failures_change_nothing(fast_holds_five, fast_fn([](pfc::string8_fast& s) {
                                             s.append_text(std::string(40, 'f').c_str(), 40);
                                           })),
            1u);
  EXPECT_EQ(expect_failures_change_nothing(fast_holds_five,
                                           fast_fn([](pfc::string8_fast& s) { s.append_text(s.text_ptr(), 5); })),
            2u);
}

// How a member function is called through its table: this-call on i686
// Windows, a plain first argument elsewhere.
#if defined(_WIN32) && defined(__i386__)
#define CHIRPLINE_MEMBER_CALL __attribute__((thiscall))
#else
#define CHIRPLINE_MEMBER_CALL
#endif

template <typename R, typename... A> R call_slot(void* object, int slot, A... args) {
  using member_fn = R(CHIRPLINE_MEMBER_CALL*)(void*, A...);
  const member_fn* table = *static_cast<const member_fn* const*>(object);
  return table[slot](object, args...);
}

// The sink's table as a host calls it, by slot number: append_text,
// text_ptr, assign_text, cut_to_length, text_length, open_buffer, close_buffer.
TEST(StringBaseSlots, TableInOrder) {
  pfc::string8 text;
  pfc::string_receiver* receiver = &text;
  call_slot<void>(receiver, 0, "hello", pfc::infinite_length);
  EXPECT_STREQ(call_slot<const char*>(&text, 1), "hello");
  call_slot<void>(&text, 2, "world!", 5u);
  EXPECT_EQ(text_of(text), "world");
  call_slot<void>(&text, 3, 3u);
  EXPECT_EQ(call_slot<std::uint32_t>(&text, 4), 3u);
  char* p = call_slot<char*>(&text, 5, 6u);
  std::memcpy(p, "abc", 3);
  call_slot<void>(&text, 6);
  EXPECT_EQ(text_of(text), "abc");
  EXPECT_EQ(static_cast<void*>(receiver), static_cast<void*>(&text)); // one table, no offset
}

TEST(ExactText, HoldsTextPlusTerminatorExactly) {
  pfc::exact_text t;
  EXPECT_STREQ(t.c_str(), "");
  EXPECT_EQ(block_size(t), 0u);
  t.assign("C:\\dir\\cor_chirpline.dll");
  EXPECT_STREQ(t.c_str(), "C:\\dir\\cor_chirpline.dll");
  EXPECT_EQ(block_size(t), 25u);
  t.assign("");
  EXPECT_EQ(block_size(t), 1u);
  EXPECT_STREQ(t.c_str(), "");
  t.assign(nullptr);
  EXPECT_EQ(block_size(t), 1u);
}

TEST(ExactText, RefusedAllocationKeepsTheOldText) {
  pfc::exact_text t;
  t.assign("old");
  const char* before = t.c_str();
  allocation_probe probe(1);
  EXPECT_THROW(t.assign("something new"), std::bad_alloc);
  EXPECT_EQ(t.c_str(), before);
  EXPECT_STREQ(t.c_str(), "old");
  EXPECT_EQ(block_size(t), 4u);
}

// -- handing blocks on: a block moves whole, and each is given back once --

template <typename Element, typename Policy> struct storage_owner {
  using owner = pfc::storage_t<Element, Policy>;
  static void fill(owner& o, const std::string& text) {
    o.set_size(static_cast<std::uint32_t>(text.size() + 1));
    std::memcpy(o.data(), text.c_str(), text.size() + 1);
  }
  static std::string text(const owner& o) {
    return o.size() == 0 ? std::string() : std::string(reinterpret_cast<const char*>(o.data()));
  }
  static const void* block(const owner& o) { return o.data(); }
};

struct exact_owner {
  using owner = pfc::exact_text;
  static void fill(owner& o, const std::string& text) { o.assign(text.c_str()); }
  static std::string text(const owner& o) { return o.c_str(); }
  static const void* block(const owner& o) { return block_size(o) == 0 ? nullptr : o.c_str(); }
};

template <typename Kind> class BlockOwner : public testing::Test {};
using block_owner_kinds = testing::Types<storage_owner<char, pfc::alloc_standard>,
                                         storage_owner<std::uint8_t, pfc::alloc_doubling>, exact_owner>;
TYPED_TEST_SUITE(BlockOwner, block_owner_kinds);

TYPED_TEST(BlockOwner, MovesHandTheBlockOnAndEachBlockIsGivenBackOnce) {
  using kind = TypeParam;
  const long before = pfc::outstanding_blocks();
  {
    typename kind::owner first, second;
    kind::fill(first, "first");
    kind::fill(second, "second");
    const void* block = kind::block(first);
    typename kind::owner taken(std::move(first));
    EXPECT_EQ(kind::block(taken), block) << "moved, not copied";
    EXPECT_EQ(kind::block(first), nullptr);
    EXPECT_EQ(kind::text(first), "");
    second = std::move(taken);
    EXPECT_EQ(kind::block(taken), nullptr);
    EXPECT_EQ(pfc::outstanding_blocks(), before + 1) << "the block the assignment replaced is still out";
    typename kind::owner& same = second;
    second = std::move(same);
    EXPECT_EQ(kind::block(second), block);
    EXPECT_EQ(kind::text(second), "first");
    EXPECT_EQ(pfc::outstanding_blocks(), before + 1) << "a self-move gave its block back";
  }
  EXPECT_EQ(pfc::outstanding_blocks(), before) << "a moved-from owner kept or freed a block";
}

// Strings do not move; they trade blocks (swap) or take a gathered one.
TEST(StringOwnership, SwapSelfAssignAndTakeKeepEveryBlockOnce) {
  const long before = pfc::outstanding_blocks();
  {
    pfc::string8 s("first"), t("second");
    const char* first_block = block_data(s);
    const char* second_block = block_data(t);
    s.swap(t);
    EXPECT_EQ(text_of(s), "second");
    EXPECT_EQ(block_data(s), second_block);
    EXPECT_EQ(text_of(t), "first");
    EXPECT_EQ(block_data(t), first_block);
    s.swap(s);
    s.assign_text(s.text_ptr(), pfc::infinite_length);
    EXPECT_EQ(text_of(s), "second");
    EXPECT_EQ(block_data(s), second_block);
    EXPECT_EQ(pfc::outstanding_blocks(), before + 2);
    pfc::string8_fast gathered;
    gathered.append_text(std::string(60, 'g').c_str(), pfc::infinite_length);
    s.take_text(gathered);
    EXPECT_EQ(text_of(s), std::string(60, 'g'));
    EXPECT_EQ(block_data(gathered), nullptr);
    EXPECT_EQ(pfc::outstanding_blocks(), before + 2) << "the taker's own block is still out";
  }
  EXPECT_EQ(pfc::outstanding_blocks(), before);
}

TEST(FormatDecimal, DigitsWithoutSignOrLeadingZeros) {
  char out[64];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(pfc::format_decimal(out, 0), out);
  EXPECT_STREQ(out, "0");
  EXPECT_STREQ(pfc::format_decimal(out, 1234), "1234");
  EXPECT_STREQ(pfc::format_decimal(out, 10), "10");
  EXPECT_STREQ(pfc::format_decimal(out, 4294967295u), "4294967295");
  EXPECT_STREQ(pfc::format_decimal(out, UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(out[21], 'x'); // 20 digits and the terminator, nothing more
}

} // namespace
