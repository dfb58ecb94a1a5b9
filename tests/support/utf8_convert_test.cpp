#include "support/text/cpu_features.h"
#include "support/text/text_forms.h"
#include "support/utf8_convert.h"
#include "text_forms_here.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace pfc;
using pfc::text::text_form;

namespace {

const std::vector<const text_form*> every_form = text_forms_here();
const text_form& reference = *every_form.front();

// One form's UTF-8 to UTF-16 of a whole terminated text, units and bytes
// consumed; the units past the ones it returns keep a mark, which shows a
// form writing more than it converted.
struct widened {
  std::u16string units;
  std::size_t consumed;
  bool wrote_past = false;
};
widened widen_with(const text_form& form, const char* text) {
  const std::size_t n = std::strlen(text);
  std::vector<char16_t> out(n + 16, u'\xAAAA');
  widened w;
  const std::size_t units = form.utf8_to_utf16(out.data(), text, n, w.consumed);
  w.units.assign(out.data(), units);
  w.wrote_past = !std::all_of(out.begin() + static_cast<std::ptrdiff_t>(units), out.end(),
                              [](char16_t u) { return u == u'\xAAAA'; });
  return w;
}

// Converts text in place (no copy, so the caller chooses where it lies).
std::u16string to_utf16_with(const text_form& form, const char* text) {
  const widened w = widen_with(form, text);
  // The size function answers exactly what the conversion writes.
  EXPECT_EQ(w.units.size() + 1, utf8_to_utf16_size(text)) << form.name;
  EXPECT_FALSE(w.wrote_past) << form.name;
  return w.units;
}

// One form's UTF-16 to UTF-8 within capacity as utf16_to_utf8 does it: the
// form fills capacity - 1 bytes at most and the terminator follows.
std::size_t narrow_with(const text_form& form, char* out, std::size_t capacity, const char16_t* text) {
  if (capacity == 0) return 0;
  const std::size_t written = form.utf16_to_utf8(out, capacity - 1, text, std::char_traits<char16_t>::length(text));
  out[written] = '\0';
  return written;
}

std::string to_utf8_with(const text_form& form, const char16_t* text) {
  const std::size_t size = utf16_to_utf8_size(text);
  std::string out(size + 4, '\x5A');
  const std::size_t written = narrow_with(form, &out[0], size, text);
  EXPECT_EQ(written + 1, size) << form.name;
  EXPECT_EQ(out[size], '\x5A') << form.name;
  out.resize(written);
  return out;
}

// The public conversions (the chosen form) and every form agree.
std::u16string to_utf16(const std::string& utf8) {
  const std::size_t size = utf8_to_utf16_size(utf8.c_str());
  std::vector<char16_t> out(size + 1, u'\xAAAA');
  const std::size_t written = utf8_to_utf16(out.data(), utf8.c_str());
  EXPECT_EQ(written + 1, size);
  EXPECT_EQ(out[written], 0);
  EXPECT_EQ(out[size], u'\xAAAA') << "wrote past the size function's answer";
  const std::u16string result(out.data(), written);
  for (const text_form* form : every_form)
    EXPECT_EQ(to_utf16_with(*form, utf8.c_str()), result) << form->name << " disagrees";
  return result;
}

std::string to_utf8(const std::u16string& utf16) {
  const std::size_t size = utf16_to_utf8_size(utf16.c_str());
  std::string out(size + 1, '\x5A');
  const std::size_t written = utf16_to_utf8(&out[0], size, utf16.c_str());
  EXPECT_EQ(written + 1, size);
  EXPECT_EQ(out[size], '\x5A');
  out.resize(written);
  for (const text_form* form : every_form)
    EXPECT_EQ(to_utf8_with(*form, utf16.c_str()), out) << form->name << " disagrees";
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

// Random UTF-8 from pieces that exercise every path: ASCII runs shorter and
// longer than a block, each sequence length, the leads with extra tests
// (C0, C1, E0, F0, F8, FC), surrogates, and malformed or cut sequences.
std::string random_utf8(std::mt19937& random, int kind) {
  // Kind 2: only the characters whole blocks take (ASCII, two bytes, three
  // bytes other than E0), so blocks end inside characters at every position.
  static const char* const plain[] = {"a", "0123456789abc", "\xC3\xA9", "\xE2\x82\xAC", "\xE6\x97\xA5"};
  const bool well_formed = kind != 0;
  static const char* const good[] = {"a",
                                     "0123456789abcdefghijklmnopqrstu",
                                     "Zz",
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
                                    "\xFF",
                                    "\xF0\x80\x87\x80",
                                    "\xE2"
                                    "A"};
  // Kind 3: ASCII and two-byte characters, now and then a byte that stops
  // them, so that whole blocks of them meet every kind of end.
  static const char* const pairs[] = {"a", "Zz", "0123456789", "\xC3\xA9", "\xDF\xBF", "\xC2\x80"};
  static const char* const pair_stops[] = {"\x80", "\xC0\x80", "\xC1\xBF", "\xC3", "\xE2\x82\xAC", "\x01"};
  // Kind 4: the same for three-byte characters.
  static const char* const triples[] = {"\xE6\x97\xA5", "\xED\xA0\x80", "\xEF\xBF\xBF", "\xE1\x80\x80"};
  static const char* const triple_stops[] = {"\xE0\x80\x8F",
                                             "\xE0\xA0\x80",
                                             "\xE2\x82",
                                             "\xE2\x82"
                                             "A",
                                             "\xC3\xA9",
                                             "a",
                                             "\xF0\x9F\x98\x80",
                                             "\xE2\xC2\x80",
                                             "\xE2\x82"
                                             "1"};
  std::string text;
  const int pieces = static_cast<int>(random() % 40);
  for (int i = 0; i < pieces; ++i) {
    if (kind == 4)
      text += random() % 12 == 0 ? triple_stops[random() % (sizeof triple_stops / sizeof *triple_stops)]
                                 : triples[random() % (sizeof triples / sizeof *triples)];
    else if (kind == 3)
      text += random() % 24 == 0 ? pair_stops[random() % (sizeof pair_stops / sizeof *pair_stops)]
                                 : pairs[random() % (sizeof pairs / sizeof *pairs)];
    else if (kind == 2)
      text += plain[random() % (sizeof plain / sizeof *plain)];
    else if (!well_formed && random() % 16 == 0)
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

// Two pages, the second one inaccessible: text placed at the very end of the
// first shows that no block read crosses into a page it was not given.
class guarded_page {
public:
  guarded_page() {
#ifdef _WIN32
    base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    if (base_ != nullptr) VirtualProtect(base_ + page, page, PAGE_NOACCESS, &old);
#else
    void* block = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = block == MAP_FAILED ? nullptr : static_cast<char*>(block);
    if (base_ != nullptr) mprotect(base_ + page, page, PROT_NONE);
#endif
  }
  ~guarded_page() {
#ifdef _WIN32
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
#else
    if (base_ != nullptr) munmap(base_, 2 * page);
#endif
  }
  guarded_page(const guarded_page&) = delete;
  guarded_page& operator=(const guarded_page&) = delete;
  bool ready() const { return base_ != nullptr; }
  // bytes copied so that they end exactly at the guard.
  void* place_at_end(const void* bytes, std::size_t size) {
    char* at = base_ + page - size;
    std::memcpy(at, bytes, size);
    return at;
  }

private:
  static constexpr std::size_t page = 4096;
  char* base_ = nullptr;
};

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

TEST(ConversionForms, MatchTheSequenceBySequenceModelAtEveryAlignment) {
  std::mt19937 random(77031);
  // Room for the text at any of 48 offsets, so blocks start everywhere
  // relative to characters, to the terminator and to 16-byte boundaries.
  std::vector<char> buffer(4096);
  std::vector<char16_t> units(2048);
  for (int round = 0; round < 1500; ++round) {
    const std::string text = random_utf8(random, round % 5);
    const std::u16string expected = model_utf8_to_utf16(text.c_str());
    const std::size_t offset = static_cast<std::size_t>(round % 48);
    std::memcpy(&buffer[offset], text.c_str(), text.size() + 1);
    // Bytes after the terminator that a careless block would take for text.
    std::memset(&buffer[offset + text.size() + 1], 'q', 32);
    for (const text_form* form : every_form)
      ASSERT_EQ(to_utf16_with(*form, &buffer[offset]), expected)
          << form->name << " round " << round << " " << testing::PrintToString(text);

    const std::u16string wide = random_utf16(random);
    const std::string narrow = model_utf16_to_utf8(wide.c_str());
    const std::size_t unit_offset = static_cast<std::size_t>(round % 24);
    std::memcpy(&units[unit_offset], wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    std::fill_n(&units[unit_offset + wide.size() + 1], 16, u'q');
    for (const text_form* form : every_form) {
      ASSERT_EQ(to_utf8_with(*form, &units[unit_offset]), narrow) << form->name << " round " << round;
      // Every cut keeps the model's prefix and stays inside its capacity.
      for (std::size_t capacity = 1; capacity <= narrow.size(); capacity += 1 + capacity / 8) {
        std::string out(capacity + 1, 'x');
        ASSERT_EQ(narrow_with(*form, &out[0], capacity, &units[unit_offset]), capacity - 1) << form->name;
        ASSERT_EQ(out.substr(0, capacity - 1), narrow.substr(0, capacity - 1)) << form->name << " cut " << capacity;
        ASSERT_EQ(out[capacity - 1], '\0');
        ASSERT_EQ(out[capacity], 'x') << form->name << " wrote past the capacity " << capacity;
      }
    }
  }
}

// Blocks store their forms whole: taken only with room for them, so no cut
// near the capacity writes past it.
TEST(ConversionForms, BlocksNeverWritePastTheCapacity) {
  const std::u16string wide = std::u16string(20, u'\x65E5') + u"abcdefghijklmnopq" + std::u16string(9, u'\x00E9');
  const std::string narrow = model_utf16_to_utf8(wide.c_str());
  for (const text_form* form : every_form) {
    for (std::size_t capacity = 1; capacity <= narrow.size() + 1; ++capacity) {
      std::string out(capacity + 16, 'x');
      const std::size_t written = narrow_with(*form, &out[0], capacity, wide.c_str());
      ASSERT_EQ(written, capacity - 1) << form->name;
      ASSERT_EQ(out.substr(0, written), narrow.substr(0, written)) << form->name << " cut " << capacity;
      ASSERT_EQ(out.substr(capacity), std::string(16, 'x')) << form->name << " wrote past the capacity " << capacity;
    }
  }
}

TEST(ConversionForms, NoBlockReadCrossesIntoTheNextPage) {
  guarded_page guard;
  ASSERT_TRUE(guard.ready());
  for (std::size_t length = 0; length < 40; ++length) {
    // Mixed text whose terminator is the last byte before the guard.
    std::string text;
    while (text.size() < length)
      text += text.size() % 5 == 4 ? "\xC3\xA9" : "x";
    text.resize(length);
    const auto* placed = static_cast<const char*>(guard.place_at_end(text.c_str(), text.size() + 1));
    const std::u16string expected = model_utf8_to_utf16(text.c_str());
    for (const text_form* form : every_form)
      EXPECT_EQ(to_utf16_with(*form, placed), expected) << form->name << " length " << length;

    const std::u16string wide(length, u'\x00E9');
    const auto* wide_placed =
        static_cast<const char16_t*>(guard.place_at_end(wide.c_str(), (wide.size() + 1) * sizeof(char16_t)));
    for (const text_form* form : every_form)
      EXPECT_EQ(to_utf8_with(*form, wide_placed).size(), 2 * length) << form->name << " length " << length;
  }
}

// The characters at each edge of an encoding length (and of the surrogates,
// and of UTF-16's reach), with a few sequences that end the text, placed at
// every character offset of texts up to five blocks long in each kind of
// filler: every form converts them as the reference does, and the reference
// as the single-sequence rules do.
TEST(ConversionForms, EdgeCharactersAtEveryOffsetConvertAsTheReference) {
  const char* const edges[] = {
      "\x7F",         "\xC2\x80",         "\xDF\xBF",     "\xE0\xA0\x80",     "\xEF\xBF\xBF",     "\xED\x9F\xBF",
      "\xED\xA0\x80", "\xED\xBF\xBF",     "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80",
      "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xC1\xBF",     "\xE0\x80\x8F",     "\xE2\x82"};
  const char* const fillers[] = {"a", "\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80"};
  const auto converting = text_forms_with_own(every_form, &text_form::utf8_to_utf16);
  for (const char* filler : fillers) {
    const std::size_t width = std::strlen(filler);
    for (std::size_t length = 0; length * width <= 5 * 16; ++length) {
      for (std::size_t at = 0; at <= length; ++at) {
        for (const char* edge : edges) {
          std::string text;
          for (std::size_t i = 0; i < length; ++i) {
            if (i == at) text += edge;
            text += filler;
          }
          if (at == length) text += edge;
          const std::u16string expected = model_utf8_to_utf16(text.c_str());
          const widened by_reference = widen_with(reference, text.c_str());
          ASSERT_EQ(by_reference.units, expected) << testing::PrintToString(text);
          ASSERT_EQ(utf8_to_utf16_size(text.c_str()), expected.size() + 1) << testing::PrintToString(text);
          for (const text_form* form : converting) {
            const widened w = widen_with(*form, text.c_str());
            ASSERT_EQ(w.units, expected) << form->name << " " << testing::PrintToString(text);
            ASSERT_EQ(w.consumed, by_reference.consumed) << form->name << " " << testing::PrintToString(text);
            ASSERT_FALSE(w.wrote_past) << form->name << " " << testing::PrintToString(text);
          }
        }
      }
    }
  }
}

// The same edges as UTF-16 (pairs and lone halves included) at every unit
// offset of texts up to five blocks of units, converted whole and cut at
// every capacity near its start, near the end, and below one block.
TEST(ConversionForms, EdgeUnitsAtEveryOffsetConvertAsTheReferenceAtEveryCut) {
  const auto narrowing = text_forms_with_own(every_form, &text_form::utf16_to_utf8);
  const std::u16string edges[] = {{0x007F},         {0x0080},         {0x07FF},        {0x0800}, {0xD7FF},
                                  {0xD800},         {0xDBFF, 0xDFFF}, {0xDFFF},        {0xE000}, {0xFFFF},
                                  {0xD800, 0xDC00}, {0xD800, 0xD800}, {0xDC00, 0xD800}};
  const char16_t fillers[] = {u'a', 0x00E9, 0x65E5};
  for (const char16_t filler : fillers) {
    for (std::size_t length = 0; length <= 5 * 8; ++length) {
      for (std::size_t at = 0; at <= length; ++at) {
        for (const std::u16string& edge : edges) {
          std::u16string text(length, filler);
          text.insert(at, edge);
          const std::string expected = model_utf16_to_utf8(text.c_str());
          ASSERT_EQ(utf16_to_utf8_size(text.c_str()), expected.size() + 1);
          const std::size_t edge_at = model_utf16_to_utf8(text.substr(0, at).c_str()).size();
          for (const text_form* form : narrowing) {
            for (std::size_t capacity = 0; capacity <= expected.size() + 2; ++capacity) {
              if (capacity > 12 && capacity + 10 < edge_at) capacity = edge_at - 10;
              if (capacity > edge_at + 10 && capacity + 10 < expected.size()) capacity = expected.size() - 10;
              std::string out(capacity + 4, 'x');
              const std::size_t written = form->utf16_to_utf8(&out[0], capacity, text.c_str(), text.size());
              const std::size_t whole = std::min(capacity, expected.size());
              ASSERT_EQ(written, whole) << form->name << " at " << at << " of " << length << " cut " << capacity;
              ASSERT_EQ(out.substr(0, whole), expected.substr(0, whole)) << form->name << " cut " << capacity;
              ASSERT_EQ(out.substr(whole), std::string(capacity + 4 - whole, 'x')) << form->name << " cut " << capacity;
            }
          }
        }
      }
    }
  }
}

// --- the choice of form, from what the processor answers ---

namespace {

// Registers as real processors answer them (leaf 1 ECX and EDX, leaf 7 EBX,
// XCR0), the values written out so that a check of the wrong bit shows.
pfc::text::cpuid_registers processor(std::uint32_t max_leaf, std::uint32_t ecx1, std::uint32_t edx1, std::uint32_t ebx7,
                                     std::uint64_t xcr0) {
  pfc::text::cpuid_registers r;
  r.max_leaf = max_leaf;
  r.leaf1_ecx = ecx1;
  r.leaf1_edx = edx1;
  r.leaf7_ebx = ebx7;
  r.xcr0 = xcr0;
  return r;
}

std::string form_chosen_for(const pfc::text::cpuid_registers& r) {
  return pfc::text::form_for(pfc::text::decode_cpu_features(r)).name;
}

} // namespace

#if defined(__i386__) || defined(__x86_64__)
TEST(FormChoice, EachProcessorGetsTheFormOfWhatItAndItsSystemHave) {
  // A Haswell with an AVX-saving system: everything.
  EXPECT_EQ(form_chosen_for(processor(0xD, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 0x7)), "avx2");
  // The same processor, the system saving no 256-bit state (XCR0 bit 2 clear).
  EXPECT_EQ(form_chosen_for(processor(0xD, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 0x3)), "ssse3");
  // The same, the system not saving XMM state either.
  EXPECT_EQ(form_chosen_for(processor(0xD, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 0x5)), "ssse3");
  // The same, XSAVE not enabled by the system (OSXSAVE, ECX bit 27, clear):
  // XCR0 cannot be read then, whatever value stands in for it.
  EXPECT_EQ(form_chosen_for(processor(0xD, 0x77FAFBFF, 0xBFEBFBFF, 0x000027AB, 0x7)), "ssse3");
  // A Sandy Bridge: AVX (ECX bit 28) and its state, but no AVX2.
  EXPECT_EQ(form_chosen_for(processor(0xD, 0x1FBAE3FF, 0xBFEBFBFF, 0x00000000, 0x7)), "ssse3");
  // Leaf 7 beyond what the processor answers: its bits mean nothing.
  EXPECT_EQ(form_chosen_for(processor(0x6, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 0x7)), "ssse3");
  // AVX2 reported without AVX.
  EXPECT_EQ(form_chosen_for(processor(0xD, 0x6FFAFBFF, 0xBFEBFBFF, 0x00000020, 0x7)), "ssse3");
  // A Core 2: SSSE3, nothing of AVX.
  EXPECT_EQ(form_chosen_for(processor(0xA, 0x0000E3BD, 0xBFEBFBFF, 0x00000000, 0x0)), "ssse3");
  // A Pentium 4 Prescott: SSE3 (ECX bit 0) but not SSSE3 (bit 9).
  EXPECT_EQ(form_chosen_for(processor(0x5, 0x0000441D, 0xBFEBFBFF, 0x00000000, 0x0)), "sse2");
  // Nothing beyond SSE2.
  EXPECT_EQ(form_chosen_for(processor(0x2, 0x00000000, 0x04000000, 0x00000000, 0x0)), "sse2");
  // No SSE2 (EDX bit 26): the scalar form, whatever else is claimed.
  EXPECT_EQ(form_chosen_for(processor(0xD, 0x7FFAFBFF, 0xBBEBFBFF, 0x000027AB, 0x7)), "scalar");
  EXPECT_EQ(form_chosen_for(processor(0x0, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 0x7)), "scalar");
}

TEST(FormChoice, ThisProcessorIsProbedAsTheCompilerSeesIt) {
  const pfc::text::cpu_features here = pfc::text::decode_cpu_features(pfc::text::probe_cpuid());
  __builtin_cpu_init();
  EXPECT_EQ(here.sse2, __builtin_cpu_supports("sse2") != 0);
  EXPECT_EQ(here.ssse3, __builtin_cpu_supports("ssse3") != 0);
  EXPECT_EQ(here.avx2, __builtin_cpu_supports("avx2") != 0);
  EXPECT_EQ(&pfc::text::chosen_form(), &pfc::text::form_for(here));
  EXPECT_EQ(every_form.back(), &pfc::text::chosen_form()) << "the tests reach the form the component uses";
}
#endif

TEST(FormChoice, AProcessorWithNothingGetsTheReference) {
  EXPECT_EQ(&pfc::text::form_for(pfc::text::cpu_features{}), &reference);
  EXPECT_STREQ(reference.name, "scalar");
}
