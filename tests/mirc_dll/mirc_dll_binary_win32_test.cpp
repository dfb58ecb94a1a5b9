// chirpline_mirc.dll as mIRC loads it (the 64-bit build as a 64-bit client
// does): LOADINFO and data against pages the process may not touch, blocks
// of that name that are small, uncommitted or written by another program,
// the reason for no title, and the real player publishing, flipping titles,
// restarting, or finding its block's name taken. (A block that fails its
// checks: tests/now_playing.)
#include "announcer/now_playing_title.h"
#include "mirc_dll/mirc_dll_interface_win32.h"
#include "now_playing/now_playing_protocol.h"
#include "test_programs_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace {

// The DLL loaded afresh, as mIRC loads it at a script's first $dll.
struct mirc_dll {
  HMODULE module = LoadLibraryW((program_folder() + L"chirpline_mirc.dll").c_str());
  void(__stdcall* load)(void*) = reinterpret_cast<decltype(load)>(reinterpret_cast<void*>(GetProcAddress(module,
                                                                                                         "LoadDll")));
  int(__stdcall* title)(HWND, HWND, void*, void*, BOOL, BOOL) =
      reinterpret_cast<decltype(title)>(reinterpret_cast<void*>(GetProcAddress(module, "title")));
  decltype(title) reason = reinterpret_cast<decltype(title)>(reinterpret_cast<void*>(GetProcAddress(module, "reason")));
  ~mirc_dll() { FreeLibrary(module); }
  // As mIRC 7.81 (mBytes 16384) when not loaded yet, then the value of
  // procedure (title, or reason).
  std::u16string value(bool why = false) {
    if (!loaded) {
      LOADINFO info{7 | 81 << 16, nullptr, FALSE, FALSE, 0, 16384};
      load(&info);
      loaded = true;
    }
    std::u16string data(8192, u'#');
    EXPECT_EQ((why ? reason : title)(nullptr, nullptr, &data[0], nullptr, FALSE, TRUE), 3);
    return data.substr(0, data.find(u'\0'));
  }
  std::u16string why() { return value(true); }
  bool loaded = false;
};

// size bytes ending where a page the process may not touch begins.
struct guarded_bytes {
  explicit guarded_bytes(std::size_t size) {
    base = static_cast<unsigned char*>(VirtualAlloc(nullptr, 0x20000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(base + 0x10000, 0x10000, PAGE_NOACCESS, &old);
    start = base + 0x10000 - size;
  }
  ~guarded_bytes() { VirtualFree(base, 0, MEM_RELEASE); }
  unsigned char* base;
  unsigned char* start;
};

// The block made by this test, as the player (or another program) makes it.
struct test_block {
  explicit test_block(DWORD size = now_playing::block_size, DWORD attributes = 0)
      : section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | attributes, 0, size,
                                   now_playing::block_name)),
        ours(section != nullptr && GetLastError() != ERROR_ALREADY_EXISTS),
        view(section ? MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr) {}
  ~test_block() {
    UnmapViewOfFile(view);
    CloseHandle(section);
  }
  void publish(const std::string& title) {
    write_now_playing_title(*static_cast<now_playing::block*>(view), ("/me is playing: " + title).c_str());
  }
  // Our header, and slot 1 (sequence 1) of length units: the first units of
  // text, then '#' up to what the view holds.
  void write_raw(std::uint32_t length, const std::u16string& text, std::size_t view_bytes) {
    auto& b = *static_cast<now_playing::block*>(view);
    b.header = {0x504E4843, 1, 1, 0};
    b.slot[1].length = length;
    char16_t* const at = b.slot[1].text;
    for (std::size_t i = 0; 4088 + 2 * (i + 1) <= view_bytes; ++i)
      at[i] = i < text.size() ? text[i] : u'#';
  }
  HANDLE section;
  bool ours;
  void* view;
};

std::u16string emoji(std::size_t count) {
  std::u16string text;
  while (count-- > 0)
    text += u"\U0001F3B5";
  return text;
}

