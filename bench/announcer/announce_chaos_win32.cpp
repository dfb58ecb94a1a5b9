// announce-chaos: a fault soak. Announces TRACKS tracks through the real
// component into a mIRC stand-in that gives each message a fate drawn from
// SEED (mirc-standin --chaos): it runs the command at once, refuses it, runs it
// late (past the component's wait), quits with it in hand and is started
// again, or runs it and the next few late (a slow streak). It checks that no
// command reaches mIRC twice, that each track's console lines say what the
// stand-in did with it (a command whose block the component let go, the
// oldest of 16 unanswered, may find none), that a track is said to find mIRC
// still busy only while a late one is unanswered, that every track gets a
// block, that no shared block is open once mIRC has answered, and that none
// is left after the component has unloaded.
//
// usage: announce-chaos SEED [TRACKS [WEIGHTS]]   (under Wine with a display)
#include "bench_component_win32.h"
#include "test_programs_win32.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string found_line = "Chirpline: found mirc window";
const std::string ran_line = "Chirpline: Successful";
const std::string refused_line = "Error: mIRC refused the command (its SendMessage interface may be off, or Corvane "
                                 "runs as administrator and mIRC does not); track not announced";
const std::string busy_line =
    "Error: mIRC is still busy with an earlier command; this one stays in its shared block should mIRC run it late";
const std::string no_block = "cannot create the shared block";
const std::string late_line =
    "Error: mIRC did not answer within 3000 ms; the command stays in its shared block should mIRC run it late";
const char title_prefix[] = "/me is playing: Track ";

class line_console final : public console_service {
public:
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
  bool query_class(service_base*&, const guid&) override { return false; }
  void print(const char* text, std::uint32_t) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

// The stand-in, started again with the next seed whenever it has quit; what
// each of its runs traced and ran is kept.
class chaos_mirc {
public:
  chaos_mirc(unsigned long seed, const std::wstring& weights) : seed_(seed), weights_(weights) { start(); }
  // True when it had quit and was started again.
  bool restart_if_ended(DWORD wait_ms) {
    if (!standin_->ended_within(wait_ms)) return false;
    keep();
    start();
    ++restarts;
    return true;
  }
  std::vector<std::string> current_trace() const { return standin_->trace(); }
  void stop() {
    keep();
    standin_.reset();
  }
  std::vector<std::string> trace, received;
  unsigned long restarts = 0;

private:
  void start() {
    standin_ = std::make_unique<mirc_standin>(L"--chaos " + std::to_wstring(seed_ + restarts) + L" --chaos-weights " +
                                              weights_);
  }
  void keep() {
    for (auto& line : standin_->trace())
      trace.push_back(std::move(line));
    for (auto& line : standin_->received())
      received.push_back(std::move(line));
  }
  unsigned long seed_;
  std::wstring weights_;
  std::unique_ptr<mirc_standin> standin_;
};

// The component names its blocks mIRC<N>, N one more for each block from a
// start of its own (after 2^31-1 comes 1). The names of the `count` blocks it
// made last, before `made`, that exist now.
std::string open_blocks(unsigned long first, unsigned long made, unsigned long count) {
  std::string open;
  for (unsigned long k = made > count ? made - count : 0; k < made; ++k) {
    const std::string name = "mIRC" + std::to_string((first - 1 + k) % 2147483647ul + 1);
    if (shared_block_exists(std::wstring(name.begin(), name.end()).c_str())) open += (open.empty() ? "" : " ") + name;
  }
  return open;
}

// The block number of the stand-in's first trace line, waiting for it.
unsigned long first_block(const chaos_mirc& mirc) {
  for (int waited = 0; waited < 100; ++waited) {
    const auto trace = mirc.current_trace();
    if (!trace.empty()) return std::strtoul(trace[0].c_str() + trace[0].find(" block=") + 7, nullptr, 10);
    Sleep(50);
  }
  return 0;
}

// The track a command announces, 0 for none of ours.
unsigned long track_of(const std::string& command) {
  if (command.compare(0, sizeof title_prefix - 1, title_prefix) != 0) return 0;
  return std::strtoul(command.c_str() + sizeof title_prefix - 1, nullptr, 10);
}

// What the console's last line for a track says became of it, in the
// stand-in's words, or "not sent: " and the line for any other failure. A
// line after it that lets an older block go adds that block's name to `let_go`.
std::string console_says(const std::vector<std::string>& lines, std::set<std::string>& let_go) {
  const std::string let_go_start = "Error: the shared block ";
  std::size_t count = lines.size();
  if (count > 1 && lines[count - 1].compare(0, let_go_start.size(), let_go_start) == 0) {
    const std::string& line = lines[--count];
    let_go.insert(line.substr(let_go_start.size(), line.find(' ', let_go_start.size()) - let_go_start.size()));
  }
  if (count == 0) return "nothing";
  const std::string& last = lines[count - 1];
  if (last == ran_line) return "ran";
  if (last == refused_line) return "refused: chaos";
  if (last == late_line) return "ran late";
  if (last == busy_line) return "still busy";
  return (last.compare(0, 7, "Error: ") == 0 ? "not sent: " : "other: ") + last;
}

class soak {
public:
  unsigned long failures = 0;
  void fail(const std::string& what) {
    if (++failures <= 20) std::fprintf(stderr, "announce-chaos: %s\n", what.c_str());
  }

