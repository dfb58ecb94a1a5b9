// chirpline_mirc.dll as mIRC loads it (the 64-bit build as a 64-bit client
// loads it): LOADINFO and data placed against pages the process may not
// touch, blocks made by this test, and the real player publishing.
#include "announcer/now_playing_title.h"
#include "now_playing/now_playing_protocol.h"
#include "test_programs_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <windows.h>

namespace {

// mIRC's LOADINFO with every field; a version passes the part up to its last.
struct LOADINFO {
  DWORD mVersion;
  HWND mHwnd;
  BOOL mKeep;
  BOOL mUnicode;
  DWORD mBeta;
  DWORD mBytes;
};

template <typename Function> Function find_export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The DLL loaded afresh, as mIRC loads it at a script's first $dll.
class mirc_dll {
public:
  mirc_dll() : module_(LoadLibraryW((program_folder() + L"chirpline_mirc.dll").c_str())) {
    if (module_ == nullptr) return;
    load_ = find_export<decltype(load_)>(module_, "LoadDll");
    unload_ = find_export<decltype(unload_)>(module_, "UnloadDll");
    title_ = find_export<decltype(title_)>(module_, "title");
  }
  ~mirc_dll() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  mirc_dll(const mirc_dll&) = delete;
  mirc_dll& operator=(const mirc_dll&) = delete;
  bool loaded() const { return load_ && unload_ && title_; }

  void(__stdcall* load_)(void*) = nullptr;
  int(__stdcall* unload_)(int) = nullptr;
  int(__stdcall* title_)(HWND, HWND, void*, void*, BOOL, BOOL) = nullptr;

  // As mIRC 7.81 loads it, then title into data of units UTF-16 units.
  void load_as_781(DWORD bytes = 16384) {
    LOADINFO info{7 | 81 << 16, nullptr, FALSE, FALSE, 0, bytes};
    load_(&info);
  }
  std::u16string title(std::size_t units = 8192) {
    std::u16string data(units, u'#');
    EXPECT_EQ(title_(nullptr, nullptr, &data[0], nullptr, FALSE, TRUE), 3);
    return data.substr(0, data.find(u'\0'));
  }

private:
  HMODULE module_;
};

// size bytes that end exactly where a page the process may not touch begins.
class guarded_bytes {
public:
  explicit guarded_bytes(std::size_t size) : size_(size) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize, pages = (size + page - 1) / page;
    base_ = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, (pages + 1) * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + pages * page, page, PAGE_NOACCESS, &old))
      base_ = nullptr;
    else
      start_ = base_ + pages * page - size;
  }
  ~guarded_bytes() {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
  }
  guarded_bytes(const guarded_bytes&) = delete;
  guarded_bytes& operator=(const guarded_bytes&) = delete;
  unsigned char* get() const { return start_; }
  std::size_t size() const { return size_; }

private:
  std::size_t size_;
  unsigned char* base_ = nullptr;
  unsigned char* start_ = nullptr;
};

// The block made by this test, as another program (or the player) makes it.
class test_block {
public:
  explicit test_block(DWORD size = now_playing::block_size) {
    section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, now_playing::block_name);
    existed_ = GetLastError() == ERROR_ALREADY_EXISTS;
    if (section_ != nullptr) view_ = MapViewOfFile(section_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  }
  ~test_block() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (section_ != nullptr) CloseHandle(section_);
  }
  test_block(const test_block&) = delete;
  test_block& operator=(const test_block&) = delete;
  bool ours() const { return view_ != nullptr && !existed_; }
  now_playing::block& block() const { return *static_cast<now_playing::block*>(view_); }
  void publish(const std::string& title) { write_now_playing_title(block(), ("/me is playing: " + title).c_str()); }

private:
  HANDLE section_ = nullptr;
  void* view_ = nullptr;
  bool existed_ = false;
};

std::u16string emoji(std::size_t count) {
  std::u16string text;
  for (std::size_t i = 0; i < count; ++i)
    text += u"\U0001F3B5";
  return text;
}

