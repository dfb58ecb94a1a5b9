// announce-soak: many announcements through the real component into the mIRC
// stand-in, watching this process's working set, private bytes and handle
// count (and, where the platform does not count handles, the next free handle
// slot). A component that leaks memory or a handle per track shows it as
// growth between the sample taken once warmed up and the last one.
//
// usage: announce-soak [TRACKS] [SAMPLES]   (default 100000 and 20; under Wine with a display)
#include "bench_component_win32.h"
#include "test_programs_win32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <psapi.h>

namespace {

// Allowed growth from the warmed-up sample to the last one. The platform's own
// bookkeeping may move by a few pages; a leak of even 8 bytes a track over
// 100,000 tracks is well beyond these.
constexpr SIZE_T working_set_slack = 512 * 1024;
constexpr SIZE_T private_bytes_slack = 256 * 1024;
constexpr DWORD handle_slack = 0;

class counting_console final : public console_service {
public:
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
  bool query_class(service_base*&, const guid&) override { return false; }
  void print(const char* text, std::uint32_t) override {
    if (std::strcmp(text, "Chirpline: Successful") == 0)
      ++successes;
    else if (std::strncmp(text, "Error", 5) == 0)
      ++errors;
  }
  unsigned long successes = 0, errors = 0;
};

struct sample {
  SIZE_T working_set = 0, private_bytes = 0;
  DWORD handles = 0;
  std::uintptr_t next_handle = 0;
};

// Committed private memory, region by region: what "private bytes" counts.
// (Wine reports no PrivateUsage, so it is summed here on both platforms.)
SIZE_T committed_private_bytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

// The value a new handle gets: the table hands out its lowest free slot, so a
// handle that is never closed pushes it up. (Wine reports no handle count.)
std::uintptr_t next_free_handle() {
  HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const auto value = reinterpret_cast<std::uintptr_t>(probe);
  if (probe != nullptr) CloseHandle(probe);
  return value;
}

sample take_sample() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  sample s;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) s.working_set = counters.WorkingSetSize;
  s.private_bytes = committed_private_bytes();
  if (!GetProcessHandleCount(GetCurrentProcess(), &s.handles)) s.handles = 0;
  s.next_handle = next_free_handle();
  return s;
}

void print_sample(unsigned long done, const sample& s) {
  std::printf("%10lu tracks  working set %8lu KiB  private bytes %8lu KiB  handles %5lu  next handle %#6lx\n", done,
              static_cast<unsigned long>(s.working_set / 1024), static_cast<unsigned long>(s.private_bytes / 1024),
              static_cast<unsigned long>(s.handles), static_cast<unsigned long>(s.next_handle));
  std::fflush(stdout);
}

int run(unsigned long tracks, unsigned long samples) {
  mirc_standin mirc;
  counting_console console;
  bench_component component(console);

  const unsigned long every = tracks / samples == 0 ? 1 : tracks / samples;
  const std::int64_t outstanding = host_references().outstanding();
  sample warmed{}, last{};
  bool have_warmed = false;
  print_sample(0, take_sample());
  for (unsigned long i = 1; i <= tracks; ++i) {
    // Titles of varying length, so the text buffers grow and shrink.
    auto track = handed_over_track("Track " + std::to_string(i) + std::string(i % 97, 'x'), "soak");
    component.on_new_track(track.get());
    if (i % every == 0 || i == tracks) {
      last = take_sample();
      print_sample(i, last);
      if (!have_warmed) {
        warmed = last; // the first interval fills the platform's and the runtime's caches
        have_warmed = true;
      }
    }
  }

  const std::size_t received = mirc.received().size();
  std::printf("mIRC received %lu of %lu commands; console: %lu successful, %lu errors\n",
              static_cast<unsigned long>(received), tracks, console.successes, console.errors);
  int status = 0;
  if (received != tracks || console.successes != tracks || console.errors != 0) {
    std::fprintf(stderr, "announce-soak: not every track was announced\n");
    status = 1;
  }
  if (host_references().outstanding() != outstanding) {
    std::fprintf(stderr, "announce-soak: %lld host references were not given back\n",
                 static_cast<long long>(host_references().outstanding() - outstanding));
    status = 1;
  }
  const auto grew = [](SIZE_T from, SIZE_T to, SIZE_T slack) { return to > from + slack; };
  if (grew(warmed.working_set, last.working_set, working_set_slack) ||
      grew(warmed.private_bytes, last.private_bytes, private_bytes_slack) ||
      last.handles > warmed.handles + handle_slack || last.next_handle > warmed.next_handle) {
    std::fprintf(stderr,
                 "announce-soak: grew after warming up (allowed: working set %lu KiB, private bytes %lu KiB, "
                 "handles %lu)\n",
                 static_cast<unsigned long>(working_set_slack / 1024),
                 static_cast<unsigned long>(private_bytes_slack / 1024), static_cast<unsigned long>(handle_slack));
    status = 1;
  }
  if (status == 0) std::printf("flat: no growth after the first %lu tracks\n", every);
  return status;
}

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: announce-soak [TRACKS] [SAMPLES]\n"
                "  TRACKS 1 to 100000000 (default 100000); SAMPLES 1 to 10000 (default 20)\n"
                "Announces TRACKS tracks through cor_chirpline.dll into the mIRC stand-in, printing memory\n"
                "and handles SAMPLES times; exit status 1 if a track is lost or anything grows.\n");
    return 0;
  }
  if (argc > 3) {
    std::fprintf(stderr, "announce-soak: two arguments at most, TRACKS and SAMPLES; %s is one too many\n", argv[3]);
    return 2;
  }
  unsigned long tracks = 100000, samples = 20;
  if (argc > 1 && !parse_count(argv[1], 1, 100000000, tracks)) {
    std::fprintf(stderr, "announce-soak: bad value for TRACKS: %s (1 to 100000000)\n", argv[1]);
    return 2;
  }
  if (argc > 2 && !parse_count(argv[2], 1, 10000, samples)) {
    std::fprintf(stderr, "announce-soak: bad value for SAMPLES: %s (1 to 10000)\n", argv[2]);
    return 2;
  }
  try {
    return run(tracks, samples);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "announce-soak: %s\n", e.what());
    return 1;
  }
}