  int run(unsigned long seed, unsigned long tracks, const std::wstring& weights) {
    std::printf("announce-chaos: seed %lu, %lu tracks, weights %ls (ran, refused, late, quit, streak)\n", seed, tracks,
                weights.c_str());
    std::fflush(stdout);
    line_console console;
    chaos_mirc mirc(seed, weights);
    std::vector<std::string> says(tracks + 1);
    unsigned long first = 0, made = 0;
    std::set<std::string> let_go;
    std::map<std::string, unsigned long> track_of_block;
    {
      bench_component component(console);
      for (unsigned long i = 1; i <= tracks; ++i) {
        console.lines.clear();
        auto track = handed_over_track("Track " + std::to_string(i), "chaos");
        component.on_new_track(track.get());
        says[i] = console_says(console.lines, let_go);
        if (console.lines.size() < 2 || console.lines[1] != found_line)
          fail("track " + std::to_string(i) + ": no \"found mirc window\" line");
        for (const std::string& line : console.lines)
          if (line.find(no_block) != std::string::npos) fail("track " + std::to_string(i) + ": " + line);
        const bool block_made = console.lines.size() >= 2 && console.lines[1] == found_line;
        if (block_made && ++made == 1 && (first = first_block(mirc)) == 0) fail("the first track never reached mIRC");
        if (block_made) track_of_block["mIRC" + std::to_string((first - 1 + made - 1) % 2147483647ul + 1)] = i;
        // An answer, 1 or 0, closes every block the component kept.
        if (says[i] == "ran" || says[i] == "refused: chaos") {
          const std::string open = open_blocks(first, made, 17);
          if (!open.empty()) fail("track " + std::to_string(i) + " was answered, yet blocks are open: " + open);
        }
        if (says[i].compare(0, 9, "not sent:") == 0) mirc.restart_if_ended(5000);
        if (i % 1000 == 0) {
          std::printf("%10lu tracks, %lu restarts of the stand-in\n", i, mirc.restarts);
          std::fflush(stdout);
        }
      }
      // A late command runs 3500 ms into its handler: let the last one finish.
      if (says[tracks] == "ran late" || says[tracks] == "still busy") Sleep(4000);
      mirc.stop();
    } // the component unloads
    const std::string left = open_blocks(first, made, made);
    if (!left.empty()) fail("blocks left after the component unloaded: " + left);
    compare(says, mirc, let_go, track_of_block);
    return failures == 0 ? 0 : 1;
  }

private:
  // A command whose block was let go before mIRC read it is "lost".
  void compare(const std::vector<std::string>& says, const chaos_mirc& mirc, const std::set<std::string>& let_go,
               const std::map<std::string, unsigned long>& track_of_block) {
    const unsigned long tracks = static_cast<unsigned long>(says.size() - 1);
    std::vector<std::string> fate(says.size());
    std::map<std::string, unsigned long> fates, console;
    for (const std::string& line : mirc.trace) {
      const std::size_t text = line.find(" text=");
      const std::size_t outcome = line.find(' ', line.find(" block=") + 1);
      const std::string name = outcome == std::string::npos
                                   ? ""
                                   : "mIRC" + line.substr(line.find(" block=") + 7, outcome - line.find(" block=") - 7);
      if (text == std::string::npos && line.find(" refused: no shared block " + name + " ") != std::string::npos &&
          let_go.count(name) != 0 && track_of_block.count(name) != 0) {
        const unsigned long track = track_of_block.at(name);
        if (!fate[track].empty()) fail("track " + std::to_string(track) + " reached mIRC twice: " + line);
        ++fates[fate[track] = "lost"];
        continue;
      }
      const unsigned long track = text == std::string::npos ? 0 : track_of(line.substr(text + 6));
      if (track == 0 || track > tracks || outcome == std::string::npos || outcome > text) {
        fail("a message that is none of ours: " + line);
        continue;
      }
      if (!fate[track].empty()) fail("track " + std::to_string(track) + " reached mIRC twice: " + line);
      fate[track] = line.substr(outcome + 1, text - outcome - 1);
      ++fates[fate[track]];
    }
    std::map<unsigned long, unsigned> runs;
    for (const std::string& command : mirc.received)
      if (++runs[track_of(command)] == 2) fail("ran twice: " + command);
    unsigned long late_in_a_row = 0, longest_late = 0, not_reached = 0;
    bool late_unanswered = false;
    for (unsigned long i = 1; i <= tracks; ++i) {
      ++console[says[i]];
      if (says[i] == "still busy" && !late_unanswered)
        fail("track " + std::to_string(i) + " found mIRC still busy, yet no late message was pending");
      if (says[i] != "still busy") late_unanswered = says[i] == "ran late";
      if (says[i] == "ran late") ++late_in_a_row;
      if (says[i] == "ran" || says[i] == "refused: chaos") late_in_a_row = 0;
      if (late_in_a_row > longest_late) longest_late = late_in_a_row;
      const bool ran = fate[i] == "ran" || fate[i] == "ran late";
      if (ran != (runs.count(i) != 0))
        fail("track " + std::to_string(i) + ": traced as " + fate[i] + ", run " + std::to_string(runs.count(i)) +
             " times");
      if (fate[i].empty()) ++not_reached;
      std::string expected = fate[i] == "quit" ? "not sent" : fate[i];
      if (fate[i].empty()) expected = says[i] == "still busy" ? "still busy" : "not sent";
      // Taken within the brief wait of a stall, then run late, or found no block.
      if (fate[i] == "ran late" && says[i] == "still busy") expected = "still busy";
      if (fate[i] == "lost" && (says[i] == "still busy" || says[i] == "ran late")) expected = says[i];
      const bool not_sent = says[i].compare(0, 9, "not sent:") == 0;
      if ((not_sent ? "not sent" : says[i]) != expected)
        fail("track " + std::to_string(i) + ": the stand-in " + (fate[i].empty() ? "never saw it" : fate[i]) +
             ", the console says " + says[i]);
    }
    std::printf("stand-in:");
    for (const auto& f : fates)
      std::printf("  %s %lu", f.first.c_str(), f.second);
    std::printf("  never reached %lu; restarted %lu times\nconsole: ", not_reached, mirc.restarts);
    for (const auto& c : console)
      std::printf("  %s %lu", c.first.c_str(), c.second);
    std::printf("\nlongest run of late commands (tracks that found mIRC still busy aside): %lu; commands run: %lu\n",
                longest_late, static_cast<unsigned long>(mirc.received.size()));
    if (failures == 0)
      std::printf("no command twice, every track as the stand-in had it, no block left\n");
    else
      std::printf("announce-chaos: %lu failures\n", failures);
  }
};

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: announce-chaos SEED [TRACKS [WEIGHTS]]\n"
                "  SEED 0 to 4000000000; TRACKS 1 to 1000000 (default 10000); WEIGHTS R,F,L,Q[,S]\n"
                "  (default 92,4,1,2,1)\n"
                "Announces TRACKS tracks through cor_chirpline.dll into mirc-standin --chaos, which runs,\n"
                "refuses, runs late (3.5 s), quits, or runs a streak of late ones, by weight; exit status 1\n"
                "if a command reached mIRC twice, a track's console lines disagree with the stand-in, a\n"
                "track finds mIRC still busy with no late one pending or gets no block, or a block is left.\n");
    return 0;
  }
  unsigned long seed = 0, tracks = 10000;
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "announce-chaos: SEED [TRACKS [WEIGHTS]] (try --help)\n");
    return 2;
  }
  if (!parse_count(argv[1], 0, 4000000000UL, seed)) {
    std::fprintf(stderr, "announce-chaos: bad value for SEED: %s (0 to 4000000000)\n", argv[1]);
    return 2;
  }
  if (argc > 2 && !parse_count(argv[2], 1, 1000000, tracks)) {
    std::fprintf(stderr, "announce-chaos: bad value for TRACKS: %s (1 to 1000000)\n", argv[2]);
    return 2;
  }
  // The stand-in checks the weights and refuses to start on bad ones.
  const std::string weights = argc > 3 ? argv[3] : "92,4,1,2,1";
  try {
    return soak().run(seed, tracks, std::wstring(weights.begin(), weights.end()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "announce-chaos: %s\n", e.what());
    return 1;
  }
}