std::wstring write_file(const std::string& bytes) {
  const std::wstring path = temporary_path(L"input");
  std::FILE* f = _wfopen(path.c_str(), L"wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

// The player with announcing off (the flag's record, value 0), playing list.
std::wstring sending_off_play(const std::wstring& options, const std::string& list) {
  const std::wstring settings = write_file(
      std::string("\x67\xeb\x99\xd1\x98\xef\xc6\x4f\x97\x0c\x2e\x6c\x38\x32\x94\x05\x01\x00\x00\x00\x00", 21));
  return L"--settings \"" + settings + L"\" play " + options + L" \"" + write_file(list) + L"\"";
}

// Each version's LOADINFO ends where that version's structure ends, at a page
// the process may not touch: LoadDll reads and writes only its fields. title
// then fills data of the size that version gives (900 characters, or mBytes,
// down to none at all), also ending at such a page, with a title of 3,000
// characters cut at a character boundary: "ab" and emoji, whose 899th unit
// would be half a pair. reason, in the same data, says there is a title, or
// that mIRC is too old.
TEST(MircDll, EachVersionsLoadInfoAndDataAreNeverOverrun) {
  test_block published;
  ASSERT_TRUE(published.ours);
  std::string title = "ab";
  for (int i = 0; i < 2998; ++i)
    title += "\xF0\x9F\x8E\xB5";
  published.publish(title);
  const struct {
    DWORD version;
    std::size_t end; // bytes of LOADINFO that version passes
    DWORD bytes;     // its mBytes, if it has one
    std::u16string expected;
  } versions[] = {
      {5 | 8 << 16, offsetof(LOADINFO, mUnicode), 0, u""},
      {7 | 5 << 16, offsetof(LOADINFO, mBeta), 0, u"ab" + emoji(448)}, // 7.5, its minor written as 5
      {7 | 50 << 16, offsetof(LOADINFO, mBeta), 0, u"ab" + emoji(448)},
      {7 | 51 << 16, offsetof(LOADINFO, mBytes), 0, u"ab" + emoji(448)},
      {7 | 64 << 16, sizeof(LOADINFO), 20, u"ab" + emoji(3)},
      {7 | 64 << 16, sizeof(LOADINFO), 9, u"ab"},
      {7 | 64 << 16, sizeof(LOADINFO), 2, u""},
      {7 | 64 << 16, sizeof(LOADINFO), 1, u""}, // no room for a terminator
      {7 | 64 << 16, sizeof(LOADINFO), 0, u""},
      {7 | 81 << 16, sizeof(LOADINFO), 4062, u"ab" + emoji(1014)}, // the whole published title
  };
  for (const auto& v : versions) {
    SCOPED_TRACE(testing::Message() << (v.version & 0xFFFF) << "." << (v.version >> 16) << ", mBytes " << v.bytes);
    mirc_dll dll;
    guarded_bytes info(v.end);
    const LOADINFO full{v.version, nullptr, FALSE, FALSE, 0, v.bytes};
    std::memcpy(info.start, &full, v.end);
    dll.load(info.start);
    LOADINFO after{};
    std::memcpy(&after, info.start, v.end);
    EXPECT_EQ(after.mKeep, TRUE);
    const bool unicode = v.end > offsetof(LOADINFO, mUnicode);
    EXPECT_EQ(after.mUnicode, unicode ? TRUE : FALSE);

    const std::size_t size = v.end == sizeof(LOADINFO) ? v.bytes : unicode ? 1800 : 900;
    guarded_bytes data(size);
    for (auto* procedure : {dll.title, dll.reason}) {
      std::memset(data.start, 0x23, size);
      EXPECT_EQ(procedure(nullptr, nullptr, data.start, nullptr, FALSE, TRUE), 3);
      const std::string bytes(reinterpret_cast<const char*>(data.start), size);
      std::u16string got(size / 2, u'#');
      std::memcpy(&got[0], data.start, got.size() * 2);
      const std::size_t end = got.find(u'\0');
      if (!unicode) {
        EXPECT_EQ(bytes.substr(0, bytes.find('\0')), procedure == dll.title ? "" : "mIRC 7.0 or later is needed");
      } else if (size < 2) {
        EXPECT_EQ(bytes, std::string(size, '#')) << "no room: data untouched";
      } else {
        ASSERT_NE(end, std::u16string::npos) << "not terminated";
        EXPECT_EQ(got.substr(0, end),
                  procedure == dll.title
                      ? v.expected
                      : std::u16string(u"Corvane has a title now; try again").substr(0, size / 2 - 1));
      }
    }
  }
}

// The player flips two titles of different lengths as fast as it can while
// this test reads 10,000 times: each value is one whole title, and an empty
// one (the reader's tries ran out) comes at most once in a thousand.
TEST(MircDll, ReadsAgainstAFlippingPlayerAreWholeTitles) {
  background_player player(sending_off_play(L"--repeat 100000000", "title: short\n\ntitle: a rather longer title\n"));
  mirc_dll dll;
  const std::u16string titles[2] = {u"short - ?", u"a rather longer title - ?"};
  for (int waited = 0; dll.value().empty() && player.running() && waited < 60000; waited += 10)
    Sleep(10);
  int seen[2] = {0, 0}, empty = 0, changes = 0;
  std::u16string last;
  for (int i = 0; i < 10000; ++i) {
    const std::u16string value = dll.value();
    if (value.empty()) {
      ++empty;
      continue;
    }
    ASSERT_TRUE(value == titles[0] || value == titles[1]) << "read " << i << " is neither title";
    ++seen[value == titles[1]];
    changes += !last.empty() && value != last;
    last = value;
  }
  std::printf("10000 reads: %d empty, %d and %d of the two titles, %d changes\n", empty, seen[0], seen[1], changes);
  EXPECT_TRUE(player.running()) << "the player stopped flipping: " << player.err();
  EXPECT_LE(empty, 10);
  EXPECT_GT(changes, 20) << "the reads did not meet the writes";
}

// A block of that name that another program made, with garbage in it: the
// player announces every track as ever, says once that on-demand titles are
// off, and the value is empty.
TEST(MircDll, ABlockSquattedByAnotherProgramTurnsOnlyOnDemandTitlesOff) {
  test_block squatter;
  ASSERT_TRUE(squatter.ours);
  std::memset(squatter.view, 0xA5, now_playing::block_size);
  mirc_standin mirc;
  const program_result played =
      run_program(L"corvane-host.exe", L"play \"" + write_file("title: one\n\ntitle: two\n\ntitle: three\n") + L"\"");
  std::string out = played.out;
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
  const std::string announced = "Chirpline: found mirc window\nChirpline: Successful\n";
  EXPECT_EQ(out, "Chirpline: one - ?\nChirpline: on-demand titles are off: another program holds the shared block "
                 "ChirplineNowPlaying; trying again at the next track\n" +
                     announced + "Chirpline: two - ?\n" + announced + "Chirpline: three - ?\n" + announced);
  EXPECT_EQ(mirc.received().size(), 3u);
  EXPECT_EQ(mirc_dll().value(), u"");
}

// A reader that holds the block after the player quit finds it closed: no
// title, and the reason says so. The player started again takes that block
// over and publishes at its first track, with nothing on its console about
// on-demand titles; and its title goes when it quits, the reader still there.
TEST(MircDll, AReaderHoldingTheBlockOfAPlayerThatQuitGetsNoTitle) {
  const std::string list = "title: first\n\ntitle: second\n";
  mirc_dll dll;
  HANDLE held = nullptr;
  {
    background_player before(sending_off_play(L"--step", list));
    ASSERT_TRUE(before.says("track 1 played")) << before.err();
    held = OpenFileMappingW(FILE_MAP_READ, FALSE, now_playing::block_name);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(dll.value(), u"first - ?");
    EXPECT_EQ(before.finish(), 0u) << before.err();
  }
  EXPECT_EQ(dll.value(), u"") << "the title of a player that quit";
  EXPECT_EQ(dll.why(), u"Corvane has quit");
  background_player after(sending_off_play(L"--step", list));
  ASSERT_TRUE(after.says("track 1 played")) << after.err();
  EXPECT_EQ(dll.value(), u"first - ?") << "the restarted player's first track";
  after.step();
  ASSERT_TRUE(after.says("track 2 played")) << after.err();
  EXPECT_EQ(dll.value(), u"second - ?");
  EXPECT_EQ(after.finish(), 0u);
  EXPECT_EQ(after.out().find("on-demand"), std::string::npos) << after.out();
  EXPECT_EQ(dll.value(), u"") << "the player quit again";
  CloseHandle(held);
  EXPECT_EQ(dll.why(), u"Corvane is not running, has started no track yet, or has no Chirpline component");
}

// A block of that name in our format that some other program wrote, with a
// line break, a command after it, '|' and control bytes: the value has none
// of them but mIRC's formatting codes, as the component would have sent it.
// A block smaller than ours is read only as far as it goes, and one whose
// pages are reserved but not committed not at all.
TEST(MircDll, ABlockOfAnotherProgramGivesOnlyWhatIsSafeToRead) {
  mirc_dll dll;
  {
    test_block foreign;
    ASSERT_TRUE(foreign.ours);
    const char16_t raw[] = u"a\r\nQUIT :bye|x\x01\x02"
                           u"b\x03"
                           u"4c\x7F\0d";
    foreign.write_raw(23, std::u16string(raw, 23), now_playing::block_size);
    EXPECT_EQ(dll.value(), u"a  QUIT :bye\u00A6x \x02"
                           u"b\x03"
                           u"4c  d");
    foreign.write_raw(0, u"", now_playing::block_size);
    EXPECT_EQ(dll.value(), u"");
    EXPECT_EQ(dll.why(), u"the title of the track Corvane plays is empty");
  }
  {
    // One page: slot 1's length is its last field but one, its text the last 8 bytes.
    test_block small(4096);
    ASSERT_TRUE(small.ours);
    small.write_raw(3, u"abc", 4096);
    EXPECT_EQ(dll.value(), u"abc");
    small.write_raw(1000, u"abc", 4096);
    EXPECT_EQ(dll.value(), u"") << "a length past the end of the block";
    EXPECT_EQ(
        dll.why(),
        u"another program holds the name ChirplineNowPlaying, where Corvane keeps the title (see Corvane's console)");
  }
  {
    test_block reserved(now_playing::block_size, SEC_RESERVE);
    ASSERT_TRUE(reserved.ours);
    EXPECT_EQ(dll.value(), u"") << "nothing committed";
    ASSERT_NE(VirtualAlloc(reserved.view, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    reserved.write_raw(3, u"abc", 4096);
    EXPECT_EQ(dll.value(), u"abc") << "the first page committed";
    reserved.write_raw(5, u"abcde", 4096);
    EXPECT_EQ(dll.value(), u"") << "a title past the committed page";
  }
}

} // namespace
