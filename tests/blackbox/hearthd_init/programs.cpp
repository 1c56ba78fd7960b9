#include "programs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "testing/log_messages.h"
#include "testing/temp_root.h"

namespace hearthd_init_test {
namespace {

constexpr auto kPatience = std::chrono::seconds(30);

std::string BinPath(const std::string& program) {
  const char* bin_dir = std::getenv("HEARTH_BIN_DIR");
  return std::string(bin_dir == nullptr ? "." : bin_dir) + "/" + program;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& out_file,
            const std::string& err_file) {
  std::string path = BinPath(program);
  std::vector<std::string> copies(args);
  std::vector<char*> argv{path.data()};
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

// The exit code, or -1 when the process did not end in time (it is killed).
int WaitFor(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string OutputFile(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("hearthd_init_") + std::to_string(getpid()) + name))
      .string();
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  const std::string out_file = OutputFile(".out");
  const std::string err_file = OutputFile(".err");
  ProgramRun run;
  run.exit_code = WaitFor(Spawn(program, args, out_file, err_file));
  run.out = testing_support::ReadFileBytes(out_file);
  run.err = testing_support::ReadFileBytes(err_file);
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return run;
}

namespace {

// Start sequences completed so far on the root, in every generation of the
// log (each start begins a new one).
int CompletedStarts(const std::filesystem::path& root) {
  int count = 0;
  const std::filesystem::path folder = root / "commonfiles/Norvale/QORC/log";
  for (const char* name : {"hearth.log", "hearth.lo1", "hearth.lo2", "hearth.lo3", "hearth.lo4", "hearth.lo5",
                           "hearth.lo6", "hearth.lo7", "hearth.lo8", "hearth.lo9"}) {
    const std::string text = testing_support::ReadFileBytes(folder / name);
    for (size_t at = text.find("] Service.OnStart: complete, Err="); at != std::string::npos;
         at = text.find("] Service.OnStart: complete, Err=", at + 1)) {
      ++count;
    }
  }
  return count;
}

}  // namespace

Hearthd::Hearthd(const std::filesystem::path& root) {
  const int earlier = CompletedStarts(root);
  pid_ = Spawn("hearthd", {"--root", root.string()}, "/dev/null", "/dev/null");
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    started_ = CompletedStarts(root) > earlier;
    if (started_) break;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {  // ended before it started
      early_exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

Hearthd::~Hearthd() { Stop(); }

int Hearthd::Stop() {
  if (pid_ < 0) return early_exit_code_;
  kill(pid_, SIGTERM);
  const int code = WaitFor(pid_);
  pid_ = -1;
  return code;
}

std::vector<std::string> LogMessages(const std::filesystem::path& root) {
  return testing_support::LogFileMessages(root / "commonfiles/Norvale/QORC/log/hearth.log");
}

bool HasMessage(const std::vector<std::string>& messages, const std::string& message) {
  for (const std::string& m : messages) {
    if (m == message) return true;
  }
  return false;
}

bool HasMessageEnding(const std::vector<std::string>& messages, const std::string& suffix) {
  for (const std::string& m : messages) {
    if (m.size() >= suffix.size() && m.compare(m.size() - suffix.size(), suffix.size(), suffix) == 0) return true;
  }
  return false;
}

}  // namespace hearthd_init_test
