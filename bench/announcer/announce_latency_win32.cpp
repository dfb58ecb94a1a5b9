// announce-latency: how long the player waits per announced track, from the
// new-track notification until the mIRC stand-in (another process) has read
// the command, over many tracks; next to a bare program doing the same
// block-and-message round trip with no component, the platform's floor.
//
// usage: announce-latency [TRACKS]   (default 1000; run under Wine with a display)
#include "announcer/mirc_interface.h"
#include "bench_component_win32.h"
#include "test_programs_win32.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

BOOL CALLBACK find_mirc(HWND window, LPARAM found) {
  wchar_t name[256];
  const int n = RealGetWindowClassW(window, name, 256);
  if (n == 4 && CompareStringOrdinal(name, 4, L"mIRC", 4, TRUE) == CSTR_EQUAL) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// The same platform work as the component, written plainly: no host, no
// title, no console; the system's own conversion to UTF-16.
bool bare_round_trip(const char* command) {
  HANDLE section =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, mirc_interface::block_size, L"mIRC");
  if (!section) return false;
  void* view = MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  if (!view) {
    CloseHandle(section);
    return false;
  }
  MultiByteToWideChar(CP_UTF8, 0, command, -1, static_cast<wchar_t*>(view), mirc_interface::block_units);
  UnmapViewOfFile(view);
  HWND mirc = nullptr;
  EnumDesktopWindows(nullptr, find_mirc, reinterpret_cast<LPARAM>(&mirc));
  DWORD_PTR answer = 0;
  bool sent = false;
  if (mirc) {
    HWND target = GetWindow(FindWindowExW(mirc, nullptr, L"MDIClient", nullptr), GW_CHILD);
    constexpr WPARAM method =
        mirc_interface::method_as_typed | mirc_interface::method_flood_protection | mirc_interface::method_unicode;
    sent = target &&
           SendMessageTimeoutW(target, mirc_interface::command_message, method, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 3000,
                               &answer) &&
           answer == 1;
  }
  CloseHandle(section);
  return sent;
}

int run(unsigned tracks) {
  mirc_standin mirc;
  silent_console console;
  bench_component component(console);

  // Alternate the two so both see the same load on a shared machine.
  std::vector<double> component_us, bare_us;
  const std::string command = "/me is playing: Track number 123 - J\xC3\xB3ga and friends";
  for (unsigned i = 0; i < tracks; ++i) {
    auto track = handed_over_track("Track number " + std::to_string(i), "latency");
    double start = now_us();
    component.on_new_track(track.get());
    component_us.push_back(now_us() - start);

    start = now_us();
    if (!bare_round_trip(command.c_str())) {
      std::fprintf(stderr, "announce-latency: the bare round trip failed\n");
      return 1;
    }
    bare_us.push_back(now_us() - start);
  }
  const std::size_t received = mirc.received().size();
  if (received != 2u * tracks) {
    std::fprintf(stderr, "announce-latency: mIRC received %u commands, expected %u\n", static_cast<unsigned>(received),
                 2u * tracks);
    return 1;
  }
  const summary c = summarise(component_us), b = summarise(bare_us);
  std::printf("tracks: %u (each one received by the mIRC stand-in)\n", tracks);
  std::printf("component, notification to mIRC having the command: median %.1f us, p99 %.1f us\n", c.median, c.p99);
  std::printf("bare round trip (platform floor):                    median %.1f us, p99 %.1f us\n", b.median, b.p99);
  std::printf("ratio component/bare: median %.2f, p99 %.2f\n", c.median / b.median, c.p99 / b.p99);
  // An instance's first track also starts its block numbers and looks up mIRC's thread.
  std::printf("first track: %.1f us, %.2f times the median\n", component_us[0], component_us[0] / c.median);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const char* const usage = "usage: announce-latency [TRACKS]   (1 to 10000000, default 1000)\n";
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return 0;
  }
  unsigned long tracks = 1000;
  if (argc > 2) {
    std::fprintf(stderr, "announce-latency: one argument at most, TRACKS; %s is one too many (try --help)\n", argv[2]);
    return 2;
  }
  if (argc > 1 && !parse_count(argv[1], 1, 10000000, tracks)) {
    std::fprintf(stderr, "announce-latency: bad value for TRACKS: %s (1 to 10000000)\n", argv[1]);
    return 2;
  }
  try {
    return run(static_cast<unsigned>(tracks));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "announce-latency: %s\n", e.what());
    return 1;
  }
}
