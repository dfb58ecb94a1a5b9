// The stand-in player's playlist files and title patterns: what a person
// writes by hand is what the component gets to render.
#include "host_ledger.h"
#include "playlist.h"
#include "titleformat_standin.h"

#include <gtest/gtest.h>

namespace {

std::string render(const char* pattern, const track_fields& fields) {
  return make_ledger_service<compiled_pattern>(pattern)->render(fields);
}

const std::string& field(const playlist_entry& entry, const char* name) {
  static const std::string missing = "<missing>";
  const std::string* value = entry.fields.find(name);
  return value ? *value : missing;
}

TEST(Playlist, ReadsBlocksOfFieldsSeparatedByBlankLines) {
  const auto tracks = parse_playlist("# a comment\n"
                                     "title: Jóga\n"
                                     "Artist : Björk\n"
                                     "\n"
                                     " \t\n"
                                     "\n"
                                     "TITLE:   Windowlicker  \n"
                                     "album: EP: the second\n");
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(field(tracks[0], "title"), "Jóga");
  EXPECT_EQ(field(tracks[0], "ARTIST"), "Björk");
  EXPECT_EQ(tracks[0].line, 2u);
  EXPECT_EQ(field(tracks[1], "Title"), "Windowlicker");
  EXPECT_EQ(field(tracks[1], "album"), "EP: the second");
  EXPECT_EQ(field(tracks[1], "artist"), "<missing>");
  EXPECT_EQ(tracks[1].line, 7u);
}

TEST(Playlist, AcceptsByteOrderMarkCrLfAndAMissingFinalLineEnd) {
  const auto tracks = parse_playlist("\xEF\xBB\xBFtitle: a\r\nalbum: b\r\n\r\ntitle: c");
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(field(tracks[0], "title"), "a");
  EXPECT_EQ(field(tracks[0], "album"), "b");
  EXPECT_EQ(field(tracks[1], "title"), "c");
}

TEST(Playlist, ContinuationLinesAddALineBreakAndRepeatedFieldsJoin) {
  const auto tracks = parse_playlist("title: Sweet | Sour\n"
                                     "  second line\n"
                                     "# comments do not end a block\n"
                                     "\tthird\n"
                                     "artist: A\n"
                                     "artist: B\n"
                                     "empty:\n");
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(field(tracks[0], "title"), "Sweet | Sour\nsecond line\nthird");
  EXPECT_EQ(field(tracks[0], "artist"), "A, B");
  EXPECT_EQ(field(tracks[0], "empty"), "");
}

TEST(Playlist, BlocksOfCommentsAloneAreNoTracks) {
  EXPECT_TRUE(parse_playlist("").empty());
  EXPECT_TRUE(parse_playlist("# only\n# comments\n\n\n").empty());
}

TEST(Playlist, RefusesLinesItCannotRead) {
  auto line_of_error = [](const std::string& text) {
    try {
      parse_playlist(text);
    } catch (const playlist_error& e) {
      return e.line;
    }
    return 0u;
  };
  EXPECT_EQ(line_of_error("title: a\nno colon here\n"), 2u);
  EXPECT_EQ(line_of_error("\n\n  continuation first\n"), 3u);
  EXPECT_EQ(line_of_error("title: a\n\n  continuation after a blank line\n"), 3u);
  EXPECT_EQ(line_of_error(" : value\n"), 1u);
  EXPECT_EQ(line_of_error(": value\n"), 1u);
  EXPECT_EQ(line_of_error(std::string("title: a\0b\n", 11)), 1u);
  try {
    parse_playlist("title: a\nbad\n");
  } catch (const playlist_error& e) {
    EXPECT_STREQ(e.what(), "2: expected \"field: value\"");
  }
}

TEST(TitlePattern, ReplacesFieldsIgnoringCaseAndMarksMissingOnes) {
  track_fields fields;
  fields.add("Title", "T");
  fields.add("album", "");
  EXPECT_EQ(render("%title% - %album%", fields), "T - ");
  EXPECT_EQ(render("%TITLE%%Title%", fields), "TT");
  EXPECT_EQ(render("%artist% - %title%", fields), "? - T");
  EXPECT_EQ(render("", fields), "");
}

TEST(TitlePattern, CopiesLiteralTextAndPercentSigns) {
  track_fields fields;
  fields.add("title", "T");
  EXPECT_EQ(render("100%% %title%", fields), "100% T");
  EXPECT_EQ(render("50% off", fields), "50% off");
  EXPECT_EQ(render("%title", fields), "%title");
  EXPECT_EQ(render("a|b \xC3\xB3", fields), "a|b \xC3\xB3");
  EXPECT_EQ(render(nullptr, fields), "");
}

} // namespace
