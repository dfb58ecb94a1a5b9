#include "support/utf8_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace pfc;

namespace {

// Both conversions of a whole text into room one longer than the size
// function asks for: the size is exact, and the extra room keeps its mark.
std::u16string to_utf16(const std::string& utf8) {
  const std::size_t size = utf8_to_utf16_size(utf8.c_str());
  std::vector<char16_t> out(size + 1, u'\xAAAA');
  const std::size_t written = utf8_to_utf16(out.data(), utf8.c_str());
  EXPECT_EQ(written + 1, size);
  EXPECT_EQ(out[written], 0);
  EXPECT_EQ(out[size], u'\xAAAA') << "wrote past the size function's answer";
  return std::u16string(out.data(), written);
}

std::string to_utf8(const std::u16string& utf16) {
  const std::size_t size = utf16_to_utf8_size(utf16.c_str());
  std::string out(size + 1, '\x5A');
  const std::size_t written = utf16_to_utf8(&out[0], size, utf16.c_str());
  EXPECT_EQ(written + 1, size);
  EXPECT_EQ(out[size], '\x5A');
  out.resize(written);
  return out;
}

// The conversions as the per-character rules describe them, one sequence at
// a time through the single-sequence functions: what the block paths must match.
std::u16string model_utf8_to_utf16(const char* text) {
  std::u16string out;
  std::uint32_t c;
  for (std::size_t len; (len = decode_utf8_sequence(text, c)) != 0 && c != 0; text += len) {
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      out += static_cast<char16_t>(0xD800 | ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 | ((c - 0x10000) & 0x3FF));
    } else {
      out += u'?';
    }
  }
  return out;
}

std::string model_utf16_to_utf8(const char16_t* text) {
  std::string out;
  std::uint32_t c;
  for (std::size_t len; (len = decode_utf16_sequence(text, c)) != 0; text += len) {
    char bytes[6];
    out.append(bytes, encode_utf8_sequence(c, bytes));
  }
  return out;
}

// Random UTF-8 from pieces of each sequence length, the leads with extra
// tests (C0, C1, E0, F0, F8, FC), surrogates, and (unless well formed)
// malformed or cut sequences.
std::string random_utf8(std::mt19937& random, bool well_formed) {
  static const char* const good[] = {"a",
                                     "0123456789abcdefghijklmnopqrstu",
                                     "\xC3\xA9",
                                     "\xDF\xBF",
                                     "\xC2\x80",
                                     "\xE2\x82\xAC",
                                     "\xEF\xBF\xBF",
                                     "\xED\xA0\x80",
                                     "\xE0\xA0\x80",
                                     "\xE0\x80\x90",
                                     "\xF0\x9F\x98\x80",
                                     "\xF4\x90\x80\x80",
                                     "\xF8\x88\x80\x80\x80",
                                     "\xFD\xBF\xBF\xBF\xBF\xBF",
                                     "\x7F",
                                     "\x01"};
  static const char* const bad[] = {"\x80",
                                    "\xC0\x80",
                                    "\xC1\xBF",
                                    "\xE0\x80\x8F",
                                    "\xE2\x82",
                                    "\xC3",
                                    "\xFE",
                                    "\xF0\x80\x87\x80",
                                    "\xE2"
                                    "A"};
  std::string text;
  const int pieces = static_cast<int>(random() % 40);
  for (int i = 0; i < pieces; ++i) {
    if (!well_formed && random() % 16 == 0)
      text += bad[random() % (sizeof bad / sizeof *bad)];
    else
      text += good[random() % (sizeof good / sizeof *good)];
  }
  return text;
}

std::u16string random_utf16(std::mt19937& random) {
  const std::uint16_t ranges[][2] = {{0x0001, 0x007F}, {0x0001, 0x007F}, {0x0080, 0x07FF},
                                     {0x0800, 0xFFFF}, {0xD800, 0xDBFF}, {0xDC00, 0xDFFF}};
  std::u16string text;
  const int length = static_cast<int>(random() % 48);
  for (int i = 0; i < length; ++i) {
    const auto& r = ranges[random() % 6];
    text.push_back(static_cast<char16_t>(r[0] + random() % (r[1] - r[0] + 1u)));
  }
  return text;
}

struct decoded {
  std::size_t length;
  std::uint32_t code_point;
};

decoded decode(const std::string& bytes) {
  decoded d{0, 0xDEADBEEF};
  d.length = decode_utf8_sequence(bytes.c_str(), d.code_point);
  return d;
}

} // namespace

TEST(Utf8ToUtf16, EmptyAndAscii) {
  EXPECT_EQ(utf8_to_utf16_size(""), 1u);
  EXPECT_EQ(to_utf16(""), u"");
  EXPECT_EQ(utf8_to_utf16_size("abc"), 4u);
  EXPECT_EQ(to_utf16("abc"), u"abc");
}