std::string emoji_utf8(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i)
    text += "\xF0\x9F\x8E\xB5";
  return text;
}

// The player's settings with sending off (the flag's record, value 0).
std::wstring settings_with_sending_off() {
  const std::wstring path = temporary_path(L"sending-off");
  const unsigned char record[] = {0x67, 0xeb, 0x99, 0xd1, 0x98, 0xef, 0xc6, 0x4f, 0x97, 0x0c, 0x2e,
                                  0x6c, 0x38, 0x32, 0x94, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00};
  if (std::FILE* f = _wfopen(path.c_str(), L"wb")) {
    std::fwrite(record, 1, sizeof record, f);
    std::fclose(f);
  }
  return path;
}

std::wstring write_playlist(const std::string& text) {
  const std::wstring path = temporary_path(L"playlist");
  if (std::FILE* f = _wfopen(path.c_str(), L"wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  return path;
}

// --- LOADINFO and data at the edge of what may be touched ---

// Each version's LOADINFO ends where that version's structure ends, at a page
// the process may not touch: LoadDll reads and writes only its fields. Then
// title fills data of the size that version gives (900 characters, or
// mBytes), also ending at such a page, with a 3,000-character title cut at a
// character boundary: "ab" and emoji, whose 899th unit would be half a pair.
TEST(MircDll, EachVersionsLoadInfoAndDataAreNeverOverrun) {
  test_block published;
  ASSERT_TRUE(published.ours());
  published.publish("ab" + emoji_utf8(2998));
  const struct {
    const char* name;
    DWORD version;
    std::size_t end; // bytes of LOADINFO that version passes
    DWORD bytes;     // its mBytes, if it passes one
    std::u16string expected;
  } versions[] = {
      {"5.8", 5 | 8 << 16, offsetof(LOADINFO, mUnicode), 0, u""},
      {"6.35", 6 | 35 << 16, offsetof(LOADINFO, mUnicode), 0, u""},
      {"7.0", 7, offsetof(LOADINFO, mBeta), 0, u"ab" + emoji(448)},
      {"7.5 as 5", 7 | 5 << 16, offsetof(LOADINFO, mBeta), 0, u"ab" + emoji(448)},
      {"7.50", 7 | 50 << 16, offsetof(LOADINFO, mBeta), 0, u"ab" + emoji(448)},
      {"7.51", 7 | 51 << 16, offsetof(LOADINFO, mBytes), 0, u"ab" + emoji(448)},
      {"7.64, small", 7 | 64 << 16, sizeof(LOADINFO), 20, u"ab" + emoji(3)},
      {"7.64, odd", 7 | 64 << 16, sizeof(LOADINFO), 9, u"ab"},
      {"7.81", 7 | 81 << 16, sizeof(LOADINFO), 4062, u"ab" + emoji(1014)},
  };
  for (const auto& v : versions) {
    SCOPED_TRACE(v.name);
    mirc_dll dll;
    ASSERT_TRUE(dll.loaded());
    guarded_bytes info_bytes(v.end);
    LOADINFO full{v.version, nullptr, FALSE, FALSE, 0, v.bytes};
    std::memcpy(info_bytes.get(), &full, v.end);
    dll.load_(info_bytes.get());
    LOADINFO after{};
    std::memcpy(&after, info_bytes.get(), v.end);
    EXPECT_EQ(after.mKeep, TRUE);
    const bool unicode = v.end > offsetof(LOADINFO, mUnicode);
    if (unicode) {
      EXPECT_EQ(after.mUnicode, TRUE);
    }

    const std::size_t data_bytes = v.bytes != 0 ? v.bytes : unicode ? 900 * 2 : 900;
    guarded_bytes data(data_bytes);
    std::memset(data.get(), 0x23, data_bytes);
    EXPECT_EQ(dll.title_(nullptr, nullptr, data.get(), nullptr, FALSE, TRUE), 3);
    if (!unicode) {
      EXPECT_EQ(data.get()[0], 0) << "byte text: an empty value";
      continue;
    }
    std::u16string got(data_bytes / 2, u'#');
    std::memcpy(&got[0], data.get(), got.size() * 2);
    EXPECT_EQ(got.substr(0, got.find(u'\0')), v.expected);
    EXPECT_NE(got.find(u'\0'), std::u16string::npos);
  }
}

// --- what the block holds ---

// No player, a player with no track yet, a block that is not ours (garbage,
// another kind of object of that name): an empty value each time, and a
// player that comes back is read afresh.
TEST(MircDll, AnythingButAPublishedTitleIsAnEmptyValue) {
  mirc_dll dll;
  ASSERT_TRUE(dll.loaded());
  dll.load_as_781();
  EXPECT_EQ(dll.title(), u"");
  {
    test_block fresh;
    ASSERT_TRUE(fresh.ours());
    EXPECT_EQ(dll.title(), u"") << "no track started yet";
    fresh.publish("J\xC3\xB3ga - Homogenic");
    EXPECT_EQ(dll.title(), u"J\u00F3ga - Homogenic");
    fresh.publish("");
    EXPECT_EQ(dll.title(), u"") << "an empty title";
    fresh.publish("Windowlicker");
    EXPECT_EQ(dll.title(), u"Windowlicker");
  }
  EXPECT_EQ(dll.title(), u"") << "the player is gone";
  {
    test_block garbage(100);
    ASSERT_TRUE(garbage.ours());
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
      auto* bytes = reinterpret_cast<unsigned char*>(&garbage.block());
      for (int i = 0; i < 4096; ++i)
        bytes[i] = static_cast<unsigned char>(random());
      if (round % 2 == 0) { // our mark and version over the noise, an even sequence
        const std::uint32_t header[3] = {0x504E4843, 1, 2};
        std::memcpy(bytes, header, sizeof header);
      }
      const std::u16string value = dll.title();
      ASSERT_TRUE(value.empty()) << "round " << round;
    }
  }
  {
    HANDLE other = CreateEventW(nullptr, TRUE, FALSE, now_playing::block_name);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(dll.title(), u"");
    CloseHandle(other);
  }
  test_block again;
  again.publish("the new title");
  EXPECT_EQ(dll.title(), u"the new title");
  EXPECT_EQ(dll.unload_(0), 1);
}

TEST(MircDll, AnOlderMircGetsAnEmptyByteValue) {
  test_block published;
  published.publish("T");
  mirc_dll dll;
  ASSERT_TRUE(dll.loaded());
  char data[900];
  std::memset(data, '#', sizeof data);
  EXPECT_EQ(dll.title_(nullptr, nullptr, data, nullptr, FALSE, TRUE), 3) << "no LoadDll: before mIRC 5.8";
  EXPECT_EQ(data[0], '\0');
  EXPECT_EQ(data[1], '#');
}

// --- the real player ---

// The player flips between two titles of different lengths as fast as it
// can (announcing off), while this test reads 10,000 times: every value is
// one whole title, and an empty one (the reader's tries ran out) comes at most
// once in a thousand.
TEST(MircDll, ReadsAgainstAFlippingPlayerAreWholeTitles) {
  const std::wstring settings = settings_with_sending_off();
  const std::wstring playlist =
      write_playlist("title: short\n\ntitle: a rather longer title\nalbum: " + emoji_utf8(20) + "\n");
  background_player player(L"--settings \"" + settings + L"\" play --repeat 100000000 \"" + playlist + L"\"");
  mirc_dll dll;
  ASSERT_TRUE(dll.loaded());
  dll.load_as_781();
  const std::u16string titles[2] = {u"short - ?", u"a rather longer title - " + emoji(20)};
  for (int waited = 0; dll.title().empty(); waited += 10) {
    ASSERT_TRUE(player.running()) << player.err();
    ASSERT_LT(waited, 60000) << "the player published nothing";
    Sleep(10);
  }
  int seen[2] = {0, 0}, empty = 0, changes = 0;
  std::u16string last;
  for (int i = 0; i < 10000; ++i) {
    const std::u16string value = dll.title();
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
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[1], 0);
  EXPECT_GT(changes, 20) << "the reads did not meet the writes";
  DeleteFileW(settings.c_str());
  DeleteFileW(playlist.c_str());
}

// A block of that name that some other program made, with garbage in it:
// the player announces every track as ever, says once that on-demand titles
// are off, and title gives an empty value.
TEST(MircDll, ABlockSquattedByAnotherProgramTurnsOnlyOnDemandTitlesOff) {
  test_block squatter;
  ASSERT_TRUE(squatter.ours());
  std::memset(&squatter.block(), 0xA5, 4080);
  mirc_standin mirc;
  const std::wstring playlist = write_playlist("title: one\n\ntitle: two\n\ntitle: three\n");
  const program_result played = run_program(L"corvane-host.exe", L"play \"" + playlist + L"\"");
  EXPECT_EQ(played.exit_code, 0u) << played.err;
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me is playing: one - ?", "/me is playing: two - ?",
                                                       "/me is playing: three - ?"}));
  const std::string off_line = "Chirpline: on-demand titles are off: another program holds the shared block "
                               "ChirplineNowPlaying; trying again at the next track\n";
  std::string out = played.out;
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
  const std::string expected = "Chirpline: one - ?\n" + off_line +
                               "Chirpline: found mirc window\nChirpline: Successful\nChirpline: two - ?\n"
                               "Chirpline: found mirc window\nChirpline: Successful\nChirpline: three - ?\n"
                               "Chirpline: found mirc window\nChirpline: Successful\n";
  EXPECT_EQ(out, expected);
  mirc_dll dll;
  ASSERT_TRUE(dll.loaded());
  dll.load_as_781();
  EXPECT_EQ(dll.title(), u"");
  DeleteFileW(playlist.c_str());
}

