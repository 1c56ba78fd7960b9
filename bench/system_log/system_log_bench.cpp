// WriteSystemLog beside the least any log line costs: the same open for
// appending, one write and close, done with raw system calls on a line that
// is already formatted, in the same run and the same folder.
//
//   system_log_bench --benchmark_min_time=1
// The ratio that matters: WriteSystemLog / RawOpenAppendClose (lines per
// second, want >= 0.95).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/root/machine_root.h"
#include "systemlog/system_log.h"

namespace {

constexpr char kMessage[] = "IoCoreEvents.NotifyFeaturePlugins: Sent OnSettingsChange to Veltris.AntiVirus.1";

// One temporary root for the whole run, removed at exit.
const std::filesystem::path& BenchRoot() {
  static const std::filesystem::path root = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "hearth-log-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    platform::SetMachineRoot(pattern);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(BenchRoot(), ignored);
    });
    return std::filesystem::path(pattern);
  }();
  return root;
}

void BM_WriteSystemLog(benchmark::State& state) {
  BenchRoot();
  std::filesystem::remove(service::SystemLogPath());
  for (auto _ : state) service::WriteSystemLog(kMessage);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteSystemLog)->UseRealTime();

void BM_RawOpenAppendClose(benchmark::State& state) {
  BenchRoot();
  // Beside the real log, so both files live in the same folder.
  const std::string path = service::SystemLogPath() + ".baseline";
  std::filesystem::remove(path);
  const std::string line = service::FormatLogLine(kMessage) + "\r\n";
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawOpenAppendClose)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