TEST(Utf8ToUtf16, MultiByteForms) {
  EXPECT_EQ(to_utf16("\xC3\xA9"), std::u16string(1, 0x00E9));
  EXPECT_EQ(to_utf16("\xE0\xA0\x80"), std::u16string(1, 0x0800));
  EXPECT_EQ(to_utf16("\xEF\xBF\xBF"), std::u16string(1, 0xFFFF));
  EXPECT_EQ(to_utf16("\xF0\x90\x80\x80"), (std::u16string{0xD800, 0xDC00}));
  EXPECT_EQ(to_utf16("\xF4\x8F\xBF\xBF"), (std::u16string{0xDBFF, 0xDFFF}));
  EXPECT_EQ(utf8_to_utf16_size("\xF0\x90\x80\x80"), 3u);
  EXPECT_EQ(utf8_to_utf16_size("\xF4\x8F\xBF\xBF"), 3u);
}

TEST(Utf8ToUtf16, ValuesBeyondUtf16BecomeQuestionMark) {
  for (const char* text : {"\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xFD\xBF\xBF\xBF\xBF\xBF"}) {
    EXPECT_EQ(to_utf16(text), u"?") << text;
    EXPECT_EQ(utf8_to_utf16_size(text), 2u);
  }
  EXPECT_EQ(decode("\xF4\x90\x80\x80").code_point, 0x110000u);
  EXPECT_EQ(decode("\xF8\x88\x80\x80\x80").code_point, 0x200000u);
  decoded top = decode("\xFD\xBF\xBF\xBF\xBF\xBF");
  EXPECT_EQ(top.length, 6u);
  EXPECT_EQ(top.code_point, 0x7FFFFFFFu);
}

