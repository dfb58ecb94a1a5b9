// Cost of loading and saving the settings stream: a pattern from 64 KiB to
// 4 MiB (1 MiB in the middle), and streams of 1,000 to 100,000 unmatched
// records (10,000 in the middle). Each family reports a fitted complexity.
// A load is set beside a save of the same pattern and a memcpy of the same
// bytes, per byte.
#include "host/client_interface.h"
#include "memory_streams.h"
#include "ratio_reporter.h"
#include "settings/cfg_var.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" component_client* corvane_get_interface(host_api* api, void* module_handle);

namespace {

constexpr std::uint8_t unknown_id[16] = {0xAB, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

component_client& client() {
  static component_client* c = corvane_get_interface(nullptr, nullptr);
  return *c;
}

void load_pattern(benchmark::State& state) {
  const std::string pattern(static_cast<std::size_t>(state.range(0)), 'p');
  std::vector<std::uint8_t> stream;
  append_record(stream, pattern_id, bytes_of(pattern.c_str()));
  counting_abort abort; // never says abort
  for (auto _ : state) {
    cfg_title_pattern.assign_text("", 0); // every round builds the text anew
    memory_reader reader = memory_reader::in_place(stream);
    client().load_settings(reader, abort);
  }
  if (cfg_title_pattern.text_length() != pattern.size()) state.SkipWithError("pattern not loaded");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
  state.SetComplexityN(state.range(0));
}

void save_pattern(benchmark::State& state) {
  const std::string pattern(static_cast<std::size_t>(state.range(0)), 'p');
  cfg_title_pattern.assign_text(pattern.c_str(), static_cast<std::uint32_t>(pattern.size()));
  counting_abort abort; // never says abort
  std::uint64_t written = 0;
  for (auto _ : state) {
    memory_writer writer = memory_writer::counting_only();
    client().save_settings(writer, abort);
    written = writer.written();
    benchmark::DoNotOptimize(written);
  }
  if (written != 21 + 20 + pattern.size()) state.SkipWithError("stream has the wrong size");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}

// The floor for a load: the stream's bytes copied once.
void memcpy_pattern(benchmark::State& state) {
  const std::vector<std::uint8_t> stream(static_cast<std::size_t>(state.range(0)) + 20, 'p');
  std::vector<std::uint8_t> copy(stream.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), stream.data(), stream.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
}

void load_unmatched_records(benchmark::State& state) {
  std::vector<std::uint8_t> stream;
  for (std::int64_t i = 0; i < state.range(0); ++i)
    append_record(stream, unknown_id, bytes_of("abcd"));
  counting_abort abort; // never says abort
  for (auto _ : state) {
    memory_reader reader = memory_reader::in_place(stream);
    client().load_settings(reader, abort);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}

BENCHMARK(load_pattern)->RangeMultiplier(4)->Range(64 << 10, 4 << 20)->Complexity(benchmark::oN);
BENCHMARK(save_pattern)->RangeMultiplier(4)->Range(64 << 10, 4 << 20)->Complexity(benchmark::oN);
BENCHMARK(memcpy_pattern)->RangeMultiplier(4)->Range(64 << 10, 4 << 20);
BENCHMARK(load_unmatched_records)->Arg(1000)->Arg(3000)->Arg(10000)->Arg(30000)->Arg(100000)->Complexity(benchmark::oN);

} // namespace

int main(int argc, char** argv) {
  std::vector<bench::ratio> ratios;
  for (const char* bytes : {"65536", "262144", "1048576", "4194304"}) {
    const std::string load = std::string("load_pattern/") + bytes;
    ratios.push_back(
        {load + " per byte vs save", load, std::string("save_pattern/") + bytes, bench::ratio::slowdown, 2});
    ratios.push_back(
        {load + " per byte vs memcpy", load, std::string("memcpy_pattern/") + bytes, bench::ratio::slowdown, 0});
  }
  return bench::run_with_ratios(argc, argv, std::move(ratios));
}
