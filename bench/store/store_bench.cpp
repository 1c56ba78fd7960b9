// Backup into a compressed store and its playback, against the standard
// tools on the same tree: "tar -cf - DIR | zstd -3 -T1" and "zstd -d | tar -xf -".
//
// The tree (about 200 MB) is made here, in a temporary folder, before the
// first benchmark: many small files of text-like (compressible) bytes, some
// files of several MB, half of them text-like and half random. The counters
// give the sizes of the store and of the tar.zst output, and "cpu_s" the
// processor time (user and system) of one run: this process's for the store,
// the shell pipeline's for the standard tools, so the two compare even on a
// busy machine.
//
// HEARTH_STORE_BENCH_DIR=DIR makes (or reuses) the tree in DIR and leaves it
// there, with every restored tree, so a profile of one benchmark sees no tree
// building. The machine's other work disturbs single runs: compare with
//   --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
//
//   build/release/bench/store_bench
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/fs/file_numbers.h"
#include "platform/root/machine_root.h"
#include "store/file_manager.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSmallFiles = 12000;
constexpr int kLargeFiles = 24;

const char* const kWords[] = {"alert", "store", "settings", "profile", "registry", "value", "firewall", "scan",
                              "update", "service", "plugin", "user", "the", "of", "and", "a", "to", "in",
                              "is", "file", "folder", "entry", "chunk", "key", "data", "log", "report", "time"};

std::string TextLike(std::mt19937_64& random, size_t size) {
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    text += kWords[random() % std::size(kWords)];
    text += (random() % 12 == 0) ? '\n' : ' ';
    if (random() % 40 == 0) text += std::to_string(random() % 100000);
  }
  text.resize(size);
  return text;
}

std::string RandomBytes(std::mt19937_64& random, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t v = random();
    std::memcpy(&bytes[i], &v, 8);
  }
  return bytes;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Workspace {
  fs::path top;
  fs::path tree;
  int64_t tree_bytes = 0;
  bool keep = false;

  Workspace() {
    const char* kept = std::getenv("HEARTH_STORE_BENCH_DIR");
    keep = kept != nullptr && *kept != '\0';
    top = keep ? fs::path(kept) : fs::temp_directory_path() / ("hearth-store-bench-" + std::to_string(::getpid()));
    tree = top / "tree";
    fs::create_directories(top / "root");
    platform::SetMachineRoot(top / "root");
    if (keep && fs::exists(top / "tree.done")) {
      for (const auto& item : fs::recursive_directory_iterator(tree)) {
        if (item.is_regular_file()) tree_bytes += static_cast<int64_t>(item.file_size());
      }
      return;
    }
    fs::remove_all(tree);
    std::mt19937_64 random(42);
    for (int i = 0; i < kSmallFiles; ++i) {
      const std::string bytes = TextLike(random, 500 + random() % 12000);
      WriteFile(tree / ("d" + std::to_string(i % 40)) / ("e" + std::to_string(i % 7)) / ("f" + std::to_string(i) + ".txt"),
                bytes);
      tree_bytes += static_cast<int64_t>(bytes.size());
    }
    for (int i = 0; i < kLargeFiles; ++i) {
      const size_t size = 2'000'000 + random() % 4'000'000;
      const std::string bytes = i % 2 ? RandomBytes(random, size) : TextLike(random, size);
      WriteFile(tree / "large" / ("big" + std::to_string(i) + ".bin"), bytes);
      tree_bytes += static_cast<int64_t>(size);
    }
    if (keep) WriteFile(top / "tree.done", "");
  }
  // A new, empty folder for one restore. Restored trees are removed only
  // when the run ends: ext4 without a journal passes over recently freed
  // inodes when it allocates, so a tree removed just before a timed restore
  // would slow that restore down by a cost of the removal, not of the restore.
  fs::path FreshFolder(const std::string& name) {
    const fs::path folder = top / "restored" / (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(++restores));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
  }
  int restores = 0;

  ~Workspace() {
    std::error_code ignored;
    // A kept workspace keeps its restored trees too: removing them now would
    // slow the next run's restores down (remove DIR/restored by hand).
    if (!keep) fs::remove_all(top, ignored);
    platform::SetMachineRoot({});
  }
};

