// (a) A "settings" action of 100 settings through DoXMLAction, against the
//     same 100 SetValue calls and one SettingsChanged made directly. The
//     Application object here only counts SettingsChanged, in both cases: what
//     is compared is the dispatcher (parse, walk, trace checks, the reply),
//     not the storing of the collection that both would do alike. Two pairs:
//     calls from C++ (SettingsAction / SettingsDirect), and calls by name
//     through the object model, as plug-ins and bus clients make them
//     (SettingsActionByName / SettingsDirectByName). The fair floor of
//     SettingsAction is SettingsMessageReadAndWrite + SettingsDirect (the same
//     message read and written, the same calls made directly): want
//     (SettingsMessageReadAndWrite + SettingsDirect) / SettingsAction >= 0.8.
// (b) 10,000 secure log appends, against a floor that writes the same bytes
//     to a file opened for appending, with the same HMAC computation, and
//     nothing else (no lock, no check of what others appended). The log's
//     generation is started (its state file written durably) before the
//     clock runs, as the floor's header is. Measured without sealing and with
//     sealing set up (SecureLogAppendSealed: each append also looks whether
//     the epoch has ended; no epoch ends during a run).
// (c) Reading a 50 MB secure log as IoGetSecureLogs and IoVerifySecureLog do
//     (every record's hash checked, no entry kept), and the same log's
//     entries handed over as IoGetSecureLogEntries gathers them.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/com/dispatch_table.h"
#include "platform/root/machine_root.h"
#include "platform/xml/document.h"
#include "plugins/ionotify/io_notify.h"
#include "settings/shared/shared_settings.h"
#include "support/securelog/chain_mac.h"
#include "support/securelog/log_format.h"
#include "support/securelog/machine_key.h"
#include "support/securelog/seal_keys.h"
#include "support/securelog/secure_log_file.h"
#include "support/securelog/secure_log_reading.h"

namespace {

constexpr int kSettings = 100;
constexpr int kEntries = 10000;

class CountingApplication : public platform::com::Object {
 public:
  int calls = 0;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<CountingApplication>({
        {"SettingsChanged", platform::com::ArgRange{0, 1}, [](CountingApplication& self) { ++self.calls; }},
    });
    return &table;
  }
};

