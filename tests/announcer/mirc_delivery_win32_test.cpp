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
#include <functional>
#include <memory>
#include <set>

namespace {

const std::string found_line = "Chirpline: found mirc window";
const std::string success_line = "Chirpline: Successful";
const std::string no_window_line = "Error: no mIRC window found; track not announced";
const std::string late_line =
    "Error: mIRC did not answer within 3000 ms; the command stays in its shared block should mIRC run it late";
const std::string busy_line = "Error: mIRC is still busy with an earlier command; track not announced";

class MircDelivery : public testing::Test {
protected:
  void play(const std::string& title, const std::string& album) {
    auto track = host.make_track(title, album);
    track->add_ref();
    static_cast<play_callback&>(callback).on_new_track(track.get());
  }
  void expect_no_block_left() {
    EXPECT_FALSE(shared_block_exists(L"mIRC"));
    EXPECT_FALSE(shared_block_exists(L"mIRC1"));
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
  // Method 13 (as typed, with flood protection, UTF-16) from block 0, "mIRC", each time.
  EXPECT_EQ(mirc.trace(), std::vector<std::string>(3, "1224 method=13 block=0 ran"));
  expect_no_block_left();
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
  expect_no_block_left();
  cfg_enabled.value = 1;
  play("Sent", "B");
  EXPECT_EQ(mirc.received(), std::vector<std::string>{"/me is playing: Sent - B"});
  EXPECT_EQ(host.count_lines("Chirpline: Not sent - A"), 1u);
  EXPECT_EQ(host.count_lines(found_line), 1u);
}

TEST_F(MircDelivery, NoMircIsAnErrorAndLeavesNoBlock) {
  deliver_command("/me is playing: nobody listens");
  EXPECT_EQ(host.lines(), std::vector<std::string>{no_window_line});
  expect_no_block_left();
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
  expect_no_block_left();
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
  EXPECT_EQ(mirc.trace(), std::vector<std::string>{"1224 method=13 block=0 refused: the SendMessage interface is off"});
  expect_no_block_left();
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

TEST_F(MircDelivery, ABusyBlockIsLeftAloneAndTheNextFreeNameUsed) {
  mirc_standin mirc;
  held_block busy(L"mIRC");
  deliver_command("/me is playing: beside");
  EXPECT_EQ(busy.text(), "/echo someone else's command");
  EXPECT_EQ(mirc.received(), std::vector<std::string>{"/me is playing: beside"});
  EXPECT_EQ(mirc.trace(), std::vector<std::string>{"1224 method=13 block=1 ran"});
  EXPECT_EQ(host.lines(), (std::vector<std::string>{found_line, success_line}));
  EXPECT_FALSE(shared_block_exists(L"mIRC1"));
}

TEST_F(MircDelivery, BlockNamesRunUpToMirc9ThenNothingIsSent) {
  mirc_standin mirc;
  std::vector<std::unique_ptr<held_block>> busy;
  busy.push_back(std::make_unique<held_block>(L"mIRC"));
  for (wchar_t digit = L'1'; digit <= L'8'; ++digit) {
    const wchar_t name[] = {L'm', L'I', L'R', L'C', digit, 0};
    busy.push_back(std::make_unique<held_block>(name));
  }
  deliver_command("/me is playing: in mIRC9");
  EXPECT_EQ(mirc.received(), std::vector<std::string>{"/me is playing: in mIRC9"});
  EXPECT_EQ(mirc.trace(), std::vector<std::string>{"1224 method=13 block=9 ran"});
  EXPECT_FALSE(shared_block_exists(L"mIRC9"));

  busy.push_back(std::make_unique<held_block>(L"mIRC9"));
  deliver_command("/me is playing: nowhere");
  EXPECT_EQ(mirc.received().size(), 1u);
  EXPECT_EQ(host.lines(),
            (std::vector<std::string>{
                found_line, success_line, found_line,
                "Error: the shared blocks mIRC and mIRC1 to mIRC9 are all held by other programs; track not "
                "announced"}));
  for (const auto& b : busy)
    EXPECT_EQ(b->text(), "/echo someone else's command");
}

// Another kind of object already holding the name makes the section fail to
// come into being: said with the system's own text, and nothing is sent.
TEST_F(MircDelivery, ABlockThatCannotBeMadeIsAnErrorWithTheSystemsText) {
  mirc_standin mirc;
  {
    const std::unique_ptr<void, decltype(&CloseHandle)> squatter(CreateMutexW(nullptr, FALSE, L"mIRC"), &CloseHandle);
    ASSERT_NE(squatter.get(), nullptr);
    deliver_command("/me is playing: blocked");
  }
  EXPECT_TRUE(mirc.received().empty());
  ASSERT_EQ(host.lines().size(), 2u);
  const std::string& line = host.lines()[1];
  EXPECT_EQ(line.rfind("Error: cannot create the shared block mIRC: ", 0), 0u) << line;
  EXPECT_NE(line.find("(system error 6)"), std::string::npos) << line;
  EXPECT_GT(line.size(), std::string("Error: cannot create the shared block mIRC: (system error 6)").size())
      << "the system's wording is part of the line";
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
  expect_no_block_left();
}

// A mIRC already inside its handler when the player gives up reads the block
// later: it must find the late track's own command there, run it once, and
// the next track, sent once mIRC has caught up, must come once.
TEST_F(MircDelivery, ALateMircRunsTheLateCommandOnceAndTheNextOneOnce) {
  mirc_standin mirc(L"--hang-ms 4500 --hang-count 1");
  play("Late", "L");
  for (int waited = 0; mirc.received().empty() && waited < 200; ++waited)
    Sleep(50);
  EXPECT_EQ(mirc.received(), std::vector<std::string>{"/me is playing: Late - L"});
  EXPECT_TRUE(shared_block_exists(L"mIRC"));
  play("Next", "N");
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me is playing: Late - L", "/me is playing: Next - N"}));
  EXPECT_EQ(mirc.trace(), (std::vector<std::string>{"1224 method=13 block=0 ran", "1224 method=13 block=0 ran"}));
  EXPECT_EQ(host.lines(), (std::vector<std::string>{"Chirpline: Late - L", found_line, late_line, "Chirpline: Next - N",
                                                    found_line, success_line}));
  expect_no_block_left();
}

// A console line that cannot be built inside the window walk: the failure
// stops the walk, leaves the platform's callback as a return value and is
// raised again afterwards, with the block closed.
TEST_F(MircDelivery, AFailureInsideTheWindowWalkReachesTheCaller) {
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
  expect_no_block_left();
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
    expect_no_block_left();
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
  EXPECT_EQ(mirc.trace(), std::vector<std::string>(3, "1224 method=13 block=0 ran"));
  EXPECT_NE(host.err.find("played 3 track(s)"), std::string::npos) << host.err;
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

// --- stalls and refusals through the real component ---

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
  // Until mIRC has handled that many command messages (questions aside).
  static void wait_for(const mirc_standin& mirc, std::size_t commands) {
    const auto handled = [&] {
      const auto trace = mirc.trace();
      return static_cast<std::size_t>(
          std::count_if(trace.begin(), trace.end(), [](const std::string& l) { return l.rfind("1224 ", 0) == 0; }));
    };
    for (int waited = 0; handled() < commands && waited < 400; ++waited)
      Sleep(50);
  }

  host_registry registry;
  host_ref<console_stdout> console = make_host_service<console_stdout>(nullptr);
  host_ref<ledger_service_t<titleformat_compiler_standin>> compiler =
      make_ledger_service<titleformat_compiler_standin>();
  std::unique_ptr<loaded_component> component;
  std::vector<host_ref<service_base>> services;
};

// Each command keeps mIRC just past the wait. Every track the player sends in
// that time runs once, late; one that arrives before mIRC has caught up is
// skipped with its line, never sent into a second name; once mIRC is quick,
// the next tracks come at once.
TEST_F(BinaryDelivery, AMircSlowForElevenTracksThenQuickGetsTheNextTracks) {
  mirc_standin mirc(L"--hang-ms 3150 --hang-count 11");
  std::size_t sent = 0;
  for (int i = 1; sent < 11; ++i) {
    ASSERT_LE(i, 30) << "mIRC was asked to run 11 slow commands";
    const std::string line = last_line("Slow " + std::to_string(i));
    if (line == late_line)
      ++sent;
    else
      ASSERT_EQ(line, busy_line) << "track " << i;
  }
  wait_for(mirc, 11);
  for (const char* title : {"Quick 1", "Quick 2"})
    EXPECT_EQ(play(title),
              (std::vector<std::string>{std::string("Chirpline: ") + title + " - B", found_line, success_line}));
  const auto received = mirc.received();
  EXPECT_EQ(std::set<std::string>(received.begin(), received.end()).size(), 13u) << "13 tracks, each once";
  EXPECT_EQ(mirc.trace(), std::vector<std::string>(13, "1224 method=13 block=0 ran"));
  services.clear();
  component.reset();
  EXPECT_FALSE(shared_block_exists(L"mIRC"));
}

// mIRC stuck for seven seconds inside one command: the player waits once; the
// track after returns at once with its line and is never sent; the stuck
// command runs once, and the first track after the stall is announced.
TEST_F(BinaryDelivery, ASevenSecondStallCostsThePlayerOneWait) {
  mirc_standin mirc(L"--hang-ms 7000 --hang-count 1");
  long long first = 0, second = 0;
  EXPECT_EQ(last_line("Stalled", &first), late_line);
  EXPECT_EQ(play("Skipped", &second), (std::vector<std::string>{"Chirpline: Skipped - B", found_line, busy_line}));
  EXPECT_GE(first, 2500);
  EXPECT_LT(second, 1000);
  wait_for(mirc, 1);
  EXPECT_EQ(last_line("After"), success_line);
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"/me is playing: Stalled - B", "/me is playing: After - B"}));
}

