// The console table, then each ratio of two benchmarks of the same run beside
// its goal. Medians of the repetitions when there are any (run with
// --benchmark_repetitions and --benchmark_enable_random_interleaving=true so
// both sides of a ratio see the same load), else the single runs. Costs are
// CPU time, as the byte rates are: on a shared machine the wall clock also
// counts the time other programs held the processor.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace bench {

struct ratio {
  enum kind {
    speedup, // reference cost / subject cost: at least the goal
    slowdown // subject cost / reference cost: at most the goal
  };
  std::string label;
  std::string subject;
  std::string reference;
  kind how;
  double goal; // 0: shown for information only
};

class ratio_reporter : public benchmark::ConsoleReporter {
public:
  ratio_reporter(std::vector<ratio> ratios, OutputOptions options)
      : benchmark::ConsoleReporter(options), ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& reports) override {
    benchmark::ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
      if (run.error_occurred) {
        failed_.insert(run.run_name.str());
        continue;
      }
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") medians_[run.run_name.str()] = run;
      } else {
        singles_[run.run_name.str()] = run;
      }
    }
  }

  void Finalize() override {
    benchmark::ConsoleReporter::Finalize();
    std::printf("\n%-52s %9s %8s\n", medians_.empty() ? "ratio (single runs)" : "ratio (medians, same run)", "value",
                "goal");
    missed_ = 0;
    for (const ratio& r : ratios_) {
      const Run* subject = find(r.subject);
      const Run* reference = find(r.reference);
      if (subject == nullptr || reference == nullptr) {
        std::printf("%-52s %9s\n", r.label.c_str(), "not run");
        continue;
      }
      const double value =
          r.how == ratio::speedup ? cost(*reference) / cost(*subject) : cost(*subject) / cost(*reference);
      const bool met = r.how == ratio::speedup ? value >= r.goal : value <= r.goal;
      if (r.goal == 0) {
        std::printf("%-52s %8.2fx\n", r.label.c_str(), value);
      } else {
        std::printf("%-52s %8.2fx %s%5.2f %s\n", r.label.c_str(), value, r.how == ratio::speedup ? ">=" : "<=", r.goal,
                    met ? "met" : "MISSED");
        if (!met) ++missed_;
      }
    }
    std::printf("%d goal(s) missed\n", missed_);
    for (const std::string& name : failed_)
      std::printf("%s failed: its check did not hold\n", name.c_str());
    std::fflush(stdout);
  }

  // Every goal met and every benchmark's own check held.
  bool passed() const { return missed_ == 0 && failed_.empty(); }

  // A user counter of a benchmark (its median when there is one), or -1.
  double counter(const std::string& name, const std::string& counter_name) const {
    const Run* run = find(name);
    if (run == nullptr) return -1;
    const auto it = run->counters.find(counter_name);
    return it == run->counters.end() ? -1 : static_cast<double>(it->second);
  }

private:
  const Run* find(const std::string& name) const {
    auto it = medians_.find(name);
    if (it != medians_.end()) return &it->second;
    it = singles_.find(name);
    return it == singles_.end() ? nullptr : &it->second;
  }

  // Time per byte where the benchmark counts bytes, so ratios of runs over
  // different byte counts stay fair; CPU time per iteration otherwise.
  static double cost(const Run& run) {
    const auto it = run.counters.find("bytes_per_second");
    if (it != run.counters.end() && static_cast<double>(it->second) > 0) return 1.0 / static_cast<double>(it->second);
    return run.GetAdjustedCPUTime();
  }

  std::vector<ratio> ratios_;
  int missed_ = 0;
  std::set<std::string> failed_; // benchmarks whose own check failed
  std::map<std::string, Run> medians_;
  std::map<std::string, Run> singles_;
};

// Runs the registered benchmarks with the reporter; the program's main. Fails
// (status 1) when a goal is missed or a benchmark's check did not hold, so
// that a run that says something is wrong is not taken for a pass.
inline int run_with_ratios(int argc, char** argv, std::vector<ratio> ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Colours only on a terminal, so a saved run reads as plain text.
  const auto options = static_cast<benchmark::ConsoleReporter::OutputOptions>(
      benchmark::ConsoleReporter::OO_Tabular | (isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color : 0));
  ratio_reporter reporter(std::move(ratios), options);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.passed() ? 0 : 1;
}

} // namespace bench
