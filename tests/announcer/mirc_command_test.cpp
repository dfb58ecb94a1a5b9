// The command text: prefix, neutralised tags, the cut at a character boundary,
// the command in mIRC's UTF-16 block, and mIRC's window-class match.
#include "allocation_probe.h"
#include "announcer/mirc_command.h"
#include "announcer/now_playing_title.h"
#include "now_playing/now_playing_protocol.h"
#include "support/pfc/string8.h"
#include "support/utf8_convert.h"
#include "text_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The title's bytes as they stand, a zero byte too (as a host's text might
// report one).
std::string command_for(const std::string& title) {
  pfc::string8 t, out;
  t.assign_zero_free(static_cast<std::uint32_t>(title.size()), [&](char* p) {
    std::memcpy(p, title.data(), title.size());
    return static_cast<std::uint32_t>(title.size());
  });
  build_command_text(t, out);
  return std::string(out.text_ptr(), out.text_length());
}

TEST(CommandText, IsThePrefixFollowedByTheTitle) {
  EXPECT_EQ(command_for("Windowlicker - Windowlicker EP"), "/me is playing: Windowlicker - Windowlicker EP");
  EXPECT_EQ(command_for(""), "/me is playing: ");
}

// Every byte value, alone between letters and all together in one title:
// '|' becomes the broken bar, bytes from 0x20 up but DEL stay, and of the
// bytes below 0x20 only mIRC's nine formatting codes stay, the others (NUL,
// CR, LF, 0x01, tab...) becoming blanks as DEL does.
TEST(CommandText, MapsEachByteValueAsTheTitleRuleSays) {
  const std::string low_bytes_become("  \x02\x03\x04          \x0F \x11    \x16      \x1D\x1E\x1F", 32);
  std::string title, expected;
  for (int value = 0; value < 256; ++value) {
    const char byte = static_cast<char>(value);
    const std::string becomes = value < 0x20    ? low_bytes_become.substr(value, 1)
                                : value == 0x7F ? " "
                                : byte == '|'   ? "\xC2\xA6"
                                                : std::string(1, byte);
    EXPECT_EQ(command_for(std::string("a") + byte + "b"), "/me is playing: a" + becomes + "b") << std::hex << value;
    title += byte;
    expected += becomes;
  }
  EXPECT_EQ(command_for(title), "/me is playing: " + expected);
}

TEST(CommandText, IsSizedOnceSoItAllocatesOnce) {
  pfc::string8 title("a|b|c|d|e|f|g|h|i|j|k|l|m|n|o|p|q|r|s|t|u|v|w|x|y|z");
  pfc::string8 out;
  {
    allocation_probe probe;
    build_command_text(title, out);
    EXPECT_EQ(probe.requests(), 1u);
  }
  EXPECT_EQ(out.text_length(), 16u + 51u + 25u);
  const pfc::string8 plain("a title long enough to be copied as it stands");
  {
    allocation_probe probe;
    build_command_text(plain, out);
    EXPECT_EQ(probe.requests(), 1u); // the larger block shrinks to fit
  }
  EXPECT_STREQ(out.text_ptr(), "/me is playing: a title long enough to be copied as it stands");
}

TEST(CommandText, ReplacesWhatTheSinkHeld) {
  pfc::string8 title("t"), out("something long that was there before");
  build_command_text(title, out);
  EXPECT_STREQ(out.text_ptr(), "/me is playing: t");
}

// --- the command in mIRC's block: UTF-16, cut at a whole character ---

// Fills a block of mIRC's size as the delivery does; the units past the
// terminator keep a mark, so a write beyond it shows.
struct filled_block {
  explicit filled_block(const std::string& command, std::size_t capacity = 2048) : units(capacity + 8, u'#') {
    written = pfc::utf8_to_utf16_fitted(units.data(), capacity, command.c_str(), taken);
  }
  std::u16string text() const { return std::u16string(units.data(), written); }
  std::vector<char16_t> units;
  std::size_t written = 0, taken = 0;
};