TEST(Utf8ToUtf16, MalformedSequenceEndsTheText) {
  for (const char* bad : {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\x80", "\xFE", "\xFF"}) {
    const std::string text = std::string("a") + bad + "b";
    EXPECT_EQ(to_utf16(text), u"a") << testing::PrintToString(text);
    EXPECT_EQ(utf8_to_utf16_size(text.c_str()), 2u);
    decoded d = decode(bad);
    EXPECT_EQ(d.length, 0u);
    EXPECT_EQ(d.code_point, 0u) << "a failed decode leaves code point 0";
  }
}

TEST(Utf8ToUtf16, SequenceCutByTerminator) {
  EXPECT_EQ(to_utf16("a\xE2\x82"), u"a");
  EXPECT_EQ(to_utf16("a\xF0\x9F\x98"), u"a");
}

TEST(Utf8Decode, OverlongRejectionsAreExactlyTheListedRanges) {
  // Length 3: E0 80 with 80..8F rejected; 90 accepted as the overlong 0x10.
  for (int b2 = 0x80; b2 <= 0xBF; ++b2) {
    std::string s = {'\xE0', '\x80', static_cast<char>(b2)};
    EXPECT_EQ(decode(s).length, b2 <= 0x8F ? 0u : 3u) << std::hex << b2;
  }
  // Length 4: F0 80 with 80..87; length 5: F8 80 with 80..83; length 6: FC 80 with 80..81.
  const struct {
    char lead;
    int last_rejected;
    std::size_t n;
  } cases[] = {{'\xF0', 0x87, 4}, {'\xF8', 0x83, 5}, {'\xFC', 0x81, 6}};
  for (const auto& c : cases) {
    for (int b2 = 0x80; b2 <= 0xBF; ++b2) {
      std::string s = {c.lead, '\x80', static_cast<char>(b2)};
      s.append(c.n - 3, '\x80');
      EXPECT_EQ(decode(s).length, b2 <= c.last_rejected ? 0u : c.n) << std::hex << int(c.lead) << " " << b2;
    }
  }
  // The test looks only at leads whose own payload is zero: E1 80 80 is fine.
  EXPECT_EQ(decode("\xE1\x80\x80").code_point, 0x1000u);
  // And only while byte 1 carries nothing: E0 81 80 is an accepted overlong.
  EXPECT_EQ(decode("\xE0\x81\x80").code_point, 0x40u);
}

TEST(Utf8Decode, OverlongAndSurrogateValuesAccepted) {
  EXPECT_EQ(decode("\xE0\x80\x90").code_point, 0x10u);
  EXPECT_EQ(decode("\xE0\x9F\xBF").code_point, 0x7FFu);
  decoded s = decode("\xED\xA0\x80");
  EXPECT_EQ(s.length, 3u);
  EXPECT_EQ(s.code_point, 0xD800u);
  EXPECT_EQ(to_utf16("\xED\xA0\x80"), std::u16string(1, 0xD800));
}

TEST(Utf8Decode, TerminatorYieldsZero) {
  decoded d = decode("");
  EXPECT_EQ(d.length, 0u);
  EXPECT_EQ(d.code_point, 0u);
  EXPECT_EQ(decode("A").code_point, 0x41u);
}

TEST(Utf8Decode, BoundedNeverReadsBeyondItsMaximum) {
  // Bytes past the bound are poisoned with a continuation byte that would be
  // accepted if read.
  const char euro[] = "\xE2\x82\xAC";
  std::uint32_t c = 99;
  EXPECT_EQ(decode_utf8_sequence_bounded(euro, 2, c), 0u);
  EXPECT_EQ(c, 0u);
  EXPECT_EQ(decode_utf8_sequence_bounded(euro, 3, c), 3u);
  EXPECT_EQ(c, 0x20ACu);
  c = 99;
  EXPECT_EQ(decode_utf8_sequence_bounded(nullptr, 0, c), 0u) << "a maximum of 0 reads nothing";
  EXPECT_EQ(c, 0u);
  EXPECT_EQ(decode_utf8_sequence_bounded("\xC3\xA9", 1, c), 0u);
  EXPECT_EQ(decode_utf8_sequence_bounded("z", 1, c), 1u);
  EXPECT_EQ(c, u'z');
  EXPECT_EQ(decode_utf8_sequence_bounded("\xFD\xBF\xBF\xBF\xBF\xBF", 5, c), 0u);
}

TEST(Utf8Encode, EachLengthBoundary) {
  const struct {
    std::uint32_t value;
    const char* bytes;
  } cases[] = {{0x7F, "\x7F"},
               {0x80, "\xC2\x80"},
               {0x7FF, "\xDF\xBF"},
               {0x800, "\xE0\xA0\x80"},
               {0xD800, "\xED\xA0\x80"},
               {0x10000, "\xF0\x90\x80\x80"},
               {0x200000, "\xF8\x88\x80\x80\x80"},
               {0x4000000, "\xFC\x84\x80\x80\x80\x80"},
               {0x7FFFFFFF, "\xFD\xBF\xBF\xBF\xBF\xBF"}};
  for (const auto& c : cases) {
    char out[8] = {};
    const std::size_t n = encode_utf8_sequence(c.value, out);
    EXPECT_EQ(std::string(out, n), c.bytes) << std::hex << c.value;
    EXPECT_EQ(encode_utf8_sequence(c.value, nullptr), n);
    EXPECT_EQ(out[n], '\0') << "no terminator or extra byte written";
  }
  char out[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(encode_utf8_sequence(0x80000000u, out), 0u);
  EXPECT_EQ(encode_utf8_sequence(0xFFFFFFFFu, nullptr), 0u);
  EXPECT_EQ(out[0], 'x');
}

TEST(Utf8Encode, EveryEncodingDecodesBack) {
  // A sweep across every length, including the six-byte range.
  for (std::uint64_t v = 1; v <= 0x7FFFFFFF; v = v * 3 / 2 + 1) {
    char out[7] = {};
    const std::size_t n = encode_utf8_sequence(static_cast<std::uint32_t>(v), out);
    std::uint32_t back = 0;
    ASSERT_EQ(decode_utf8_sequence(out, back), n) << std::hex << v;
    ASSERT_EQ(back, v);
  }
}

TEST(Utf16Decode, PairsAndLoneSurrogates) {
  std::uint32_t c = 0;
  const char16_t pair[] = {0xD83D, 0xDE00, 0};
  EXPECT_EQ(decode_utf16_sequence(pair, c), 2u);
  EXPECT_EQ(c, 0x1F600u);
  const char16_t lone_high_end[] = {0xD800, 0};
  EXPECT_EQ(decode_utf16_sequence(lone_high_end, c), 1u);
  EXPECT_EQ(c, 0xD800u);
  const char16_t lone_low_then_high[] = {0xDC00, 0xD800, 0};
  EXPECT_EQ(decode_utf16_sequence(lone_low_then_high, c), 1u);
  EXPECT_EQ(c, 0xDC00u);
  const char16_t end[] = {0};
  EXPECT_EQ(decode_utf16_sequence(end, c), 0u);
}

TEST(Utf16ToUtf8, PairsAndLoneSurrogates) {
  EXPECT_EQ(to_utf8(std::u16string{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
  EXPECT_EQ(to_utf8(std::u16string{0xDBFF, 0xDFFF}), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(to_utf8(std::u16string{0xD800, 0x0041}), "\xED\xA0\x80\x41");
  EXPECT_EQ(to_utf8(std::u16string{0xDC00}), "\xED\xB0\x80");
  EXPECT_EQ(to_utf8(std::u16string{0xD800}), "\xED\xA0\x80");
}

TEST(Utf16ToUtf8, Sizes) {
  EXPECT_EQ(utf16_to_utf8_size(u""), 1u);
  EXPECT_EQ(utf16_to_utf8_size(std::u16string{0x61, 0xE9}.c_str()), 4u);
  EXPECT_EQ(utf16_to_utf8_size(std::u16string{0xD83D, 0xDE00}.c_str()), 5u);
  EXPECT_EQ(utf16_to_utf8_size(std::u16string{0xD800}.c_str()), 4u);
  EXPECT_EQ(to_utf8(u""), "");
}

TEST(Utf16ToUtf8, CapacityCutsTheOutput) {
  const std::u16string text{0x61, 0xE9};
  char out[8];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(utf16_to_utf8(out, 4, text.c_str()), 3u);
  EXPECT_EQ(std::string(out, 5), std::string("\x61\xC3\xA9\0x", 5));

  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(utf16_to_utf8(out, 3, text.c_str()), 2u);
  EXPECT_EQ(std::string(out, 4), std::string("\x61\xC3\0x", 4)) << "ends in an incomplete sequence";

  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(utf16_to_utf8(out, 1, text.c_str()), 0u);
  EXPECT_EQ(std::string(out, 2), std::string("\0x", 2));

  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(utf16_to_utf8(out, 0, text.c_str()), 0u);
  EXPECT_EQ(out[0], 'x') << "capacity 0 writes nothing";

  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(utf16_to_utf8(out, 3, u"abc"), 2u);
  EXPECT_EQ(std::string(out, 4), std::string("ab\0x", 4));
}

TEST(Utf16ToUtf8, CutOutputIsAlwaysThePrefixOfTheFullForm) {
  const std::u16string text{0x41, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xDC00, 0x42};
  const std::string full = to_utf8(text);
  for (std::size_t capacity = 1; capacity <= full.size() + 3; ++capacity) {
    std::string out(capacity + 2, 'x');
    const std::size_t written = utf16_to_utf8(&out[0], capacity, text.c_str());
    const std::size_t expected = std::min(full.size(), capacity - 1);
    ASSERT_EQ(written, expected) << capacity;
    EXPECT_EQ(out.substr(0, written), full.substr(0, written));
    EXPECT_EQ(out[written], '\0');
    EXPECT_EQ(out[capacity], 'x') << "wrote past the capacity " << capacity;
  }
}

TEST(Utf16RoundTrip, AnyUtf16TextSurvivesUnchanged) {
  std::mt19937 random(20240607);
  // Weighted towards the interesting ranges: ASCII, two and three byte forms,
  // both surrogate halves (paired and lone) and the top of the BMP.
  const std::uint16_t ranges[][2] = {{0x0001, 0x007F}, {0x0080, 0x07FF}, {0x0800, 0xD7FF},
                                     {0xD800, 0xDBFF}, {0xDC00, 0xDFFF}, {0xE000, 0xFFFF}};
  for (int round = 0; round < 4000; ++round) {
    std::u16string text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) {
      const auto& r = ranges[random() % 6];
      text.push_back(static_cast<char16_t>(r[0] + random() % (r[1] - r[0] + 1u)));
    }
    const std::string utf8 = to_utf8(text);
    ASSERT_EQ(to_utf16(utf8), text) << "round " << round;
  }
}

// Random text converts as the per-character rules say, and UTF-16 to UTF-8
// cut to every room keeps their prefix.
TEST(Conversions, MatchTheSequenceBySequenceModel) {
  std::mt19937 random(77031);
  for (int round = 0; round < 1500; ++round) {
    const std::string text = random_utf8(random, round % 2 == 0);
    ASSERT_EQ(to_utf16(text), model_utf8_to_utf16(text.c_str())) << testing::PrintToString(text);

    const std::u16string wide = random_utf16(random);
    const std::string narrow = model_utf16_to_utf8(wide.c_str());
    ASSERT_EQ(to_utf8(wide), narrow) << "round " << round;
    for (std::size_t capacity = 1; capacity <= narrow.size(); ++capacity) {
      std::string out(capacity + 1, 'x');
      ASSERT_EQ(utf16_to_utf8(&out[0], capacity, wide.c_str()), capacity - 1);
      ASSERT_EQ(out.substr(0, capacity - 1), narrow.substr(0, capacity - 1)) << "cut " << capacity;
      ASSERT_EQ(out[capacity - 1], '\0');
      ASSERT_EQ(out[capacity], 'x') << "wrote past the capacity " << capacity;
    }
  }
}
