#include "settings_test_support.h"

#include <string>
#include <vector>

namespace {

using SettingsSave = SettingsClient;

const std::vector<std::uint8_t> worked_example = {
    0x67, 0xEB, 0x99, 0xD1, 0x98, 0xEF, 0xC6, 0x4F, 0x97, 0x0C, 0x2E, 0x6C, 0x38, 0x32, 0x94,
    0x05, 0x01, 0x00, 0x00, 0x00, 0x01, 0x5E, 0x21, 0xF3, 0x17, 0xF5, 0x77, 0x97, 0x4E, 0x8E,
    0xD2, 0xED, 0x8E, 0x28, 0xBB, 0x05, 0x24, 0x11, 0x00, 0x00, 0x00, '%',  't',  'i',  't',
    'l',  'e',  '%',  ' ',  '-',  ' ',  '%',  'a',  'l',  'b',  'u',  'm',  '%'};

// The variables as the library's load left them, before any test touched them.
const std::uint8_t g_enabled_at_load = cfg_enabled.value;
const std::string g_pattern_at_load = cfg_title_pattern.text_ptr();

TEST(SettingsVariables, StartAtTheirDefaults) {
  EXPECT_EQ(g_enabled_at_load, 1u);
  EXPECT_EQ(g_pattern_at_load, "%title% - %album%");
}

TEST(SettingsVariables, AreListedFlagFirstThenPattern) {
  ASSERT_EQ(reader_list, static_cast<cfg_var_reader*>(&cfg_enabled));
  ASSERT_EQ(reader_list->next_reader, static_cast<cfg_var_reader*>(&cfg_title_pattern));
  EXPECT_EQ(reader_list->next_reader->next_reader, nullptr);
  ASSERT_EQ(writer_list, static_cast<cfg_var_writer*>(&cfg_enabled));
  ASSERT_EQ(writer_list->next_writer, static_cast<cfg_var_writer*>(&cfg_title_pattern));
  EXPECT_EQ(writer_list->next_writer->next_writer, nullptr);
  // Both bases carry the same identifier.
  EXPECT_EQ(static_cast<cfg_var_reader&>(cfg_enabled).guid, static_cast<cfg_var_writer&>(cfg_enabled).guid);
  EXPECT_EQ(sizeof cfg_enabled.value, 1u);
}

TEST_F(SettingsSave, AtTheDefaultsGivesThe58BytesOfTheWorkedExample) {
  memory_writer writer;
  counting_abort abort;
  client->save_settings(writer, abort);
  EXPECT_EQ(writer.bytes(), worked_example);
  // Identifier, size and payload are separate writes, one record at a time.
  EXPECT_EQ(writer.write_sizes, (std::vector<std::uint32_t>{16, 4, 1, 16, 4, 17}));
}

TEST_F(SettingsSave, AnEmptyPatternIsItsIdentifierAndAZeroSizeWithNoPayloadWrite) {
  set_values("", 0);
  memory_writer writer;
  counting_abort abort;
  client->save_settings(writer, abort);
  std::vector<std::uint8_t> expected;
  append_record(expected, enabled_id, {0x00});
  append_record(expected, pattern_id, {});
  EXPECT_EQ(writer.bytes(), expected);
  EXPECT_EQ(writer.write_sizes, (std::vector<std::uint32_t>{16, 4, 1, 16, 4}));
}

TEST_F(SettingsSave, KeepsAFlagByteExactlyAsItWasLoaded) {
  std::vector<std::uint8_t> stream;
  append_record(stream, enabled_id, {0x02});
  load(stream);
  EXPECT_EQ(save()[20], 0x02);
}

TEST_F(SettingsSave, AbortBeforeTheFirstRecordWritesNothingAndFailsWithUserAbort) {
  memory_writer writer;
  counting_abort abort(0);
  expect_throw_with<corvane_io::exception_aborted>([&] { client->save_settings(writer, abort); }, "User abort");
  EXPECT_TRUE(writer.bytes().empty());
}

TEST_F(SettingsSave, AbortDuringTheSecondRecordKeepsTheFirstAndWritesNoPartOfTheSecond) {
  memory_writer writer;
  counting_abort abort(1); // the flag's payload goes through, the pattern's does not
  expect_throw_with<corvane_io::exception_aborted>([&] { client->save_settings(writer, abort); }, "User abort");
  EXPECT_EQ(writer.bytes(), std::vector<std::uint8_t>(worked_example.begin(), worked_example.begin() + 21));
}

TEST_F(SettingsSave, ThenLoadBringsBackAnyPatternAndFlag) {
  std::string long_pattern(1000, 'x');
  long_pattern += "%artist% \xE2\x99\xAA"; // UTF-8 passes untouched
  set_values(long_pattern, 0);
  const auto stream = save();
  ASSERT_EQ(stream.size(), 21u + 20u + long_pattern.size());
  set_values("other", 1);
  load(stream);
  EXPECT_EQ(pattern_text(), long_pattern);
  EXPECT_EQ(cfg_enabled.value, 0);
}

} // namespace