TEST(CommandBlock, HoldsTheWholeCommandWhenItFits) {
  const filled_block latin("/me is playing: J\xC3\xB3ga \xF0\x9F\x8E\xB5");
  EXPECT_EQ(latin.text(), u"/me is playing: J\u00F3ga \U0001F3B5");
  EXPECT_EQ(latin.taken, 26u);
  EXPECT_EQ(latin.units[latin.written], 0);
  EXPECT_EQ(latin.units[latin.written + 1], u'#');
  // 2047 units and the terminator fill the 4096 bytes exactly.
  const filled_block full(std::string(2047, 'a'));
  EXPECT_EQ(full.written, 2047u);
  EXPECT_EQ(full.taken, 2047u);
  EXPECT_EQ(full.units[2047], 0);
  EXPECT_EQ(full.units[2048], u'#');
  // One unit more, or a pair whose second half would be the 2048th unit: cut,
  // and nothing written past the block.
  for (const std::string& last : {std::string("b"), std::string("\xF0\x9F\x8E\xB5")}) {
    const filled_block over(std::string(2047 - last.size() / 4, 'a') + last);
    EXPECT_EQ(over.written, 2047u - last.size() / 4);
    EXPECT_EQ(over.taken, 2047u - last.size() / 4);
    EXPECT_EQ(over.units[2048], u'#');
  }
}

// Every alignment of one- and two-unit characters across the end of the
// block: only whole characters, never half of a surrogate pair, and no room
// left for the next one.
TEST(CommandBlock, CutsAtTheLastWholeCharacterThatFits) {
  const char* characters[] = {"\xC3\xB3", "\xE5\xA4\x9C", "\xF0\x9F\x8E\xB5", "\xF8\x88\x80\x80\x80"};
  for (const char* ch : characters) {
    const std::size_t width = std::char_traits<char>::length(ch);
    for (std::size_t lead = 0; lead < 4; ++lead) {
      std::string command(lead, 'a');
      for (int i = 0; i < 3000; ++i)
        command += ch;
      const filled_block block(command);
      SCOPED_TRACE(testing::Message() << width << "-byte characters after " << lead << " letters");
      const std::size_t pair = (width == 4) ? 2 : 1; // units a character takes
      EXPECT_LE(block.written, 2047u);
      EXPECT_GT(block.written + pair, 2047u);
      EXPECT_EQ((block.written - lead) % pair, 0u);
      EXPECT_EQ((block.taken - lead) % width, 0u);
      EXPECT_EQ(block.units[block.written], 0);
      EXPECT_EQ(block.units[2048], u'#');
      EXPECT_NE(block.units[block.written - 1] & 0xFC00, 0xD800) << "half a pair at the end";
    }
  }
}

