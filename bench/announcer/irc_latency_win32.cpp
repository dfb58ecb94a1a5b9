// irc-latency: from the new-track notification to the line in the IRC
// channel as another client (ii) writes it, over many tracks; beside, in the
// same run and for the same tracks, the notification's own round trip to the
// mIRC stand-in (the component's synchronous part). The stand-in speaks IRC
// to a server on loopback whose port is given; ii's channel file is watched.
//
// usage: irc-latency PORT CHANNEL_FILE [TRACKS] [GAP_MS]
//   (default 200 tracks, 300 ms between tracks so the server's own flood
//   throttle stays out of the figures; run under Wine with a display, the
//   server and ii started by bench/announcer/irc_latency.sh)
#include "bench_component_win32.h"
#include "test_programs_win32.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Waits (polling every millisecond) until the file holds text; false after ms.
bool wait_for_text(const std::wstring& file, const std::string& text, DWORD ms) {
  const ULONGLONG give_up = GetTickCount64() + ms;
  while (read_whole_file(file).find(text) == std::string::npos) {
    if (GetTickCount64() > give_up) return false;
    Sleep(1);
  }
  return true;
}

int run(const std::wstring& port, const std::wstring& channel_file, unsigned tracks, unsigned gap_ms) {
  // No pacing in the stand-in: the figure is the transport, not the flood gate.
  mirc_standin mirc(L"--irc 127.0.0.1:" + port +
                    L" --nick bench --channel #bench --flood-burst 100000 --flood-interval-ms 0");
  if (!wait_for_text(channel_file, "bench(~chirpline@127.0.0.1) has joined", 30000)) {
    std::fprintf(stderr, "irc-latency: the stand-in did not join #bench\n");
    return 1;
  }
  silent_console console;
  bench_component component(console);

  std::vector<double> standin_us, channel_us;
  for (unsigned i = 0; i < tracks; ++i) {
    const std::string title = "Track number " + std::to_string(i);
    auto track = handed_over_track(title, "latency");
    const double start = now_us();
    component.on_new_track(track.get());
    standin_us.push_back(now_us() - start);
    if (!wait_for_text(channel_file,
                       "\x01"
                       "ACTION is playing: " +
                           title + " - J\xC3\xB3ga and friends\x01\n",
                       10000)) {
      std::fprintf(stderr, "irc-latency: track %u did not reach the channel\n", i);
      return 1;
    }
    channel_us.push_back(now_us() - start);
    Sleep(gap_ms);
  }
  const summary s = summarise(standin_us), c = summarise(channel_us);
  std::printf("tracks: %u (each one seen in #bench by ii)\n", tracks);
  std::printf("notification to the line in ii's channel file: median %.1f us, p99 %.1f us\n", c.median, c.p99);
  std::printf("notification to the mIRC stand-in (same tracks): median %.1f us, p99 %.1f us\n", s.median, s.p99);
  std::printf("ratio channel/stand-in: median %.1f, p99 %.1f\n", c.median / s.median, c.p99 / s.p99);
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: irc-latency PORT CHANNEL_FILE [TRACKS] [GAP_MS]\n");
    return 2;
  }
  const unsigned tracks = argc > 3 ? static_cast<unsigned>(std::wcstoul(argv[3], nullptr, 10)) : 200u;
  const unsigned gap = argc > 4 ? static_cast<unsigned>(std::wcstoul(argv[4], nullptr, 10)) : 300u;
  try {
    return run(argv[1], argv[2], tracks ? tracks : 200u, gap);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "irc-latency: %s\n", e.what());
    return 1;
  }
}
