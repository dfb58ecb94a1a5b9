// The command text: prefix, neutralised tags, the cut at a character boundary,
// and mIRC's window-class match.
#include "allocation_probe.h"
#include "announcer/mirc_command.h"
#include "support/pfc/string8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string command_for(const std::string& title) {
  pfc::string8 t, out;
  t.assign_text(title.c_str(), static_cast<std::uint32_t>(title.size()));
  build_command_text(t, out);
  return std::string(out.text_ptr(), out.text_length());
}

TEST(CommandText, IsThePrefixFollowedByTheTitle) {
  EXPECT_EQ(command_for("Windowlicker - Windowlicker EP"), "/me is playing: Windowlicker - Windowlicker EP");
  EXPECT_EQ(command_for(""), "/me is playing: ");
}

TEST(CommandText, KeepsEveryByteThatIsNeitherPipeNorControl) {
  std::string title;
  for (int c = 0x20; c <= 0xFF; ++c)
    if (c != '|' && c != 0x7F) title += static_cast<char>(c);
  EXPECT_EQ(command_for(title), "/me is playing: " + title);
  EXPECT_EQ(command_for("J\xC3\xB3ga \xE5\xA4\x9C \xF0\x9F\x8E\xB5"),
            "/me is playing: J\xC3\xB3ga \xE5\xA4\x9C \xF0\x9F\x8E\xB5");
}

TEST(CommandText, TurnsPipesIntoBrokenBarsAndControlBytesIntoBlanks) {
  EXPECT_EQ(command_for("a|b||c"), "/me is playing: a\xC2\xA6"
                                   "b\xC2\xA6\xC2\xA6"
                                   "c");
  EXPECT_EQ(command_for("|"), "/me is playing: \xC2\xA6");
  std::string controls;
  for (int c = 1; c < 0x20; ++c)
    controls += static_cast<char>(c);
  controls += '\x7F';
  EXPECT_EQ(command_for(controls), "/me is playing: " + std::string(32, ' '));
  EXPECT_EQ(command_for("x\r\n/quit|/exit"), "/me is playing: x  /quit\xC2\xA6/exit");
}

// Long titles are tested sixteen bytes at a time before they are copied as
// they stand: one byte to neutralise anywhere, in a whole or in the last
// (overlapping) block, must still be found.
TEST(CommandText, FindsOneByteToNeutraliseAtAnyPlaceOfALongTitle) {
  const struct {
    char byte;
    const char* becomes;
  } cases[] = {{'|', "\xC2\xA6"}, {'\x01', " "}, {'\x1F', " "}, {'\x7F', " "}, {' ', " "}, {'}', "}"}, {'~', "~"}};
  for (std::size_t length = 16; length <= 50; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      for (const auto& c : cases) {
        std::string title(length, '\x80'), expected = "/me is playing: " + title;
        title[at] = c.byte;
        expected.replace(16 + at, 1, c.becomes);
        ASSERT_EQ(command_for(title), expected) << length << " " << at << " " << int(c.byte);
      }
    }
  }
}

// The test that lets a title be copied as it stands, in each form the
// processor may take: one byte to neutralise anywhere must be seen.
TEST(CommandText, TitleTestSeesOneByteToNeutraliseInEveryForm) {
  for (const auto test : {&title_may_need_care, &title_may_need_care_sse2}) {
    for (std::size_t length = 16; length <= 100; ++length) {
      std::string title(length, '\xFF');
#if defined(__SSE2__) // without it every title takes the careful copy
      EXPECT_FALSE(test(title.data(), length)) << length;
#endif
      for (std::size_t at = 0; at < length; ++at) {
        for (const char byte : {'|', '\x00', '\x1F', '\x7F'}) {
          title[at] = byte;
          ASSERT_TRUE(test(title.data(), length)) << length << " " << at << " " << int(byte);
        }
        title[at] = '\xFF';
      }
    }
  }
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

// --- the cut at mIRC's block ---

TEST(BlockCut, LeavesTextsThatFitAlone) {
  const std::string text(4095, 'a');
  EXPECT_EQ(command_length_for_block(text.c_str(), 4095, 4096), 4095u);
  EXPECT_EQ(command_length_for_block(text.c_str(), 10, 4096), 10u);
  EXPECT_EQ(command_length_for_block("", 0, 4096), 0u);
}

TEST(BlockCut, CutsAsciiAtTheCapacity) {
  const std::string text(5000, 'a');
  EXPECT_EQ(command_length_for_block(text.c_str(), 5000, 4096), 4095u);
  EXPECT_EQ(command_length_for_block(text.c_str(), 4096, 4096), 4095u);
}

// Every alignment of 2-, 3- and 4-byte characters across the boundary: the cut
// keeps only whole characters and loses at most the one that does not fit.
TEST(BlockCut, NeverSplitsACharacter) {
  const char* characters[] = {"\xC3\xB3", "\xE5\xA4\x9C", "\xF0\x9F\x8E\xB5", "\xF8\x88\x80\x80\x80",
                              "\xFC\x84\x80\x80\x80\x80"};
  for (const char* ch : characters) {
    const std::size_t width = std::char_traits<char>::length(ch);
    for (std::size_t lead = 0; lead < width; ++lead) {
      std::string text(lead, 'a');
      while (text.size() < 5000)
        text += ch;
      const std::uint32_t cut = command_length_for_block(text.c_str(), static_cast<std::uint32_t>(text.size()), 4096);
      SCOPED_TRACE(testing::Message() << "width " << width << ", lead " << lead);
      EXPECT_LE(cut, 4095u);
      EXPECT_GT(cut + width, 4095u); // no further whole character would have fitted
      EXPECT_EQ((cut - lead) % width, 0u);
    }
  }
}

TEST(BlockCut, CutsMalformedTextAtTheCapacity) {
  const std::string continuation(5000, '\x80');
  EXPECT_EQ(command_length_for_block(continuation.c_str(), 5000, 4096), 4095u);
  // Stray continuation bytes at the limit cost no whole character before them.
  const std::string strays = std::string(4094, 'a') + "\x80\x80" + std::string(10, 'b');
  EXPECT_EQ(command_length_for_block(strays.c_str(), static_cast<std::uint32_t>(strays.size()), 4096), 4095u);
  // A whole character ending exactly at the limit, then a stray byte: kept.
  for (const std::string ch : {"\xC3\xB3", "\xE5\xA4\x9C", "\xF0\x9F\x8E\xB5"}) {
    const std::string text = std::string(4095 - ch.size(), 'a') + ch + "\x80" + std::string(10, 'b');
    EXPECT_EQ(command_length_for_block(text.c_str(), static_cast<std::uint32_t>(text.size()), 4096), 4095u)
        << ch.size() << "-byte character";
  }
}

TEST(BlockCut, FitsTinyBlocks) {
  EXPECT_EQ(command_length_for_block("abc", 3, 1), 0u);
  EXPECT_EQ(command_length_for_block("\xC3\xB3", 2, 2), 0u);
  EXPECT_EQ(command_length_for_block("abc", 3, 0), 0u);
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