// A character at each edge of an encoding length (or of UTF-16's reach),
// after every count of letters up to past two blocks, in blocks whose end
// falls just before, inside and just after it, and in blocks it fits whole.
TEST(CommandBlock, CutsWholeCharactersAroundEachEdgeCharacter) {
  const struct {
    const char* bytes;
    std::u16string units;
  } edges[] = {{"\x7F", {0x7F}},
               {"\xC2\x80", {0x80}},
               {"\xDF\xBF", {0x7FF}},
               {"\xE0\xA0\x80", {0x800}},
               {"\xED\x9F\xBF", {0xD7FF}},
               {"\xED\xA0\x80", {0xD800}},
               {"\xEE\x80\x80", {0xE000}},
               {"\xEF\xBF\xBF", {0xFFFF}},
               {"\xF0\x90\x80\x80", {0xD800, 0xDC00}},
               {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
               {"\xF4\x90\x80\x80", {u'?'}}};
  for (const auto& edge : edges) {
    const std::size_t edge_bytes = std::strlen(edge.bytes);
    for (std::size_t lead = 0; lead <= 40; ++lead) {
      for (const std::size_t tail : {0u, 1u, 17u}) {
        const std::string command = std::string(lead, 'a') + edge.bytes + std::string(tail, 'b');
        const std::u16string whole = std::u16string(lead, u'a') + edge.units + std::u16string(tail, u'b');
        for (std::size_t capacity = 0; capacity <= whole.size() + 2; ++capacity) {
          if (capacity > 2 && capacity + 2 < lead) capacity = lead - 2;
          if (capacity > lead + edge.units.size() + 2 && capacity + 2 < whole.size()) capacity = whole.size() - 2;
          // The whole characters that fit with the terminator.
          std::size_t units = 0, bytes = 0;
          if (capacity > 0) {
            const std::size_t room = capacity - 1;
            units = std::min(lead, room);
            bytes = units;
            if (units == lead && lead + edge.units.size() <= room) {
              units += edge.units.size() + std::min(tail, room - lead - edge.units.size());
              bytes = units - edge.units.size() + edge_bytes;
            }
          }
          const filled_block block(command, capacity);
          SCOPED_TRACE(testing::Message() << testing::PrintToString(command) << " in " << capacity << " units");
          ASSERT_EQ(block.written, units);
          ASSERT_EQ(block.taken, bytes);
          ASSERT_EQ(block.text(), whole.substr(0, units));
          if (capacity > 0) {
            ASSERT_EQ(block.units[units], 0);
          }
          ASSERT_EQ(std::u16string(block.units.data() + capacity, 8), std::u16string(8, u'#'));
        }
      }
    }
  }
}

TEST(CommandBlock, StopsAtBytesThatAreNotUtf8) {
  const filled_block block("/me is playing: Bj\xF6rk");
  EXPECT_EQ(block.text(), u"/me is playing: Bj");
  EXPECT_EQ(block.taken, 18u);
  const filled_block nothing("x", 0);
  EXPECT_EQ(nothing.written, 0u);
  EXPECT_EQ(nothing.units[0], u'#');
}

// What the component publishes for on-demand use, and a client reads, is what
// mIRC's block carries after "/me is playing: ": the same characters cut at the same place, for
// titles of every kind of text and size, titles the command rule changes,
// titles past the block at every alignment, and bytes that are not UTF-8.
TEST(CommandBlock, ThePublishedTitleIsWhatTheBlockCarriesAfterThePrefix) {
  std::vector<std::string> titles = {"",
                                     "Song | /quit",
                                     "one\rtwo\x01x\x02"
                                     "bold\x7F",
                                     "Bj\xF6rk",
                                     "a \xED\xA0\x80 lone half of a pair",
                                     "\xF8\x88\x80\x80\x80 beyond UTF-16",
                                     "\xF0\x9F\x8E"};
  for (int mix = 0; mix < 4; ++mix)
    for (const int size : bench::title_sizes)
      titles.push_back(bench::title_sample(mix, size));
  for (const char* ch : {"b", "\xC3\xB3", "\xE5\xA4\x9C", "\xF0\x9F\x8E\xB5"})
    for (std::size_t lead = 0; lead < 3; ++lead) {
      std::string title(lead, 'a');
      while (title.size() < 8200)
        title += ch;
      titles.push_back(title);
      titles.push_back(title.substr(0, 2031 - 1 - lead) + "\xFF" + title); // not UTF-8 just short of the cut
    }
  for (const std::string& title : titles) {
    const std::string command = command_for(title);
    std::vector<char16_t> mirc(2048 + 8, u'#');
    fit_command_into_block(mirc.data(), command.c_str());
    const std::u16string carried(mirc.data());
    ASSERT_EQ(carried.substr(0, 16), u"/me is playing: ");

    now_playing::block published{};
    write_now_playing_title(published, command.c_str());
    // As a client reads it: its own pass of the command line rule finds
    // nothing left to change.
    char16_t out[now_playing::text_units];
    std::uint32_t units = 0;
    now_playing::read_client_title(&published, sizeof published, 2032, out, units);
    ASSERT_EQ(std::u16string(out, units), carried.substr(16)) << testing::PrintToString(title.substr(0, 80));
  }
}

TEST(CommandBlock, TheCutLineCountsCharactersAndSaysWhy) {
  pfc::string8 line;
  const std::string emoji = "\xF0\x9F\x8E\xB5"; // one character, four bytes, two units
  std::string command = "/me " + emoji;
  for (int i = 0; i < 1100; ++i)
    command += emoji;
  const filled_block block(command);
  describe_command_cut(command.c_str(), static_cast<std::uint32_t>(command.size()),
                       static_cast<std::uint32_t>(block.taken), line);
  // "/me " and 1021 emoji fill 2046 units: the 1022nd would need two more.
  EXPECT_STREQ(line.text_ptr(), "command cut from 1105 to 1025 characters to fit mIRC's shared block");
  const std::string latin1 = "/me is playing: Bj\xF6rk";
  describe_command_cut(latin1.c_str(), static_cast<std::uint32_t>(latin1.size()), 18, line);
  EXPECT_STREQ(line.text_ptr(), "command cut after 18 characters at bytes that are not UTF-8 text");
}

// --- the window-class match ---

TEST(MircClassName, MatchesInAnyLetterCaseWithExactLength) {
  auto matches = [](const std::u16string& name) { return mirc_class_name_matches(name.c_str(), name.size()); };
  EXPECT_TRUE(matches(u"mIRC"));
  EXPECT_TRUE(matches(u"MIRC"));
  EXPECT_TRUE(matches(u"mirc"));
  EXPECT_FALSE(matches(u"mIRCx"));
  EXPECT_FALSE(matches(u"mIR"));
  EXPECT_FALSE(matches(u""));
  EXPECT_FALSE(matches(u"xIRC"));
  EXPECT_FALSE(matches(u"m\u0130RC")); // dotted capital I is not an ASCII letter
}

} // namespace
