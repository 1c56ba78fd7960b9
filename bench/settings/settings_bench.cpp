// The store-and-reload round trip of a settings collection
// (WriteSnapshotToStored, then CreateSnapshotFromStored into another
// collection) beside a floor measured in the same run: the same XML text
// built and parsed with pugixml directly, encrypted and decrypted once,
// written and read once. The floor comes in two kinds: a plain write, and a
// durable one (flushed and renamed into place, as a settings file must be);
// the durable one is the fair floor, the plain one shows what the disk costs.
//
// At the end, for each benchmark, the CPU time at each size is printed as a
// multiple of the time at the size before: a linear operation shows the
// ratio of the sizes (10x from 1,000 to 10,000 settings, 5x to 50,000).
// The process keeps freed memory for reuse, as hearthd does.
//
//   settings_bench --benchmark_min_time=0.2
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "common/growth_reporter.h"
#include "platform/basic/conversions.h"
#include "platform/host/memory_policy.h"
#include "platform/root/machine_root.h"
#include "settings/collection/c_settings.h"
#include "support/crypto/crypto_service.h"

namespace {

// A private root for the run, removed at the end.
class BenchRoot {
 public:
  BenchRoot() {
    path_ = std::filesystem::temp_directory_path() / ("hearth-settings-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
    platform::SetMachineRoot(path_);
  }
  ~BenchRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

BenchRoot& Root() {
  static BenchRoot root;
  return root;
}

// The value of setting i: mostly texts, with numbers and Booleans between.
platform::Variant ValueOf(int i) {
  if (i % 7 == 0) return platform::Variant(i % 2 == 0);
  if (i % 5 == 0) return platform::Variant(static_cast<int32_t>(i * 37));
  return platform::Variant("value number " + std::to_string(i) + " of the collection");
}

std::string NameOf(int i) { return "user.setting" + std::to_string(i); }

struct StringWriter : pugi::xml_writer {
  void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
  std::string out;
};

void WriteAndRead(const std::string& path, const std::vector<uint8_t>& bytes, bool durable) {
  const std::string target = durable ? path + ".work" : path;
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  if (durable && ::fsync(fd) != 0) std::abort();
  ::close(fd);
  if (durable) {
    if (std::rename(target.c_str(), path.c_str()) != 0) std::abort();
    const int folder = ::open(std::filesystem::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(folder);
    ::close(folder);
  }
  std::vector<uint8_t> back(bytes.size());
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0 || ::read(in, back.data(), back.size()) != static_cast<ssize_t>(back.size())) std::abort();
  ::close(in);
  benchmark::DoNotOptimize(back);
}

void Floor(benchmark::State& state, bool durable) {
  const int count = static_cast<int>(state.range(0));
  const std::string path = (Root().path() / "floor.bin").string();
  support::CryptoService crypto;
  const auto key = crypto.DeriveKey("KEY");
  const auto vector = crypto.DeriveKey("VECTOR");
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) texts.push_back(platform::CStr(ValueOf(i)));
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_node object = doc.append_child("VeltrisSettings").append_child("cSettings");
    object.append_attribute("name") = "Windows_v1.50";
    for (int i = 0; i < count; ++i) {
      pugi::xml_node value = object.append_child(NameOf(i).c_str());
      value.append_attribute("VT") = "8";
      value.text() = texts[i].c_str();
    }
    StringWriter writer;
    doc.print(writer, "", pugi::format_raw | pugi::format_no_empty_element_tags);
    const auto* plain = reinterpret_cast<const uint8_t*>(writer.out.data());
    const auto cipher = crypto.Encrypt(std::span(plain, writer.out.size()), key, vector);
    WriteAndRead(path, cipher, durable);
    const auto decrypted = crypto.Decrypt(cipher, key, vector);
    pugi::xml_document parsed;
    parsed.load_buffer(decrypted.data(), writer.out.size());
    benchmark::DoNotOptimize(parsed.first_child());
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_Floor(benchmark::State& state) { Floor(state, false); }
void BM_FloorDurable(benchmark::State& state) { Floor(state, true); }

void BM_StoreAndReload(benchmark::State& state) {
  Root();
  const int count = static_cast<int>(state.range(0));
  settings::cSettings source;
  for (int i = 0; i < count; ++i) source.SetValue(NameOf(i), ValueOf(i));
  settings::cSettings target;
  for (auto _ : state) {
    source.WriteSnapshotToStored("");
    target.CreateSnapshotFromStored("");
  }
  if (target.Count() < static_cast<std::size_t>(count) + 1) state.SkipWithError("the reload lost settings");
  state.SetItemsProcessed(state.iterations() * count);
}

// The parts of the round trip, to see where its time goes.
void BM_SnapshotText(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  settings::cSettings source;
  for (int i = 0; i < count; ++i) source.SetValue(NameOf(i), ValueOf(i));
  for (auto _ : state) benchmark::DoNotOptimize(source.WriteSnapshotToString());
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_LoadSnapshotText(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  settings::cSettings source;
  for (int i = 0; i < count; ++i) source.SetValue(NameOf(i), ValueOf(i));
  const std::string text = source.WriteSnapshotToString();
  settings::cSettings target;
  for (auto _ : state) target.CreateSnapshotFromString(text);
  state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_Floor)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorDurable)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreAndReload)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SnapshotText)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadSnapshotText)->Arg(100)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // Memory as the service keeps it: without this, every size whose text and
  // document outgrow the allocator's thresholds pays for faulting them in
  // afresh on each iteration, and the growth measures the page faults.
  platform::host::KeepFreedMemoryForReuse();
  benchmark::Initialize(&argc, argv);
  GrowthReporter reporter("settings", GrowthReporter::Time::kCpu);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
