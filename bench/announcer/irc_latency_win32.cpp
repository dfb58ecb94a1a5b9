// irc-latency: from the new-track notification to the line in the IRC
// channel as another client (ii) writes it, over many tracks; beside, in the
// same run and for the same tracks, the notification's own round trip to the
// mIRC stand-in (the component's synchronous part). The stand-in speaks IRC
// to a server on loopback whose address and port are given; ii's channel file
// is watched.
//
// usage: irc-latency SERVER CHANNEL_FILE [TRACKS] [GAP_MS]   (SERVER: ADDRESS:PORT)
//   (default 200 tracks, 300 ms between tracks so the server's own flood
//   throttle stays out of the figures; run under Wine with a display, the
//   server and ii started by bench/announcer/irc_latency.sh)
#include "bench_component_win32.h"
#include "test_programs_win32.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

// ADDRESS:PORT as the stand-in's --irc takes it: dotted digits, then a port 1 to 65535.
bool parse_server(const wchar_t* text) {
  const wchar_t* colon = std::wcsrchr(text, L':');
  unsigned long port = 0;
  if (!colon || colon == text || !parse_count(colon + 1, 1, 65535, port)) return false;
  for (const wchar_t* p = text; p != colon; ++p)
    if ((*p < L'0' || *p > L'9') && *p != L'.') return false;
  return true;
}

// Waits (polling every millisecond) until the file holds text; false after ms.
bool wait_for_text(const std::wstring& file, const std::string& text, DWORD ms) {
  const ULONGLONG give_up = GetTickCount64() + ms;
  while (read_whole_file(file).find(text) == std::string::npos) {
    if (GetTickCount64() > give_up) return false;
    Sleep(1);
  }
  return true;
}

int run(const std::wstring& server, const std::wstring& channel_file, unsigned tracks, unsigned gap_ms) {
  // No pacing in the stand-in: the figure is the transport, not the flood gate.
  mirc_standin mirc(L"--irc " + server + L" --nick bench --channel #bench --flood-burst 100000 --flood-interval-ms 0");
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
  if (argc > 1 && (std::wcscmp(argv[1], L"--help") == 0 || std::wcscmp(argv[1], L"-h") == 0)) {
    std::printf("usage: irc-latency SERVER CHANNEL_FILE [TRACKS] [GAP_MS]\n"
                "  SERVER ADDRESS:PORT (PORT 1 to 65535); TRACKS 1 to 100000 (default 200);\n"
                "  GAP_MS 0 to 60000 (default 300)\n"
                "Times each new-track notification until ii writes the line to CHANNEL_FILE, through the mIRC\n"
                "stand-in and the IRC server on loopback at SERVER (bench/announcer/irc_latency.sh starts both).\n");
    return 0;
  }
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "irc-latency: %s (try --help)\n",
                 argc < 3 ? "SERVER and CHANNEL_FILE are needed" : "four arguments at most");
    return 2;
  }
  unsigned long tracks = 200, gap = 300;
  if (!parse_server(argv[1])) {
    std::fprintf(stderr, "irc-latency: bad value for SERVER: %ls (ADDRESS:PORT, PORT 1 to 65535)\n", argv[1]);
    return 2;
  }
  if (*argv[2] == L'\0') {
    std::fprintf(stderr, "irc-latency: bad value for CHANNEL_FILE: an empty name\n");
    return 2;
  }
  if (argc > 3 && !parse_count(argv[3], 1, 100000, tracks)) {
    std::fprintf(stderr, "irc-latency: bad value for TRACKS: %ls (1 to 100000)\n", argv[3]);
    return 2;
  }
  if (argc > 4 && !parse_count(argv[4], 0, 60000, gap)) {
    std::fprintf(stderr, "irc-latency: bad value for GAP_MS: %ls (0 to 60000)\n", argv[4]);
    return 2;
  }
  try {
    return run(argv[1], argv[2], static_cast<unsigned>(tracks), static_cast<unsigned>(gap));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "irc-latency: %s\n", e.what());
    return 1;
  }
}
