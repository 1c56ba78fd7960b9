// The console table, then how each benchmark's time grows from one argument
// to the next (the median where repetitions were asked for, which a busy
// machine's outliers move least): a linear operation grows as its argument
// does.
//
//   GrowthReporter reporter("settings", GrowthReporter::Time::kCpu);
//   benchmark::RunSpecifiedBenchmarks(&reporter);
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class GrowthReporter : public benchmark::ConsoleReporter {
 public:
  enum class Time { kCpu, kReal };
  // `unit` names what the argument counts ("settings", "accounts").
  GrowthReporter(std::string unit, Time time) : unit_(std::move(unit)), time_(time) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if ((!median && !single) || run.iterations <= 0 || run.run_name.args.empty()) continue;
      const long size = std::stol(run.run_name.args);
      times_[run.run_name.function_name][size] =
          time_ == Time::kCpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const char* kind = time_ == Time::kCpu ? "CPU time" : "time";
    for (const auto& [name, by_size] : times_) {
      const std::pair<const long, double>* before = nullptr;
      for (const auto& entry : by_size) {
        if (before && before->second > 0) {
          std::printf("%-20s %6ld -> %6ld %s: %5.2fx %s (sizes %.0fx)\n", name.c_str(), before->first, entry.first,
                      unit_.c_str(), entry.second / before->second, kind,
                      static_cast<double>(entry.first) / before->first);
        }
        before = &entry;
      }
    }
  }

 private:
  std::string unit_;
  Time time_;
  std::map<std::string, std::map<long, double>> times_;
};
