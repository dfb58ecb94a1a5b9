// title-call: chirpline_mirc.dll's title as mIRC calls it (LoadDll as 7.81).
//
//   title-call value [DLL]      prints the value once, as UTF-8 (the DLL beside
//                               this program unless named): what a mIRC script gets
//   title-call bench [REPS]     times title against what any reader must do at
//                               least: open a named block, map it, copy the same
//                               bytes, let go (default 9 repetitions of 2000 calls
//                               each, the two interleaved); prints the medians and
//                               each ratio beside its goal; exit 1 when one is missed
//
// Wall time, not CPU time: under Wine opening and mapping are done by the
// wineserver, another process. Run under Wine (tools/bench does).
#include "announcer/now_playing_title.h"
#include "clock_win32.h"
#include "mirc_dll/mirc_dll_interface_win32.h"
#include "now_playing/now_playing_protocol.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

namespace {

using title_proc = mirc_dll_interface::procedure;

constexpr DWORD data_bytes = 16384;

template <typename Function> Function find_export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring beside_this_program(const wchar_t* name) {
  wchar_t self[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// The DLL loaded and told it runs in mIRC 7.81; null (said) when it cannot be.
title_proc load_title(const std::wstring& path) {
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const auto load = module ? find_export<mirc_dll_interface::load_dll>(module, "LoadDll") : nullptr;
  const auto title = module ? find_export<title_proc>(module, "title") : nullptr;
  if (load == nullptr || title == nullptr) {
    std::fprintf(stderr, "title-call: cannot load LoadDll and title from %ls (error %lu)\n", path.c_str(),
                 GetLastError());
    return nullptr;
  }
  LOADINFO info{7 | 81 << 16, nullptr, FALSE, FALSE, 0, data_bytes};
  load(&info);
  return title;
}

int print_value(const std::wstring& path) {
  const title_proc title = load_title(path);
  if (title == nullptr) return 2;
  std::vector<wchar_t> data(data_bytes / 2, L'#');
  if (title(nullptr, nullptr, data.data(), nullptr, FALSE, TRUE) != 3) {
    std::fprintf(stderr, "title-call: title did not return a value (3)\n");
    return 1;
  }
  const int n = WideCharToMultiByte(CP_UTF8, 0, data.data(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, data.data(), -1, &text[0], n, nullptr, nullptr);
  std::printf("%s\n", text.c_str());
  return 0;
}

double now_ns() { return now_us() * 1e3; }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The floor: what any reader of a named block does for the same units.
bool open_map_copy(const wchar_t* name, char16_t* out, std::size_t units) {
  HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
  if (section == nullptr) return false;
  const void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0);
  if (view != nullptr) {
    std::memcpy(out, view, (units + 1) * sizeof(char16_t));
    UnmapViewOfFile(view);
  }
  CloseHandle(section);
  return view != nullptr;
}

// A named section of size bytes, mapped, closed on the way out.
struct named_block {
  named_block(const wchar_t* name, DWORD size) {
    section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    taken = GetLastError() == ERROR_ALREADY_EXISTS;
    view = section ? MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
  }
  ~named_block() {
    if (view) UnmapViewOfFile(view);
    if (section) CloseHandle(section);
  }
  named_block(const named_block&) = delete;
  named_block& operator=(const named_block&) = delete;
  HANDLE section;
  void* view;
  bool taken;
};

struct sample {
  const char* name;
  std::string title;
};

int bench(unsigned repetitions) {
  const title_proc title = load_title(beside_this_program(L"chirpline_mirc.dll"));
  if (title == nullptr) return 2;
  named_block published(now_playing::block_name, now_playing::block_size);
  const std::wstring floor_name = L"ChirplineTitleFloor-" + std::to_wstring(GetCurrentProcessId());
  named_block floor(floor_name.c_str(), now_playing::block_size);
  if (!published.view || published.taken || !floor.view) {
    std::fprintf(stderr, "title-call: cannot make the blocks (another player may hold ChirplineNowPlaying)\n");
    return 2;
  }
  std::string long_title;
  while (long_title.size() < 3000)
    long_title += "Fran\xC3\xA7ois \xE5\xA4\x9C\xE3\x81\xAB ";
  const sample samples[] = {{"30 units", "Windowlicker - Windowlicker EP"}, {"2031 units", long_title}};
  constexpr unsigned calls = 2000;
  constexpr double goal = 3.0;
  std::vector<wchar_t> data(data_bytes / 2);
  std::vector<char16_t> copy(now_playing::text_units);
  int missed = 0;
  bool checks_held = true;
  std::printf("%-34s %14s %14s   (%u repetitions of %u calls, interleaved)\n", "benchmark", "median ns", "min ns",
              repetitions, calls);
  std::vector<std::string> ratio_lines;
  for (const sample& s : samples) {
    write_now_playing_title(*static_cast<now_playing::block*>(published.view), ("/me is playing: " + s.title).c_str());
    char16_t expected[now_playing::text_units];
    std::uint32_t units = 0;
    now_playing::read_title(published.view, now_playing::block_size, expected, units);
    std::memcpy(floor.view, expected, (units + 1) * sizeof(char16_t));
    std::vector<double> dll_ns, floor_ns;
    // A first round of each, not counted: the first calls of a process pay
    // for pages and server state that every later call finds ready.
    for (unsigned i = 0; i < calls / 4; ++i) {
      title(nullptr, nullptr, data.data(), nullptr, FALSE, TRUE);
      open_map_copy(floor_name.c_str(), copy.data(), units);
    }
    for (unsigned r = 0; r < repetitions; ++r) {
      for (int side = 0; side < 2; ++side) {
        const bool dll_first = (r % 2) == 0;
        const bool timing_dll = (side == 0) == dll_first;
        const double start = now_ns();
        for (unsigned i = 0; i < calls; ++i) {
          if (timing_dll)
            title(nullptr, nullptr, data.data(), nullptr, FALSE, TRUE);
          else
            open_map_copy(floor_name.c_str(), copy.data(), units);
        }
        (timing_dll ? dll_ns : floor_ns).push_back((now_ns() - start) / calls);
      }
      // Each side's own check, once per repetition: the bytes it got are the title's.
      checks_held = checks_held && std::memcmp(data.data(), expected, (units + 1) * 2) == 0 &&
                    std::memcmp(copy.data(), expected, (units + 1) * 2) == 0;
    }
    std::printf("%-34s %14.0f %14.0f\n", (std::string("title, ") + s.name).c_str(), median(dll_ns),
                *std::min_element(dll_ns.begin(), dll_ns.end()));
    std::printf("%-34s %14.0f %14.0f\n", (std::string("open, map and copy, ") + s.name).c_str(), median(floor_ns),
                *std::min_element(floor_ns.begin(), floor_ns.end()));
    const double value = median(dll_ns) / median(floor_ns);
    const bool met = value <= goal;
    missed += !met;
    char line[160];
    std::snprintf(line, sizeof line, "%-52s %8.2fx <=%5.2f %s",
                  (std::string("title / open, map and copy, ") + s.name).c_str(), value, goal, met ? "met" : "MISSED");
    ratio_lines.push_back(line);
  }
  std::printf("\n%-52s %9s %8s\n", "ratio (medians, same run)", "value", "goal");
  for (const std::string& line : ratio_lines)
    std::printf("%s\n", line.c_str());
  std::printf("%d goal(s) missed\n", missed);
  if (!checks_held) std::printf("title-call bench failed: its check did not hold\n");
  return missed == 0 && checks_held ? 0 : 1;
}

int usage() {
  std::fprintf(stderr, "usage: title-call value [DLL] | title-call bench [REPETITIONS]\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h") {
    std::printf("usage: title-call value [DLL] | title-call bench [REPETITIONS]\n"
                "Calls chirpline_mirc.dll's title as mIRC 7.81 does: prints the value once, or times it\n"
                "against opening, mapping and copying the same bytes from a named block.\n");
    return 0;
  }
  if (command == "value" && argc <= 3) {
    if (argc == 2) return print_value(beside_this_program(L"chirpline_mirc.dll"));
    const int n = MultiByteToWideChar(CP_ACP, 0, argv[2], -1, nullptr, 0);
    std::wstring path(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, argv[2], -1, &path[0], n);
    path.resize(path.size() - 1);
    return print_value(path);
  }
  if (command == "bench" && argc <= 3) {
    char* end = nullptr;
    const unsigned long repetitions = argc == 3 ? std::strtoul(argv[2], &end, 10) : 9;
    if ((argc == 3 && (*end != '\0' || argv[2][0] == '-')) || repetitions == 0 || repetitions > 1000) {
      std::fprintf(stderr, "title-call: bad value for REPETITIONS: %s (1 to 1000)\n", argv[2]);
      return 2;
    }
    return bench(static_cast<unsigned>(repetitions));
  }
  return usage();
}
