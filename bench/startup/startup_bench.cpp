// hearthd's start in multi-user mode on a root with 1,000, 4,000 and 16,000
// generated accounts (machine.conf's PasswdFile names a generated passwd
// file), timed from the exec to READY=1 on a notify socket of this program.
// Cold: the first start, which makes every user's settings file. Warm: a
// later start, every file present. At the end each row's growth from one
// size to the next is printed: a linear start grows 4x per step.
//
//   startup_bench --benchmark_filter=Warm
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/growth_reporter.h"
#include "contracts/support_objects.h"
#include "platform/basic/variant.h"
#include "platform/root/machine_root.h"
#include "settings/collection/c_settings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path Hearthd() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin/hearthd"; }

// A root in multi-user mode whose passwd file lists `accounts` users.
fs::path MakeRoot(int accounts) {
  const fs::path root =
      fs::temp_directory_path() / ("hearth-startup-bench-" + std::to_string(::getpid()) + "-" + std::to_string(accounts));
  fs::remove_all(root);
  fs::create_directories(root / "etc");
  std::ofstream passwd(root / "etc/passwd");
  passwd << "root:x:0:0:root:/root:/bin/bash\n";
  for (int i = 0; i < accounts; ++i) {
    const int uid = 1000 + i;
    passwd << "user" << uid << ":x:" << uid << ":" << uid << ":User " << uid << ",,,:/home/user" << uid
           << ":/bin/sh\n";
  }
  std::ofstream(root / "machine.conf") << "PasswdFile = etc/passwd\n";
  // The system collection as an earlier run stored it, multi-user mode on.
  std::thread([&] {
    platform::SetMachineRoot(root);
    settings::cSettings system;
    system.SetValue("legacy.featuremultiuser", platform::Variant(true));
    // Only the guest so far: the first start adds every account.
    system.SetValue("users.sids", platform::Variant(std::string("*|")));
    system.WriteSnapshotToStored("");
    contracts::Support().Reset();
    platform::SetMachineRoot({});
  }).join();
  return root;
}

// hearthd on `root`, READY=1 awaited on a socket of ours.
class Start {
 public:
  explicit Start(const fs::path& root) {
    socket_path_ = root.string() + ".notify";
    ::unlink(socket_path_.c_str());
    socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket_path_.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      throw std::runtime_error("cannot bind " + socket_path_);
    }
    const std::string program = Hearthd().string();
    const std::string root_text = root.string();
    const std::string log = root.string() + ".out";
    started_ = Clock::now();
    pid_ = ::fork();
    if (pid_ == 0) {
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      ::dup2(out, 2);
      ::setenv("NOTIFY_SOCKET", socket_path_.c_str(), 1);
      // No bus: the start is what is measured, not a bus's answers.
      ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/hearth-bench-has-no-bus", 1);
      ::execl(program.c_str(), program.c_str(), "--root", root_text.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~Start() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    ::close(socket_);
    ::unlink(socket_path_.c_str());
  }

  // Seconds from the exec to READY=1; throws when it never came.
  double WaitReady() {
    const auto deadline = started_ + std::chrono::minutes(5);
    char buffer[4096];
    while (Clock::now() < deadline) {
      pollfd fd{socket_, POLLIN, 0};
      if (::poll(&fd, 1, 1000) <= 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
          pid_ = -1;
          throw std::runtime_error("hearthd ended before it was ready");
        }
        continue;
      }
      const ssize_t got = ::recv(socket_, buffer, sizeof buffer - 1, 0);
      if (got <= 0) continue;
      if (std::string(buffer, static_cast<size_t>(got)).find("READY=1") != std::string::npos) {
        return std::chrono::duration<double>(Clock::now() - started_).count();
      }
    }
    throw std::runtime_error("hearthd was not ready within 5 minutes");
  }

 private:
  std::string socket_path_;
  int socket_ = -1;
  pid_t pid_ = -1;
  Clock::time_point started_;
};

void Measure(benchmark::State& state, bool warm) {
  const int accounts = static_cast<int>(state.range(0));
  fs::path root;
  for (auto _ : state) {
    state.PauseTiming();
    if (!warm || root.empty()) {
      if (!root.empty()) fs::remove_all(root);
      root = MakeRoot(accounts);
      if (warm) Start(root).WaitReady();  // the cold start, which makes the files
    }
    state.ResumeTiming();
    try {
      state.SetIterationTime(Start(root).WaitReady());
    } catch (const std::exception& error) {
      state.SkipWithError(error.what());
      break;
    }
  }
  fs::remove_all(root);
  std::error_code ignored;
  fs::remove(root.string() + ".out", ignored);
}

void BM_ColdStart(benchmark::State& state) { Measure(state, false); }
void BM_WarmStart(benchmark::State& state) { Measure(state, true); }

BENCHMARK(BM_ColdStart)->Arg(1000)->Arg(4000)->Arg(16000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WarmStart)->Arg(1000)->Arg(4000)->Arg(16000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  GrowthReporter reporter("accounts", GrowthReporter::Time::kReal);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
