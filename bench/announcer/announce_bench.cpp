// The component's own work per announcement: compiler lookup, the compile and
// render calls, the command text and the console line, with host objects that
// do next to nothing and the delivery replaced by a no-op. Reports the time
// and the component's heap allocations per announcement, beside a plain
// std::string build of the same three texts (title, command, console line).
#include "allocation_hook.h"
#include "announcer/mirc_command.h"
#include "announcer/play_callback_mirc.h"
#include "host/console.h"
#include "ratio_reporter.h"
#include "runtime/module_state.h"
#include "runtime/service.h"
#include "settings/cfg_var.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

class script_stub final : public titleformat_script {
public:
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
  bool query_class(service_base*&, const guid&) override { return false; }
};
script_stub g_script;

class compiler_stub final : public titleformat_compiler {
public:
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
  bool query_class(service_base*&, const guid&) override { return false; }
  bool compile_pattern(titleformat_script*& out_script, const char*) override {
    out_script = &g_script;
    return true;
  }
};
compiler_stub g_compiler;

class track_stub final : public track_handle {
public:
  explicit track_stub(std::string title) : title_(std::move(title)) {}
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
  bool query_class(service_base*&, const guid&) override { return false; }
  const char* track_location() override { return ""; }
  bool render_title(void*, pfc::string_base& out, titleformat_script*, void*) override {
    out.assign_text(title_.c_str(), static_cast<std::uint32_t>(title_.size()));
    return true;
  }

private:
  std::string title_;
};

class console_sink final : public console_service {
public:
  std::int32_t release() override { return 1; }
  std::int32_t add_ref() override { return 1; }
  bool query_class(service_base*&, const guid&) override { return false; }
  void print(const char* text, std::uint32_t) override { benchmark::DoNotOptimize(text); }
};
console_sink g_console;

// One compiler and one console, found by class.
class host_stub final : public host_api {
public:
  std::uint32_t find_class(const guid& class_guid) override {
    if (class_guid == titleformat_compiler_class_guid) return 1;
    if (class_guid == console_class_guid) return 2;
    return 0;
  }
  bool create_instance(service_base*& out_ref, std::uint32_t cls, std::uint32_t index) override {
    if (index != 0 || cls == 0) return false;
    out_ref = cls == 1 ? static_cast<service_base*>(&g_compiler) : static_cast<service_base*>(&g_console);
    return true;
  }
  std::uint32_t count_instances(std::uint32_t cls) override { return cls == 0 ? 0 : 1; }
};
host_stub g_host;

void discard(const char* command) { benchmark::DoNotOptimize(command); }

bool count_allocation(std::size_t, void* counter) {
  ++*static_cast<std::int64_t*>(counter);
  return true;
}

void BM_announce(benchmark::State& state) {
  set_module_host_api(&g_host);
  set_services_ready(true);
  cfg_enabled.value = 1;
  service_impl_single_t<play_callback_mirc> callback{&discard};
  play_callback& cb = callback;
  track_stub track(std::string(static_cast<std::size_t>(state.range(0)), 'x'));

  std::int64_t allocations = 0;
  pfc::set_allocation_hook(&count_allocation, &allocations);
  for (auto _ : state)
    cb.on_new_track(&track);
  pfc::set_allocation_hook(nullptr, nullptr);

  state.counters["allocs_per_announcement"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
  state.SetLabel("title of " + std::to_string(state.range(0)) + " bytes");
  set_services_ready(false);
  set_module_host_api(nullptr);
}
BENCHMARK(BM_announce)->Arg(30)->Arg(200)->Arg(4000);

// The floor: the same bytes copied into three fresh std::strings.
void BM_plain_string(benchmark::State& state) {
  const std::string source(static_cast<std::size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    std::string title(source.data(), source.size());
    std::string command;
    command.reserve(announce_prefix_length + title.size());
    command.append(announce_prefix, announce_prefix_length).append(title);
    std::string line;
    line.reserve(11 + title.size());
    line.append("Chirpline: ", 11).append(title);
    benchmark::DoNotOptimize(command.data());
    benchmark::DoNotOptimize(line.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_plain_string)->Arg(30)->Arg(200)->Arg(4000);

} // namespace

int main(int argc, char** argv) {
  std::vector<bench::ratio> ratios;
  for (const char* bytes : {"30", "200", "4000"})
    ratios.push_back({std::string("announcement of ") + bytes + " bytes vs std::string",
                      std::string("BM_announce/") + bytes, std::string("BM_plain_string/") + bytes,
                      bench::ratio::slowdown, 1.5});
  return bench::run_with_ratios(argc, argv, std::move(ratios));
}