const std::filesystem::path& BenchRoot() {
  static const std::filesystem::path root = [] {
    auto path = std::filesystem::temp_directory_path() / ("hearth-bench-ionotify-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    platform::SetMachineRoot(path);
    return path;
  }();
  return root;
}

void InstallCollections() {
  BenchRoot();
  settings::SetSystemSettings(std::make_shared<settings::cSettings>());
  settings::SetUserSettings(std::make_shared<settings::cSettings>());
  service::SetApplicationObject(std::make_shared<CountingApplication>());
}

std::string SettingsMessage() {
  std::string message = "<msg><action type=\"settings\">";
  for (int i = 0; i < kSettings; ++i) {
    message += "<setting id=\"global.bench.setting" + std::to_string(i) + "\">value " + std::to_string(i) + "</setting>";
  }
  return message + "</action></msg>";
}

void BM_SettingsAction(benchmark::State& state) {
  InstallCollections();
  auto io = std::make_shared<plugins::ionotify::cIoNotify>();
  const std::string message = SettingsMessage();
  for (auto _ : state) {
    std::string reply = message;
    io->DoXMLAction(reply);
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_SettingsAction)->Unit(benchmark::kMicrosecond);

void BM_SettingsDirect(benchmark::State& state) {
  InstallCollections();
  std::vector<std::pair<std::string, std::string>> values;
  for (int i = 0; i < kSettings; ++i) {
    values.emplace_back("bench.setting" + std::to_string(i), "value " + std::to_string(i));
  }
  for (auto _ : state) {
    settings::SettingsPtr system = settings::GetSystemSettings();
    for (const auto& [name, value] : values) system->SetValue(name, platform::Variant(value));
    std::vector<platform::Variant> args{platform::Variant(true)};
    platform::com::CallByName(service::GetApplicationObject(), "SettingsChanged", args);
  }
}
BENCHMARK(BM_SettingsDirect)->Unit(benchmark::kMicrosecond);

// What any XML message costs before its actions run: reading the message and
// writing the reply, the floor under BM_SettingsAction.
void BM_SettingsMessageReadAndWrite(benchmark::State& state) {
  const std::string message = SettingsMessage();
  for (auto _ : state) {
    platform::xml::Document document = platform::xml::Document::FreeThreaded();
    document.LoadXml(message);
    std::string reply = document.Xml();
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_SettingsMessageReadAndWrite)->Unit(benchmark::kMicrosecond);

void BM_SettingsActionByName(benchmark::State& state) {
  InstallCollections();
  platform::com::ObjectPtr io = std::make_shared<plugins::ionotify::cIoNotify>();
  const std::string message = SettingsMessage();
  for (auto _ : state) {
    std::vector<platform::Variant> args{platform::Variant(message)};
    platform::com::CallByName(io, "DoXMLAction", args);
    benchmark::DoNotOptimize(args);
  }
}
BENCHMARK(BM_SettingsActionByName)->Unit(benchmark::kMicrosecond);

void BM_SettingsDirectByName(benchmark::State& state) {
  InstallCollections();
  std::vector<std::pair<std::string, std::string>> values;
  for (int i = 0; i < kSettings; ++i) {
    values.emplace_back("bench.setting" + std::to_string(i), "value " + std::to_string(i));
  }
  for (auto _ : state) {
    platform::com::ObjectPtr system = settings::GetSystemSettings();
    for (const auto& [name, value] : values) {
      std::vector<platform::Variant> args{platform::Variant(name), platform::Variant(value)};
      platform::com::CallByName(system, "SetValue", args);
    }
    std::vector<platform::Variant> args{platform::Variant(true)};
    platform::com::CallByName(service::GetApplicationObject(), "SettingsChanged", args);
  }
}
BENCHMARK(BM_SettingsDirectByName)->Unit(benchmark::kMicrosecond);

std::string Entry(int i) {
  return "<entry alertid='CF" + std::to_string(i % 1000) +
         "' when='46000.5' userid='This Computer' referer='http://referer.example/' >http://host.example/page" +
         std::to_string(i) + "</entry>";
}

void AppendEntries(benchmark::State& state, const std::string& folder, const std::string& key) {
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    support::SecureLogFile log(folder, key);
    log.Open("REPORT", "");
    log.Append(Entry(0));
    state.ResumeTiming();
    for (int i = 1; i < kEntries; ++i) log.Append(Entry(i));
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}

void BM_SecureLogAppend(benchmark::State& state) {
  AppendEntries(state, (BenchRoot() / "securelog").string(), (BenchRoot() / "keys/securelog.key").string());
}
BENCHMARK(BM_SecureLogAppend)->Unit(benchmark::kMillisecond);

void BM_SecureLogAppendSealed(benchmark::State& state) {
  const std::string key = (BenchRoot() / "sealed-keys/securelog.key").string();
  support::securelog::SetUpSealing(support::securelog::SealingStatePath(key), 900, std::time(nullptr), true);
  AppendEntries(state, (BenchRoot() / "sealed").string(), key);
}
BENCHMARK(BM_SecureLogAppendSealed)->Unit(benchmark::kMillisecond);

void BM_SecureLogAppendFloor(benchmark::State& state) {
  const std::string folder = (BenchRoot() / "floor").string();
  const std::string key_path = (BenchRoot() / "keys/securelog.key").string();
  support::securelog::ChainMac mac(support::securelog::LoadOrCreateMachineKey(key_path));
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/report.slog";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const std::string nonce = support::securelog::NewNonce();
    std::string header = support::securelog::EncodeHeader(nonce);
    benchmark::DoNotOptimize(::write(fd, header.data(), header.size()));
    support::securelog::Mac last = mac.Start(nonce, "report");
    last = mac.Entry(last, 0, Entry(0));
    const std::string first = support::securelog::EncodeRecord(Entry(0), last);
    benchmark::DoNotOptimize(::write(fd, first.data(), first.size()));
    state.ResumeTiming();
    for (int i = 1; i < kEntries; ++i) {
      const std::string entry = Entry(i);
      last = mac.Entry(last, static_cast<uint64_t>(i), entry);
      const std::string record = support::securelog::EncodeRecord(entry, last);
      benchmark::DoNotOptimize(::write(fd, record.data(), record.size()));
    }
    state.PauseTiming();
    ::close(fd);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_SecureLogAppendFloor)->Unit(benchmark::kMillisecond);

// A log of about 50 MB of ordinary report entries, written once.
constexpr uint64_t kLargeLogBytes = 50u << 20;

const std::string& LargeLogFolder() {
  static const std::string folder = [] {
    const std::string path = (BenchRoot() / "large").string();
    const std::string key_path = (BenchRoot() / "keys/securelog.key").string();
    support::securelog::ChainMac mac(support::securelog::LoadOrCreateMachineKey(key_path));
    std::filesystem::create_directories(path);
    const int fd = ::open((path + "/report.slog").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string nonce = support::securelog::NewNonce();
    std::string bytes = support::securelog::EncodeHeader(nonce);
    support::securelog::Mac last = mac.Start(nonce, "report");
    for (uint64_t i = 0; bytes.size() < kLargeLogBytes; ++i) {
      const std::string entry = Entry(static_cast<int>(i));
      last = mac.Entry(last, i, entry);
      bytes += support::securelog::EncodeRecord(entry, last);
    }
    benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
    ::close(fd);
    return path;
  }();
  return folder;
}

void BM_SecureLogInspect50MB(benchmark::State& state) {
  const std::string& folder = LargeLogFolder();
  const std::string key_path = (BenchRoot() / "keys/securelog.key").string();
  for (auto _ : state) {
    const support::SecureLogInspection log = support::InspectSecureLog(folder, "report", key_path);
    benchmark::DoNotOptimize(log.entries);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLargeLogBytes));
}
BENCHMARK(BM_SecureLogInspect50MB)->Unit(benchmark::kMillisecond);

void BM_SecureLogEntries50MB(benchmark::State& state) {
  const std::string& folder = LargeLogFolder();
  const std::string key_path = (BenchRoot() / "keys/securelog.key").string();
  for (auto _ : state) {
    std::vector<std::string> entries;
    support::InspectSecureLog(folder, "report", key_path, support::EntriesWanted::kAll,
                              [&entries](std::string_view entry) { entries.emplace_back(entry); });
    benchmark::DoNotOptimize(entries.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLargeLogBytes));
}
BENCHMARK(BM_SecureLogEntries50MB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(BenchRoot(), ignored);
  return 0;
}