// Processor seconds (user and system) used so far by this process, or by its
// finished children.
double CpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Adds the processor time of the timed part of each iteration to `total`.
class CpuClock {
 public:
  explicit CpuClock(int who) : who_(who) {}
  void Start() { started_ = CpuSeconds(who_); }
  void Stop() { total_ += CpuSeconds(who_) - started_; }
  void Report(benchmark::State& state) const {
    state.counters["cpu_s"] = total_ / static_cast<double>(std::max<int64_t>(1, state.iterations()));
  }

 private:
  int who_;
  double started_ = 0;
  double total_ = 0;
};

Workspace& Work() {
  static Workspace work;
  return work;
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::abort();
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

void BM_StoreBackupAndFinalize(benchmark::State& state) {
  Workspace& work = Work();
  const std::string store = (work.top / "store.bin").string();
  int64_t size = 0;
  CpuClock cpu(RUSAGE_SELF);
  for (auto _ : state) {
    cpu.Start();
    store::cFileMgr mgr;
    const int32_t handle = mgr.CreateStoreFile(store, "bench", true);
    mgr.BackupFiles(work.tree.string(), "", "*", true, false, handle);
    mgr.FinalizeStoreFile(handle);
    mgr.UnprotectFile(store);
    cpu.Stop();
    size = static_cast<int64_t>(fs::file_size(store));
  }
  cpu.Report(state);
  state.counters["tree_MB"] = static_cast<double>(work.tree_bytes) / 1e6;
  state.counters["output_MB"] = static_cast<double>(size) / 1e6;
  state.SetBytesProcessed(state.iterations() * work.tree_bytes);
}
BENCHMARK(BM_StoreBackupAndFinalize)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_TarZstd(benchmark::State& state) {
  Workspace& work = Work();
  const fs::path out = work.top / "tree.tar.zst";
  CpuClock cpu(RUSAGE_CHILDREN);
  for (auto _ : state) {
    cpu.Start();
    Run("tar -cf - -C " + Quoted(work.tree) + " . | zstd -3 -T1 -q -f -o " + Quoted(out));
    cpu.Stop();
  }
  cpu.Report(state);
  state.counters["tree_MB"] = static_cast<double>(work.tree_bytes) / 1e6;
  state.counters["output_MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
  state.SetBytesProcessed(state.iterations() * work.tree_bytes);
}
BENCHMARK(BM_TarZstd)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_StorePlayback(benchmark::State& state) {
  Workspace& work = Work();
  const fs::path store = work.top / "store.bin";
  const fs::path copy = work.top / "playback.bin";
  CpuClock cpu(RUSAGE_SELF);
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path restore = work.FreshFolder("restored-store");
    fs::copy_file(store, copy, fs::copy_options::overwrite_existing);
    store::cFileMgr mgr;
    mgr.SetRestoreRoot(restore.string());
    state.ResumeTiming();
    cpu.Start();
    mgr.PlayBackStoreFile(copy.string());
    cpu.Stop();
    if (!mgr.LastPlayback().completed) std::abort();
    state.PauseTiming();
    mgr.UnprotectFile(copy.string());
    state.ResumeTiming();
  }
  cpu.Report(state);
  state.SetBytesProcessed(state.iterations() * work.tree_bytes);
}
BENCHMARK(BM_StorePlayback)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_ZstdUntar(benchmark::State& state) {
  Workspace& work = Work();
  const fs::path in = work.top / "tree.tar.zst";
  CpuClock cpu(RUSAGE_CHILDREN);
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path restore = work.FreshFolder("restored-tar");
    state.ResumeTiming();
    cpu.Start();
    Run("zstd -d -q -c " + Quoted(in) + " | tar -xf - -C " + Quoted(restore));
    cpu.Stop();
  }
  cpu.Report(state);
  state.SetBytesProcessed(state.iterations() * work.tree_bytes);
}
BENCHMARK(BM_ZstdUntar)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
