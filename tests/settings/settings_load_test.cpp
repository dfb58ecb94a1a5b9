#include "allocation_probe.h"
#include "settings/variable_map.h"
#include "settings_test_support.h"

#include <algorithm>
#include <vector>

namespace {

using SettingsLoad = SettingsClient;
using bytes = std::vector<std::uint8_t>;

const bytes unknown_id_payload = {1, 2, 3, 4, 5};
constexpr std::uint8_t unknown_id[16] = {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};

TEST_F(SettingsLoad, AnEmptyStreamChangesNothing) {
  set_values("mine", 0);
  memory_reader reader(bytes{});
  load(reader);
  EXPECT_EQ(pattern_text(), "mine");
  EXPECT_EQ(cfg_enabled.value, 0);
  EXPECT_EQ(reader.read_requests, (std::vector<std::uint32_t>{16}));
}

TEST_F(SettingsLoad, EndsQuietlyOnOneToFifteenStrayBytesAfterARecord) {
  for (std::size_t stray : {1u, 15u}) {
    set_values("mine", 1);
    bytes stream;
    append_record(stream, pattern_id, bytes_of("new"));
    stream.insert(stream.end(), stray, 0x5E);
    load(stream);
    EXPECT_EQ(pattern_text(), "new") << stray;
  }
}

TEST_F(SettingsLoad, SkipsARecordItHasNoVariableForAndGoesOn) {
  set_values("mine", 1);
  bytes stream;
  append_record(stream, unknown_id, unknown_id_payload);
  memory_reader alone(stream);
  load(alone);
  EXPECT_EQ(pattern_text(), "mine");
  EXPECT_EQ(cfg_enabled.value, 1);
  EXPECT_EQ(alone.position(), stream.size());

  append_record(stream, enabled_id, {0});
  load(stream);
  EXPECT_EQ(cfg_enabled.value, 0);
}

TEST_F(SettingsLoad, SizeFieldCutShortFailsWithTheHostsOwnException) {
  bytes stream(enabled_id, enabled_id + 16);
  stream.push_back(1); // 1 of 4 size bytes
  memory_reader reader(stream);
  EXPECT_THROW(load(reader), host_stream_truncated);
  EXPECT_EQ(cfg_enabled.value, 1);
}

TEST_F(SettingsLoad, UnmatchedRecordCutShortFailsWithTheHostsOwnException) {
  bytes stream;
  append_record_head(stream, unknown_id, 10);
  stream.insert(stream.end(), 4, 0xAA);
  memory_reader reader(stream);
  EXPECT_THROW(load(reader), host_stream_truncated);
  EXPECT_EQ(reader.skip_exact_calls, 1);
}

// Whatever the flag was, a record with no byte for it leaves it so.
TEST_F(SettingsLoad, AnEnabledRecordOfSizeZeroLeavesTheFlagAndTheNextRecordApplies) {
  for (std::uint8_t before : {0, 1, 0}) {
    set_values("mine", before);
    bytes stream;
    append_record(stream, enabled_id, {});
    append_record(stream, pattern_id, bytes_of("after"));
    load(stream);
    EXPECT_EQ(cfg_enabled.value, before);
    EXPECT_EQ(pattern_text(), "after");
  }
}

TEST_F(SettingsLoad, AnEnabledRecordOfSizeFourTakesItsFirstByteAndSkipsTheRest) {
  bytes stream;
  append_record(stream, enabled_id, {0x00, 0xAA, 0xBB, 0xCC});
  append_record(stream, pattern_id, bytes_of("after"));
  load(stream);
  EXPECT_EQ(cfg_enabled.value, 0);
  EXPECT_EQ(pattern_text(), "after");

  bytes two;
  append_record(two, enabled_id, {0x02, 0xAA, 0xBB, 0xCC});
  load(two);
  EXPECT_EQ(cfg_enabled.value, 2);
}

TEST_F(SettingsLoad, ReadsA600BytePatternInChunksOf256Then256Then88) {
  bytes payload(600);
  for (std::size_t i = 0; i < payload.size(); ++i)
    payload[i] = static_cast<std::uint8_t>('a' + i % 26);
  bytes stream;
  append_record(stream, pattern_id, payload);
  memory_reader reader(stream);
  load(reader);
  EXPECT_EQ(pattern_text(), std::string(payload.begin(), payload.end()));
  // identifier, size, three chunks, then the identifier read that meets the end
  EXPECT_EQ(reader.read_requests, (std::vector<std::uint32_t>{16, 4, 256, 256, 88, 16}));
}

TEST_F(SettingsLoad, APatternOfExactly256BytesTakesASecondReadThatReturnsNothing) {
  bytes stream;
  append_record(stream, pattern_id, bytes(256, 'q'));
  memory_reader reader(stream);
  load(reader);
  EXPECT_EQ(pattern_text(), std::string(256, 'q'));
  EXPECT_EQ(reader.read_requests, (std::vector<std::uint32_t>{16, 4, 256, 0, 16}));
}

TEST_F(SettingsLoad, APatternPayloadStopsAtItsFirstZeroByte) {
  bytes stream;
  append_record(stream, pattern_id, {0x61, 0x62, 0x00, 0x63, 0x64});
  append_record(stream, enabled_id, {0});
  load(stream);
  EXPECT_EQ(pattern_text(), "ab");
  EXPECT_EQ(cfg_enabled.value, 0); // the bytes after the zero were consumed, not taken for a record
}

TEST_F(SettingsLoad, AZeroByteCutsOnlyItsOwn256ByteChunk) {
  bytes payload(300, 'a');
  payload[10] = 0;
  std::fill(payload.begin() + 256, payload.end(), 'b');
  bytes stream;
  append_record(stream, pattern_id, payload);
  load(stream);
  EXPECT_EQ(pattern_text(), std::string(10, 'a') + std::string(44, 'b'));
}

// The fast paths (chunks read straight into the text, whole 16-byte blocks
// folded to find a zero, the last block overlapping the ones before it)
// against the plain rule, for a zero at every position of payloads whose last
// chunk ends at every kind of place. Every non-zero byte value occurs, high
// ones included.
TEST_F(SettingsLoad, AZeroByteAnywhereCutsOnlyItsOwnChunkAndTheRecordIsConsumed) {
  for (std::size_t length : {1u,   2u,   15u,  16u,  17u,  31u,  32u,  33u,  47u,  48u,  49u,  100u, 255u, 256u,
                             257u, 271u, 272u, 273u, 300u, 511u, 512u, 513u, 527u, 600u, 767u, 768u, 769u}) {
    bytes payload(length);
    for (std::size_t i = 0; i < length; ++i)
      payload[i] = static_cast<std::uint8_t>(1 + i * 37 % 255);
    for (std::size_t at = 0; at < length; ++at) {
      bytes with_zero = payload;
      with_zero[at] = 0;
      set_values("mine", 1);
      bytes stream;
      append_record(stream, pattern_id, with_zero);
      append_record(stream, enabled_id, {0});
      memory_reader reader(stream);
      load(reader);
      ASSERT_EQ(pattern_text(), pattern_from_payload(with_zero.data(), length)) << length << " bytes, zero at " << at;
      ASSERT_EQ(cfg_enabled.value, 0) << length << " bytes, zero at " << at;
      ASSERT_EQ(reader.position(), stream.size()) << length << " bytes, zero at " << at;
    }
  }
}

// Size fields at and beyond what memory allows (1 MiB here), and just above
// the room the loader makes ahead (64 KiB): the data ends before the record
// does, and the answer is the format's error, never "bad allocation". The
// flag's record before it stands; the pattern is untouched.
TEST_F(SettingsLoad, ASizeFieldBeyondMemoryAndDataFailsAsDamageNotAsMemory) {
  constexpr std::uint32_t memory = 1u << 20;
  for (std::uint32_t declared :
       {(64u << 10) + 1, memory, memory + 1, 16u << 20, (16u << 20) + 1, 1u << 31, 0xFFFFFFFFu}) {
    for (std::size_t present : {0u, 1u, 300u, 70000u, 300000u}) {
      if (present >= declared) continue;
      set_values("mine", 1);
      bytes stream;
      append_record(stream, enabled_id, {0});
      append_record_head(stream, pattern_id, declared);
      stream.insert(stream.end(), present, 'x');
      memory_reader reader(stream);
      const allocation_probe limit(0, memory);
      expect_throw_with<corvane_io::exception_io_data_truncation>([&] { load(reader); },
                                                                  "Unsupported format or corrupted file");
      EXPECT_FALSE(limit.refused()) << declared << " declared, " << present << " present";
      EXPECT_EQ(pattern_text(), "mine") << declared << " declared, " << present << " present";
      EXPECT_EQ(cfg_enabled.value, 0) << declared << " declared, " << present << " present";
    }
  }
}

TEST_F(SettingsLoad, APatternPayloadOver16MiBIsPassedOverAndTheLoadGoesOn) {
  constexpr std::uint32_t limit = 16u << 20;
  bytes stream;
  append_record_head(stream, pattern_id, limit + 1);
  stream.resize(stream.size() + limit + 1, 'x');
  append_record(stream, enabled_id, {0});
  memory_reader reader(stream);
  {
    // Skipped, not read: no more memory than a small load takes.
    const allocation_probe memory(0, 64u << 10);
    load(reader);
    EXPECT_FALSE(memory.refused());
  }
  EXPECT_EQ(pattern_text(), "%title% - %album%");
  EXPECT_EQ(cfg_enabled.value, 0);
  EXPECT_EQ(reader.position(), stream.size());
}

// What a pattern load holds, against the data that has arrived: no block more
// than about twice what the reader had handed over when it was asked for
// (plus the first 64 KiB), whatever the size field promises; and a whole
// payload, up to the largest a load takes, no more than about twice its size
// in all it holds at once, the moves of its block included. Payloads just
// past a step of growth, and size fields that promise far more than arrives.
TEST_F(SettingsLoad, MemoryFollowsTheDataThatArrivedNotTheSizeField) {
  constexpr std::size_t first_room = 64u << 10;
  // A chunk's room ahead of the text, its terminator, the allocator's rounding.
  constexpr std::size_t slack = first_room + 1024;
  constexpr std::uint32_t mib = 1u << 20;
  const struct {
    std::uint32_t declared;
    std::uint32_t present;
  } cases[] = {{first_room + 1, first_room + 1},
               {300000, 300000},
               {4 * mib + 1, 4 * mib + 1},
               {5 * mib, 5 * mib},
               {16 * mib, 16 * mib},
               {16 * mib, 300000},
               {16 * mib, 4 * mib},
               {16 * mib, 5 * mib},
               {5 * mib, 4 * mib + 1}};
  for (const auto& c : cases) {
    set_values("mine", 1);
    bytes stream;
    append_record_head(stream, pattern_id, c.declared);
    stream.resize(stream.size() + c.present, 'x');
    memory_reader reader(stream);
    const bool whole = c.present == c.declared;
    allocation_probe memory;
    memory.note_progress([&] { return reader.position(); });
    if (whole)
      load(reader);
    else
      EXPECT_THROW(load(reader), corvane_io::exception_io_data_truncation);
    std::size_t beyond = 0; // the most a block asked for went past twice what had arrived
    for (const auto& request : memory.noted())
      beyond = std::max(beyond, request.bytes - std::min(request.bytes, 2 * request.progress));
    EXPECT_LE(beyond, slack) << c.declared << " declared, " << c.present << " present";
    if (whole) {
      EXPECT_LE(memory.held_peak(), 2ll * c.present + static_cast<long long>(slack)) << c.present << " bytes";
      ASSERT_EQ(cfg_title_pattern.text_length(), c.present);
      EXPECT_EQ(cfg_title_pattern.text_ptr()[c.present - 1], 'x');
    } else {
      EXPECT_EQ(pattern_text(), "mine") << c.declared << " declared, " << c.present << " present";
    }
  }
}

TEST_F(SettingsLoad, AnEmptyPatternPayloadEmptiesThePattern) {
  bytes stream;
  append_record(stream, pattern_id, {});
  load(stream);
  EXPECT_EQ(pattern_text(), "");
}

TEST_F(SettingsLoad, TheLastOfSeveralRecordsForOneVariableWins) {
  bytes stream;
  append_record(stream, pattern_id, {0x78});
  append_record(stream, pattern_id, {0x79});
  load(stream);
  EXPECT_EQ(pattern_text(), "y");
}

TEST_F(SettingsLoad, APatternRecordCutShortKeepsTheOldPatternAndFails) {
  set_values("mine", 1);
  bytes stream;
  append_record(stream, enabled_id, {0}); // applied before the damage, and stays applied
  append_record_head(stream, pattern_id, 10);
  stream.insert(stream.end(), {'a', 'b', 'c', 'd'});
  memory_reader reader(stream);
  expect_throw_with<corvane_io::exception_io_data_truncation>([&] { load(reader); },
                                                              "Unsupported format or corrupted file");
  EXPECT_EQ(pattern_text(), "mine");
  EXPECT_EQ(cfg_enabled.value, 0);
}

TEST_F(SettingsLoad, ALongPatternRecordCutAfterWholeChunksKeepsTheOldPattern) {
  set_values("mine", 1);
  bytes stream;
  append_record_head(stream, pattern_id, 1000);
  stream.insert(stream.end(), 512, 'z'); // ends exactly on a chunk boundary
  expect_throw_with<corvane_io::exception_io_data_truncation>([&] { load(stream); },
                                                              "Unsupported format or corrupted file");
  EXPECT_EQ(pattern_text(), "mine");
}

TEST_F(SettingsLoad, AnEnabledRecordWhosePayloadIsMissingKeepsTheFlagAndFails) {
  for (std::uint8_t before : {0, 1, 0}) {
    set_values("mine", before);
    bytes stream;
    append_record_head(stream, enabled_id, 1);
    expect_throw_with<corvane_io::exception_io_data_truncation>([&] { load(stream); },
                                                                "Unsupported format or corrupted file");
    EXPECT_EQ(cfg_enabled.value, before);
  }
}

TEST_F(SettingsLoad, AHostErrorInsideAPayloadIsNotTakenForBadData) {
  // A host whose stream breaks while the variable reads: its exception is not
  // a data error, so it must reach the caller instead of being passed over.
  bytes stream;
  append_record(stream, pattern_id, bytes_of("never"));
  breaking_reader reader(stream, 20); // the record's head, then no more
  counting_abort abort;
  set_values("mine", 1);
  expect_throw_with<std::runtime_error>([&] { client->load_settings(reader, abort); }, "disk gone");
  EXPECT_EQ(pattern_text(), "mine");
}

// Extra variables linked for one test, then the lists put back as they were.
class list_guard {
public:
  list_guard() : readers_(reader_list), writers_(writer_list) {}
  ~list_guard() {
    reader_list = readers_;
    writer_list = writers_;
  }

private:
  cfg_var_reader* readers_;
  cfg_var_writer* writers_;
};

TEST_F(SettingsLoad, AmongVariablesSharingAnIdentifierTheEarliestConstructedTakesTheRecords) {
  list_guard restore;
  const guid shared_id = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
  cfg_int_t<bool> first(shared_id, false);
  cfg_int_t<bool> second(shared_id, false);
  cfg_int_t<bool> shadow_of_enabled(static_cast<cfg_var_reader&>(cfg_enabled).guid, false);

  EXPECT_EQ(variable_map(reader_list).find(shared_id), static_cast<cfg_var_reader*>(&first));

  const std::uint8_t shared_bytes[16] = {4, 3, 2, 1, 6, 5, 8, 7, 9, 10, 11, 12, 13, 14, 15, 16};
  bytes stream;
  append_record(stream, shared_bytes, {1});
  append_record(stream, enabled_id, {0});
  load(stream);
  EXPECT_EQ(first.value, 1);
  EXPECT_EQ(second.value, 0);
  EXPECT_EQ(cfg_enabled.value, 0);
  EXPECT_EQ(shadow_of_enabled.value, 0);
}

TEST(VariableMapLookup, MatchesAll16BytesAndOrdersThemAsUnsigned) {
  list_guard restore;
  reader_list = nullptr;
  writer_list = nullptr;
  // Identifiers differing only in their last byte, on both sides of 0x80.
  guid ids[4] = {};
  const std::uint8_t last[4] = {0x00, 0x7F, 0x80, 0xFF};
  for (int i = 0; i < 4; ++i)
    ids[i].data4[7] = last[i];
  cfg_int_t<bool> a(ids[2], false), b(ids[0], false), c(ids[3], false), d(ids[1], false);
  variable_map map(reader_list);
  EXPECT_EQ(map.find(ids[0]), static_cast<cfg_var_reader*>(&b));
  EXPECT_EQ(map.find(ids[1]), static_cast<cfg_var_reader*>(&d));
  EXPECT_EQ(map.find(ids[2]), static_cast<cfg_var_reader*>(&a));
  EXPECT_EQ(map.find(ids[3]), static_cast<cfg_var_reader*>(&c));
  guid near = ids[3];
  near.data1 = 1;
  EXPECT_EQ(map.find(near), nullptr);
  // 0x7F before 0x80: bytes compare as unsigned.
  EXPECT_TRUE(guid_bytes_less{}(ids[1], ids[2]));
  EXPECT_FALSE(guid_bytes_less{}(ids[2], ids[1]));
}

} // namespace