// A "mIRC" block that another program made under an access list refusing us
// is a taken name: the command goes through "mIRC1".
TEST_F(BinaryDelivery, ABlockWeMayNotOpenIsATakenName) {
  mirc_standin mirc;
  SECURITY_DESCRIPTOR refuse_all;
  ACL no_entries;
  ASSERT_TRUE(InitializeSecurityDescriptor(&refuse_all, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(InitializeAcl(&no_entries, sizeof no_entries, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&refuse_all, TRUE, &no_entries, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &refuse_all, FALSE};
  const held_block guarded(L"mIRC", &attributes);
  ASSERT_EQ(guarded.text(), "/echo someone else's command") << GetLastError();
  ASSERT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"mIRC"), nullptr) << "the access list does not refuse";
  EXPECT_EQ(last_line("Guarded"), success_line);
  EXPECT_EQ(mirc.trace(), std::vector<std::string>{"1224 method=13 block=1 ran"});
  EXPECT_FALSE(shared_block_exists(L"mIRC1"));
}

// Whether a track's last line says it was held back because a mIRC had not
// caught up: busy, or hung by the platform's count (five seconds stalled).
bool held_back(const std::string& line, const char* which = "mIRC") {
  return line == std::string("Error: ") + which + " is still busy with an earlier command; track not announced" ||
         line == std::string("Error: ") + which + " is not responding; track not announced";
}

std::size_t count_of(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

// The player restarted while mIRC still has a late track's message in hand:
// the block of that message closed with the old instance, and the new one
// asks before it makes any. mIRC stays stuck until the test lets it go, so
// the first track after the restart is held back, whatever the machine's
// pace; the old message then finds no block, and no command runs twice.
TEST_F(BinaryDelivery, ARestartWhileMircIsBehindRunsNoCommandTwice) {
  const named_event release;
  mirc_standin mirc(L"--stall-event " + release.name() + L" --hang-count 1 --trace-questions");
  EXPECT_EQ(last_line("Stalled"), late_line);
  load();
  const std::string skipped = last_line("After restart 0");
  EXPECT_TRUE(held_back(skipped)) << skipped;
  release.set();
  wait_for(mirc, 1);
  std::string sent;
  for (int i = 1; sent.empty(); ++i) {
    ASSERT_LE(i, 30) << "mIRC never caught up";
    const std::string title = "After restart " + std::to_string(i), line = last_line(title);
    if (line == success_line)
      sent = "/me is playing: " + title + " - B";
    else
      ASSERT_TRUE(held_back(line)) << title << ": " << line;
  }
  EXPECT_EQ(mirc.received(), (std::vector<std::string>{"mirc-standin: refused no shared block mIRC (error 2)", sent}));
  const auto trace = mirc.trace();
  EXPECT_GE(count_of(trace, "question"), 2u) << "the old instance's first track and the new one's each asked";
  EXPECT_EQ(count_of(trace, "1224 method=13 block=0 refused: no shared block mIRC (error 2)"), 1u);
  EXPECT_EQ(count_of(trace, "1224 method=13 block=0 ran"), 1u);
  EXPECT_EQ(trace.size(), 2 + count_of(trace, "question"));
}

// mIRC switches channels before every track and is then busy for 600 ms
// with something of its own: the command goes to another window each time,
// but the thread that runs it has answered, so nothing is asked after the
// first track and every track waits its turn and is announced.
TEST_F(BinaryDelivery, AChannelSwitchWhileMircIsBusyLosesNoTrack) {
  mirc_standin mirc(L"--channels 2 --switch-busy-ms 600 --trace-questions");
  std::vector<std::string> sent;
  for (int i = 1; i <= 6; ++i) {
    const std::string title = "Channel " + std::to_string(i);
    EXPECT_EQ(last_line(title), success_line) << title;
    sent.push_back("/me is playing: " + title + " - B");
  }
  EXPECT_EQ(mirc.received(), sent);
  const auto trace = mirc.trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.front(), "question");
  EXPECT_EQ(count_of(trace, "question"), 1u) << "a channel switch is not asked";
}

// Two mIRCs: the one behind holds the old instance's late message, the other
// is in front when the player restarts. Until the one behind has answered,
// no command goes to either (its message would read the new block); the
// track is held back with its own line; and no command runs twice, even with
// the one in front slow on the first command it is sent.
TEST_F(BinaryDelivery, TwoMircsAndARestartRunNoCommandTwice) {
  const named_event release_behind, release_front;
  mirc_standin behind(L"--stall-event " + release_behind.name() + L" --hang-count 1 --trace-questions");
  EXPECT_EQ(last_line("Stalled"), late_line);
  mirc_standin front(L"--stall-event " + release_front.name() + L" --hang-count 1 --trace-questions");
  ASSERT_TRUE(front.bring_to_front());
  load();
  const std::string skipped = last_line("After restart 0");
  EXPECT_TRUE(held_back(skipped, "another mIRC")) << skipped;
  release_behind.set();
  wait_for(behind, 1);
  release_front.set();
  std::string sent;
  for (int i = 1; sent.empty(); ++i) {
    ASSERT_LE(i, 30) << "the mIRC behind never caught up";
    const std::string title = "After restart " + std::to_string(i), line = last_line(title);
    if (line == success_line)
      sent = "/me is playing: " + title + " - B";
    else
      ASSERT_TRUE(held_back(line, "another mIRC")) << title << ": " << line;
  }
  EXPECT_EQ(behind.received(), std::vector<std::string>{"mirc-standin: refused no shared block mIRC (error 2)"});
  EXPECT_EQ(front.received(), std::vector<std::string>{sent});
  EXPECT_GE(count_of(behind.trace(), "question"), 1u);
}

// mIRC gone, with a send in hand or while a late message's block is held: the
// send's line names the system's cause, the held block goes with the window
// (its queue is gone), and the next mIRC gets the next track under the first
// name.
TEST_F(BinaryDelivery, AMircThatQuitsLeavesNoBlockAndTheNextMircGetsTheNextTrack) {
  for (const wchar_t* fate : {L"--chaos 1 --chaos-weights 0,0,0,1", L"--hang-ms 4000 --hang-count 1"}) {
    const bool held = fate[2] == L'h';
    {
      mirc_standin mirc(fate);
      const auto lines = play("Lost");
      // The platform's own words for the code, whatever the platform.
      EXPECT_EQ(lines.back(),
                held ? late_line
                     : "Error: sending the command to mIRC failed: " + platform_error_text(5) + " (system error 5)");
      EXPECT_EQ(held, shared_block_exists(L"mIRC"));
      EXPECT_TRUE(held || mirc.ended_within(10000));
    }
    mirc_standin next;
    EXPECT_EQ(last_line("Found"), success_line);
    EXPECT_EQ(next.received(), std::vector<std::string>{"/me is playing: Found - B"});
    EXPECT_EQ(next.trace(), std::vector<std::string>{"1224 method=13 block=0 ran"});
    EXPECT_FALSE(shared_block_exists(L"mIRC"));
  }
}

} // namespace
