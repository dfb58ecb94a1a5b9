// Delivery to a real second process under Wine: the mIRC stand-in's windows
// and its reading of the named block, driven through the playback callback or
// straight through the delivery.
#include "allocation_probe.h"
#include "announcer/mirc_delivery.h"
#include "announcer/play_callback_mirc.h"
#include "announcer_test_host.h"
#include "component_module_win32.h"
#include "runtime/service.h"
#include "test_programs_win32.h"
#include "text_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>

namespace {

const std::string found_line = "Chirpline: found mirc window";
const std::string success_line = "Chirpline: Successful";
const std::string no_window_line = "Error: no mIRC window found; track not announced";
const std::string late_line =
    "Error: mIRC did not answer within 3000 ms; the command stays in its shared block should mIRC run it late";
const std::string busy_line =
    "Error: mIRC is still busy with an earlier command; this one stays in its shared block should mIRC run it late";

// The block numbers of the stand-in's trace lines, "1224 method=13 block=N
// OUTCOME" with N in 1..2^31-1; their outcomes, if asked for.
std::vector<std::uint32_t> traced_blocks(const std::vector<std::string>& trace,
                                         std::vector<std::string>* outcomes = nullptr) {
  std::vector<std::uint32_t> blocks;
  for (const std::string& line : trace) {
    unsigned long long n = 0;
    int end = 0;
    if (std::sscanf(line.c_str(), "1224 method=13 block=%llu %n", &n, &end) != 1 || end == 0 || n == 0 ||
        n > 2147483647ull) {
      ADD_FAILURE() << "not a command of ours: " << line;
      continue;
    }
    blocks.push_back(static_cast<std::uint32_t>(n));
    if (outcomes) outcomes->push_back(line.substr(static_cast<std::size_t>(end)));
  }
  return blocks;
}

bool block_exists(std::uint32_t number) { return shared_block_exists((L"mIRC" + std::to_wstring(number)).c_str()); }

// No block of a command the stand-in saw is open any more.
void expect_no_block_left(const mirc_standin& mirc) {
  for (std::uint32_t number : traced_blocks(mirc.trace()))
    EXPECT_FALSE(block_exists(number)) << "mIRC" << number;
}

// Every command ran at most once.
void expect_each_once(const std::vector<std::string>& received) {
  EXPECT_EQ(std::set<std::string>(received.begin(), received.end()).size(), received.size())
      << testing::PrintToString(received);
}

// Until mIRC has handled that many command messages.
void wait_for(const mirc_standin& mirc, std::size_t commands) {
  const auto handled = [&] {
    const auto trace = mirc.trace();
    return static_cast<std::size_t>(
        std::count_if(trace.begin(), trace.end(), [](const std::string& l) { return l.rfind("1224 ", 0) == 0; }));
  };
  for (int waited = 0; handled() < commands && waited < 400; ++waited)
    Sleep(50);
}

class MircDelivery : public testing::Test {
protected:
  void play(const std::string& title, const std::string& album) {
    auto track = host.make_track(title, album);
    track->add_ref();
    static_cast<play_callback&>(callback).on_new_track(track.get());
  }
  announcer_test_host host;
  service_impl_single_t<play_callback_mirc> callback;
};

TEST_F(MircDelivery, EachEnabledTrackArrivesByteForByte) {
  mirc_standin mirc;
  play("Windowlicker", "Windowlicker EP");
  play("J\xC3\xB3ga", "Homogenic");
  play("\xE5\xA4\x9C\xE3\x81\xAB\xE9\xA7\x86\xE3\x81\x91\xE3\x82\x8B", "THE BOOK \xF0\x9F\x8E\xB5");
  EXPECT_EQ(mirc.received(),
            (std::vector<std::string>{"/me is playing: Windowlicker - Windowlicker EP",
                                      "/me is playing: J\xC3\xB3ga - Homogenic",
                                      "/me is playing: \xE5\xA4\x9C\xE3\x81\xAB\xE9\xA7\x86\xE3\x81\x91\xE3\x82\x8B - "
                                      "THE BOOK \xF0\x9F\x8E\xB5"}));
  EXPECT_EQ(host.count_lines(found_line), 3u);
  EXPECT_EQ(host.count_lines(success_line), 3u);
  EXPECT_EQ(host.lines()[0], "Chirpline: Windowlicker - Windowlicker EP");
  // Method 13 (as typed, with flood protection, UTF-16), each from a block of its own.
  std::vector<std::string> outcomes;
  const auto blocks = traced_blocks(mirc.trace(), &outcomes);
  EXPECT_EQ(outcomes, std::vector<std::string>(3, "ran"));
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(std::set<std::uint32_t>(blocks.begin(), blocks.end()).size(), 3u) << "a name is never used twice";
  expect_no_block_left(mirc);
}

// The UTF-16 form is written straight into the block: a title beyond ASCII
// costs no allocation more than a plain one, and a short announcement has a
// fixed count (title, command, and the console's title and found lines).
TEST_F(MircDelivery, TheUtf16FormAllocatesNothing) {
  mirc_standin mirc;
  unsigned plain = 0, wide = 0;
  {
    const allocation_probe probe;
    play("Plain", "Title");
    plain = probe.requests();
  }
  {
    const allocation_probe probe;
    play("\xE5\xA4\x9C\xE3\x81\xAB \xF0\x9F\x8E\xB5", "Bj\xC3\xB6rk");
    wide = probe.requests();
  }
  EXPECT_EQ(mirc.received().size(), 2u);
  EXPECT_EQ(plain, 4u);
  EXPECT_EQ(wide, plain);
}

TEST_F(MircDelivery, DisabledSendsNothing) {
  mirc_standin mirc;
  cfg_enabled.value = 0;
  play("Not sent", "A");
  EXPECT_TRUE(mirc.trace().empty());
  cfg_enabled.value = 1;
  play("Sent", "B");
  EXPECT_EQ(mirc.received(), std::vector<std::string>{"/me is playing: Sent - B"});
  EXPECT_EQ(host.count_lines("Chirpline: Not sent - A"), 1u);
  EXPECT_EQ(host.count_lines(found_line), 1u);
}

TEST_F(MircDelivery, NoMircIsAnError) {
  deliver_command("/me is playing: nobody listens");
  EXPECT_EQ(host.lines(), std::vector<std::string>{no_window_line});
}

TEST_F(MircDelivery, AMircWindowWithoutItsChildrenIsAnError) {
  {
    mirc_standin mirc(L"--shape no-mdiclient");
    deliver_command("/me is playing: x");
  }
  {
    mirc_standin mirc(L"--shape empty-mdiclient");
    deliver_command("/me is playing: y");
  }
  EXPECT_EQ(host.lines(), (std::vector<std::string>{
                              found_line, "Error: the mIRC window has no MDIClient window; track not announced",
                              found_line, "Error: mIRC's MDIClient window has no child window; track not announced"}));
}

TEST_F(MircDelivery, OnlyTheFirstOfTwoMircsGetsTheCommand) {
  mirc_standin first, second;
  deliver_command("/me is playing: once");
  const auto a = first.received(), b = second.received();
  EXPECT_EQ(a.size() + b.size(), 1u);
  EXPECT_EQ((a.empty() ? b : a), std::vector<std::string>{"/me is playing: once"});
  EXPECT_EQ(host.lines(), (std::vector<std::string>{found_line, success_line}));
}

TEST_F(MircDelivery, ClassNameMatchesInAnyCaseButNotAsAPrefix) {
  {
    mirc_standin upper(L"--class MIRC");
    deliver_command("/me is playing: upper");
    EXPECT_EQ(upper.received(), std::vector<std::string>{"/me is playing: upper"});
  }
  {
    mirc_standin longer(L"--class mIRCx");
    deliver_command("/me is playing: longer");
    EXPECT_TRUE(longer.received().empty());
  }
  EXPECT_EQ(host.lines(), (std::vector<std::string>{found_line, success_line, no_window_line}));
}

TEST_F(MircDelivery, HostileTagsArriveAsOneHarmlessCommand) {
  mirc_standin mirc;
  play("Song | /quit\r\n/exit", "x\x01y\x7Fz");
  EXPECT_EQ(mirc.received(), std::vector<std::string>{"/me is playing: Song \xC2\xA6 /quit  /exit - x y z"});
  EXPECT_EQ(host.lines().at(0), "Chirpline: Song | /quit\r\n/exit - x\x01y\x7Fz");
}

// 2047 UTF-16 units and the terminator fill the block: three-byte characters
// take one unit each, characters beyond the BMP two, and a pair is never split.
TEST_F(MircDelivery, AnOverlongCommandArrivesCutAtACharacterBoundary) {
  mirc_standin mirc;
  std::string title = "a";
  for (int i = 0; i < 2100; ++i)
    title += "\xE5\xA4\x9C";
  play(title, "album");
  std::string emoji_title = "ab";
  for (int i = 0; i < 1100; ++i)
    emoji_title += "\xF0\x9F\x8E\xB5";
  play(emoji_title, "album");
  const auto received = mirc.received();
  ASSERT_EQ(received.size(), 2u);
  // "/me is playing: a" is 17 units; 2030 characters of one unit follow.
  EXPECT_EQ(received[0], "/me is playing: " + title.substr(0, 1 + 2030 * 3));
  // "/me is playing: ab" is 18 units; 1014 pairs make 2046, a 1015th would not fit.
  EXPECT_EQ(received[1], "/me is playing: " + emoji_title.substr(0, 2 + 1014 * 4));
  EXPECT_EQ(host.count_lines("Chirpline: command cut from 2125 to 2047 characters to fit mIRC's shared block"), 1u);
  EXPECT_EQ(host.count_lines("Chirpline: command cut from 1126 to 1032 characters to fit mIRC's shared block"), 1u);
  EXPECT_EQ(host.count_lines(success_line), 2u);
}

// mIRC with its SendMessage interface switched off answers 0: an error, and the
// command is not sent again (a 0 can follow a command that ran in part).
TEST_F(MircDelivery, ARefusalIsAnErrorAndNothingIsSentAgain) {
  mirc_standin mirc(L"--refuse-all");
  play("Refused", "R");
  EXPECT_EQ(host.lines(), (std::vector<std::string>{
                              "Chirpline: Refused - R", found_line,
                              "Error: mIRC refused the command (its SendMessage interface may be off, or Corvane "
                              "runs as administrator and mIRC does not); track not announced"}));
  std::vector<std::string> outcomes;
  traced_blocks(mirc.trace(), &outcomes);
  EXPECT_EQ(outcomes, std::vector<std::string>{"refused: the SendMessage interface is off"});
  expect_no_block_left(mirc);
}

class held_block {
public:
  explicit held_block(const wchar_t* name, SECURITY_ATTRIBUTES* attributes = nullptr) {
    section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, attributes, PAGE_READWRITE, 0, 4096, name);
    view_ = section_ ? static_cast<char*>(MapViewOfFile(section_, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
    if (view_) std::memcpy(view_, "/echo someone else's command", 29);
  }
  ~held_block() {
    if (view_) UnmapViewOfFile(view_);
    if (section_) CloseHandle(section_);
  }
  held_block(const held_block&) = delete;
  held_block& operator=(const held_block&) = delete;
  std::string text() const { return view_ ? std::string(view_) : "<no block>"; }

private:
  HANDLE section_ = nullptr;
  char* view_ = nullptr;
};

// Names follow each other from a start of the instance's own; one that exists
// is passed over and never written into, whoever made it: another program's
// block, one made closed to us, or another kind of object.
TEST_F(MircDelivery, ANameThatExistsIsPassedOverNeverWrittenInto) {
  mirc_standin mirc;
  deliver_command("/me is playing: first");
  const auto first = traced_blocks(mirc.trace());
  ASSERT_EQ(first.size(), 1u);
  const std::uint32_t n = first[0];
  const auto name = [](std::uint32_t number) { return L"mIRC" + std::to_wstring(number); };
  const held_block busy(name(n + 1).c_str());
  SECURITY_DESCRIPTOR refuse_all;
  ACL no_entries;
  ASSERT_TRUE(InitializeSecurityDescriptor(&refuse_all, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(InitializeAcl(&no_entries, sizeof no_entries, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&refuse_all, TRUE, &no_entries, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &refuse_all, FALSE};
  const held_block guarded(name(n + 2).c_str(), &attributes);
  ASSERT_EQ(guarded.text(), "/echo someone else's command") << GetLastError();
  ASSERT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, name(n + 2).c_str()), nullptr) << "the access list does not refuse";
  const std::unique_ptr<void, decltype(&CloseHandle)> squatter(CreateMutexW(nullptr, FALSE, name(n + 3).c_str()),
                                                               &CloseHandle);
  ASSERT_NE(squatter.get(), nullptr);
  deliver_command("/me is playing: beside");
  EXPECT_EQ(busy.text(), "/echo someone else's command");
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me is playing: first", "/me is playing: beside"}));
  EXPECT_EQ(traced_blocks(mirc.trace()), (std::vector<std::uint32_t>{n, n + 4}));
  EXPECT_EQ(host.lines(), (std::vector<std::string>{found_line, success_line, found_line, success_line}));
  expect_no_block_left(mirc);
}

long long milliseconds_taken(const std::function<void()>& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// A mIRC the platform already counts as hung (another program's command has
// kept it inside its handler for over five seconds) is not waited for at all,
// and no block stays for it: the message was never queued.
TEST_F(MircDelivery, AMircTheSystemCountsHungFailsAtOnce) {
  mirc_standin mirc(L"--hang-ms 30000");
  HWND mdi_client = FindWindowExW(FindWindowW(L"mIRC", nullptr), nullptr, L"MDIClient", nullptr);
  DWORD_PTR ignored = 0;
  ASSERT_EQ(SendMessageTimeoutW(GetWindow(mdi_client, GW_CHILD), 0x0400 + 200, 13, 0, SMTO_BLOCK, 100, &ignored), 0);
  Sleep(5500);
  const long long took = milliseconds_taken([&] { play("Hung", "X"); });
  EXPECT_LT(took, 1000);
  EXPECT_EQ(host.lines(), (std::vector<std::string>{"Chirpline: Hung - X", found_line,
                                                    "Error: mIRC is not responding; track not announced"}));
}

// A mIRC already inside its handler when the player gives up reads the block
// later: it finds the late track's own command there, kept for it, and runs it
// once; the next track comes once, from a block of its own, and its answer
// lets the kept block go.
TEST_F(MircDelivery, ALateMircRunsTheLateCommandOnceAndTheNextOneOnce) {
  mirc_standin mirc(L"--hang-ms 4500 --hang-count 1");
  play("Late", "L");
  for (int waited = 0; mirc.received().empty() && waited < 200; ++waited)
    Sleep(50);
  EXPECT_EQ(mirc.received(), std::vector<std::string>{"/me is playing: Late - L"});
  const auto late = traced_blocks(mirc.trace());
  ASSERT_EQ(late.size(), 1u);
  EXPECT_TRUE(block_exists(late[0])) << "kept until mIRC answers a later command";
  play("Next", "N");
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me is playing: Late - L", "/me is playing: Next - N"}));
  EXPECT_EQ(traced_blocks(mirc.trace()), (std::vector<std::uint32_t>{late[0], late[0] + 1}));
  EXPECT_EQ(host.lines(), (std::vector<std::string>{"Chirpline: Late - L", found_line, late_line, "Chirpline: Next - N",
                                                    found_line, success_line}));
  expect_no_block_left(mirc);
}

// A console line that cannot be built once mIRC is found: the failure reaches
// the caller, and nothing is sent.
TEST_F(MircDelivery, AFailedFoundLineReachesTheCaller) {
  mirc_standin mirc;
  bool raised = false;
  try {
    const allocation_probe refuse_all(0, 0);
    deliver_command("/me is playing: never");
  } catch (const std::bad_alloc& e) {
    raised = true;
    EXPECT_STREQ(e.what(), "bad allocation");
  }
  EXPECT_TRUE(raised);
  EXPECT_TRUE(mirc.received().empty());
  EXPECT_TRUE(mirc.trace().empty());
}

// Each allocation of an announcement refused in turn (an overlong title, so
// the cut's line is built too): the host hears "bad allocation" only when mIRC
// got nothing, and a command mIRC received is never reported as a failure.
TEST_F(MircDelivery, EachRefusedAllocationEitherSendsNothingOrReportsSuccess) {
  mirc_standin mirc;
  const std::string title(5000, 't');
  std::size_t received = 0;
  unsigned k = 1;
  for (;; ++k) {
    ASSERT_LT(k, 12u) << "the announcement never completed";
    bool threw = false;
    {
      const allocation_probe probe(k);
      try {
        play(title, "a");
      } catch (const std::bad_alloc&) {
        threw = true;
      }
    }
    expect_no_block_left(mirc);
    const auto now = mirc.received();
    if (!threw) {
      ASSERT_EQ(now.size(), received + 1) << k;
      EXPECT_EQ(now.back(), "/me is playing: " + title.substr(0, 2047 - 16));
      break;
    }
    EXPECT_EQ(now.size(), received) << "a command mIRC received was reported as failed, allocation " << k;
    received = now.size();
  }
  EXPECT_GE(k, 6u) << "title, command, title line, cut line and found line each refused once";
  EXPECT_EQ(host.count_lines(success_line), 1u);
}

TEST_F(MircDelivery, TheStandinEndsAfterItsCount) {
  mirc_standin mirc(L"--count 2");
  deliver_command("/me is playing: one");
  EXPECT_EQ(mirc.received().size(), 1u);
  EXPECT_FALSE(mirc.ended_within(1000)) << "one command is not yet its count";
  deliver_command("/me is playing: two");
  EXPECT_TRUE(mirc.ended_within(10000));
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me is playing: one", "/me is playing: two"}));
}

// --- through the real component and the stand-in player ---

TEST(ComponentPlayback, ThePlayerPlaysAPlaylistIntoMirc) {
  const std::wstring playlist = temporary_path(L"playlist");
  {
    std::FILE* f = _wfopen(playlist.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fputs("title: Windowlicker\nalbum: Windowlicker EP\n\n"
               "title: J\xC3\xB3ga\n\n"
               "title: Sweet | Sour\nalbum: one\n  two\n",
               f);
    std::fclose(f);
  }
  mirc_standin mirc;
  program_result host = run_program(L"corvane-host.exe", L"play \"" + playlist + L"\"");
  DeleteFileW(playlist.c_str());
  host.out.erase(std::remove(host.out.begin(), host.out.end(), '\r'), host.out.end()); // its console is in text mode
  EXPECT_EQ(host.exit_code, 0u) << host.err;
  EXPECT_EQ(host.out, "Chirpline: Windowlicker - Windowlicker EP\n"
                      "Chirpline: found mirc window\nChirpline: Successful\n"
                      "Chirpline: J\xC3\xB3ga - ?\n"
                      "Chirpline: found mirc window\nChirpline: Successful\n"
                      "Chirpline: Sweet | Sour - one\ntwo\n"
                      "Chirpline: found mirc window\nChirpline: Successful\n");
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me is playing: Windowlicker - Windowlicker EP",
                                                       "/me is playing: J\xC3\xB3ga - ?",
                                                       "/me is playing: Sweet \xC2\xA6 Sour - one two"}));
  std::vector<std::string> outcomes;
  traced_blocks(mirc.trace(), &outcomes);
  EXPECT_EQ(outcomes, std::vector<std::string>(3, "ran"));
  EXPECT_NE(host.err.find("played 3 track(s)"), std::string::npos) << host.err;
}

// A stall met by the player itself, track by track: one wait, a short one for
// the next track, the command mIRC held running once when it is let go, and
// the track after it announced once.
TEST(ComponentPlayback, AStallCostsThePlayerOneWaitAndRunsEachCommandOnce) {
  const std::wstring playlist = temporary_path(L"playlist");
  {
    std::FILE* f = _wfopen(playlist.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fputs("title: Stalled\n\ntitle: Busy\n\ntitle: After\n", f);
    std::fclose(f);
  }
  const named_event release;
  mirc_standin mirc(L"--stall-event " + release.name() + L" --hang-count 1");
  background_player player(L"play --step \"" + playlist + L"\"");
  ASSERT_TRUE(player.says("track 1 played")) << player.err();
  player.step();
  ASSERT_TRUE(player.says("track 2 played")) << player.err();
  release.set();
  wait_for(mirc, 1);
  player.step();
  ASSERT_TRUE(player.says("track 3 played")) << player.err();
  EXPECT_EQ(player.finish(), 0u) << player.err();
  DeleteFileW(playlist.c_str());
  std::string out = player.out();
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
  EXPECT_EQ(out, "Chirpline: Stalled - ?\n" + found_line + "\n" + late_line + "\n" + "Chirpline: Busy - ?\n" +
                     found_line + "\n" + busy_line + "\n" + "Chirpline: After - ?\n" + found_line + "\n" +
                     success_line + "\n");
  const auto received = mirc.received();
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received.front(), "/me is playing: Stalled - ?");
  EXPECT_EQ(received.back(), "/me is playing: After - ?");
  expect_each_once(received);
  expect_no_block_left(mirc);
}

TEST(ComponentPlayback, CompilerLookupFailuresCrossTheLibraryToTheHost) {
  host_registry registry;
  loaded_component component(program_folder() + L"cor_chirpline.dll", registry);
  const auto services = component.services(play_callback_static_class_guid);
  ASSERT_EQ(services.size(), 1u);
  auto* callback_static = static_cast<play_callback_static*>(services[0].get());
  EXPECT_EQ(callback_static->notification_mask(), 2u);
  play_callback* callback = callback_static;

  auto track = announcer_test_host::make_track("T", "A");
  auto compiler = make_ledger_service<titleformat_compiler_standin>();
  for (int compilers = 0; compilers <= 2; compilers += 2) {
    registry.remove_all(titleformat_compiler_class_guid);
    for (int i = 0; i < compilers; ++i)
      registry.add(titleformat_compiler_class_guid, compiler.get());
    track->add_ref();
    std::string message = "<none>";
    try {
      callback->on_new_track(track.get());
    } catch (const std::exception& e) {
      message = e.what();
    }
    EXPECT_EQ(message, compilers == 0 ? "Service not found" : "Service duplicated");
    EXPECT_EQ(track->reference_count(), 1);
  }
  registry.remove_all(titleformat_compiler_class_guid);
  EXPECT_EQ(compiler->reference_count(), 1);
}

// --- stalls through the real component ---

// The real DLL with a console that keeps its lines; tracks played one by one.
class BinaryDelivery : public testing::Test {
protected:
  BinaryDelivery() {
    registry.add(console_class_guid, console.get());
    registry.add(titleformat_compiler_class_guid, compiler.get());
    load();
  }
  // Unloads the component, if loaded, and loads it afresh, as a player that
  // restarts.
  void load() {
    services.clear();
    component.reset();
    component = std::make_unique<loaded_component>(program_folder() + L"cor_chirpline.dll", registry);
    component->set_services_ready(true);
    services = component->services(play_callback_static_class_guid);
  }
  // The console lines of one track, and how long the player waited for it.
  std::vector<std::string> play(const std::string& title, long long* took = nullptr) {
    const std::size_t before = console->lines().size();
    auto track = announcer_test_host::make_track(title, "B");
    track->add_ref();
    auto* callback = static_cast<play_callback*>(static_cast<play_callback_static*>(services.at(0).get()));
    const long long ms = milliseconds_taken([&] { callback->on_new_track(track.get()); });
    if (took) *took = ms;
    return std::vector<std::string>(console->lines().begin() + static_cast<std::ptrdiff_t>(before),
                                    console->lines().end());
  }
  std::string last_line(const std::string& title, long long* took = nullptr) {
    const auto lines = play(title, took);
    return lines.empty() ? "<no line>" : lines.back();
  }
  host_registry registry;
  host_ref<console_stdout> console = make_host_service<console_stdout>(nullptr);
  host_ref<ledger_service_t<titleformat_compiler_standin>> compiler =
      make_ledger_service<titleformat_compiler_standin>();
  std::unique_ptr<loaded_component> component;
  std::vector<host_ref<service_base>> services;
};

// mIRC stuck inside one command until the test lets it go: the player waits
// once, then at most a quarter of a second a track; the command mIRC holds
// runs once when it is released, and the first track after is announced.
TEST_F(BinaryDelivery, AStallCostsOneWaitAndTheCommandInHandRunsOnce) {
  const named_event release;
  mirc_standin mirc(L"--stall-event " + release.name() + L" --hang-count 1");
  long long took = 0;
  EXPECT_EQ(last_line("Stalled", &took), late_line);
  EXPECT_GE(took, 2500);
  for (const char* title : {"Busy 1", "Busy 2", "Busy 3"}) {
    EXPECT_EQ(last_line(title, &took), busy_line) << title;
    EXPECT_LT(took, 1000) << title;
  }
  release.set();
  wait_for(mirc, 1);
  EXPECT_EQ(last_line("After"), success_line);
  const auto received = mirc.received();
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received.front(), "/me is playing: Stalled - B");
  EXPECT_EQ(received.back(), "/me is playing: After - B");
  expect_each_once(received);
  const auto blocks = traced_blocks(mirc.trace());
  EXPECT_EQ(std::set<std::uint32_t>(blocks.begin(), blocks.end()).size(), blocks.size());
  services.clear();
  component.reset();
  expect_no_block_left(mirc);
}

// The player restarts while mIRC holds a late message: the old instance's
// block closed with it, so the old message finds no block, never the new
// instance's command, which has a name of its own; nothing runs twice.
TEST_F(BinaryDelivery, ARestartDuringAStallRunsNoCommandTwice) {
  const named_event release;
  mirc_standin mirc(L"--stall-event " + release.name() + L" --hang-count 1");
  EXPECT_EQ(last_line("Stalled"), late_line);
  load();
  EXPECT_EQ(last_line("After restart"), late_line) << "a new instance knows of no stall";
  release.set();
  wait_for(mirc, 1);
  EXPECT_EQ(last_line("Next"), success_line);
  std::vector<std::string> outcomes;
  const auto blocks = traced_blocks(mirc.trace(), &outcomes);
  ASSERT_GE(blocks.size(), 2u);
  EXPECT_EQ(outcomes.front(), "refused: no shared block mIRC" + std::to_string(blocks.front()) + " (error 2)");
  EXPECT_EQ(std::set<std::uint32_t>(blocks.begin(), blocks.end()).size(), blocks.size()) << "the two instances' names";
  const auto received = mirc.received();
  EXPECT_EQ(received.back(), "/me is playing: Next - B");
  EXPECT_EQ(std::count(received.begin(), received.end(), "/me is playing: Stalled - B"), 0);
  expect_each_once(received);
}

// While mIRC is stuck in a command, its script brings another channel to the
// front, the next track goes there, and the script closes that channel before
// it ends: the command in hand runs once, the one sent to the closed channel
// never runs anywhere else, and the next track is announced once.
TEST_F(BinaryDelivery, AChannelSwitchAndAClosedFrontWindowInAStallRunNoCommandTwice) {
  const named_event release;
  mirc_standin mirc(L"--channels 3 --stall-switch --stall-event " + release.name() + L" --hang-count 1");
  EXPECT_EQ(last_line("One"), late_line);
  EXPECT_EQ(last_line("Two"), busy_line);
  release.set();
  wait_for(mirc, 1);
  EXPECT_EQ(last_line("Three"), success_line);
  const auto received = mirc.received();
  expect_each_once(received);
  EXPECT_EQ(std::count(received.begin(), received.end(), "/me is playing: One - B"), 1);
  EXPECT_EQ(std::count(received.begin(), received.end(), "/me is playing: Three - B"), 1);
  EXPECT_EQ(received.back(), "/me is playing: Three - B");
}

// mIRC switches channels after every command and is then busy for 600 ms
// with something of its own: each track waits its turn, goes to another
// window, and is announced once.
TEST_F(BinaryDelivery, AChannelSwitchWhileMircIsBusyLosesNoTrack) {
  mirc_standin mirc(L"--channels 2 --switch-busy-ms 600");
  std::vector<std::string> sent;
  for (int i = 1; i <= 4; ++i) {
    const std::string title = "Channel " + std::to_string(i);
    EXPECT_EQ(last_line(title), success_line) << title;
    sent.push_back("/me is playing: " + title + " - B");
  }
  EXPECT_EQ(mirc.received(), sent);
}

// mIRC gone, with a send in hand or while a late message's block is kept: the
// send's line says the window closed, the kept block goes with the window,
// and the next mIRC gets the next track.
TEST_F(BinaryDelivery, AMircThatQuitsLeavesNoBlockAndTheNextMircGetsTheNextTrack) {
  for (const wchar_t* fate : {L"--chaos 1 --chaos-weights 0,0,0,1", L"--hang-ms 4000 --hang-count 1"}) {
    const bool held = fate[2] == L'h';
    std::vector<std::uint32_t> first;
    {
      mirc_standin mirc(fate);
      EXPECT_EQ(last_line("Lost"),
                held ? late_line : "Error: the mIRC window closed before it took the command; track not announced");
      wait_for(mirc, 1);
      first = traced_blocks(mirc.trace());
      ASSERT_EQ(first.size(), 1u);
      EXPECT_EQ(held, block_exists(first[0]));
      EXPECT_TRUE(held || mirc.ended_within(10000));
    }
    mirc_standin next;
    EXPECT_EQ(last_line("Found"), success_line);
    EXPECT_EQ(next.received(), std::vector<std::string>{"/me is playing: Found - B"});
    EXPECT_FALSE(block_exists(first[0]));
    expect_no_block_left(next);
  }
}

} // namespace