// A reader that holds the block while the player restarts keeps the old,
// closed player's block alive: the new player says so once and publishes as
// soon as the name is free again, at its next track.
TEST(MircDll, ABlockHeldByAReaderDuringARestartIsTakenAtALaterTrack) {
  const std::wstring settings = settings_with_sending_off();
  const std::wstring playlist = write_playlist("title: first\n\ntitle: second\n\ntitle: third\n");
  mirc_dll dll;
  ASSERT_TRUE(dll.loaded());
  dll.load_as_781();
  HANDLE held = nullptr;
  {
    background_player before(L"--settings \"" + settings + L"\" play --step \"" + playlist + L"\"");
    ASSERT_TRUE(before.says("track 1 played")) << before.err();
    EXPECT_EQ(dll.title(), u"first - ?");
    held = OpenFileMappingW(FILE_MAP_READ, FALSE, now_playing::block_name);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(before.finish(), 0u) << before.err();
  }
  EXPECT_EQ(dll.title(), u"first - ?") << "the closed player's block, still held";
  background_player after(L"--settings \"" + settings + L"\" play --step \"" + playlist + L"\"");
  ASSERT_TRUE(after.says("track 1 played")) << after.err();
  EXPECT_NE(after.out().find("on-demand titles are off"), std::string::npos) << after.out();
  CloseHandle(held);
  EXPECT_EQ(dll.title(), u"") << "the old block is gone with its last handle";
  after.step();
  ASSERT_TRUE(after.says("track 2 played")) << after.err();
  EXPECT_EQ(dll.title(), u"second - ?");
  after.step();
  ASSERT_TRUE(after.says("track 3 played")) << after.err();
  EXPECT_EQ(dll.title(), u"third - ?");
  EXPECT_EQ(after.finish(), 0u);
  const std::string out = after.out();
  EXPECT_EQ(out.find("on-demand titles are off"), out.rfind("on-demand titles are off")) << "said once: " << out;
  EXPECT_EQ(dll.title(), u"") << "the player quit";
  DeleteFileW(settings.c_str());
  DeleteFileW(playlist.c_str());
}

} // namespace
