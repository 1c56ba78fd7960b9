#include "programs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "testing/temp_root.h"

namespace hearthd_test {
namespace {

std::atomic<int> next_output{0};

}  // namespace

std::string ProgramPath(const std::string& program) {
  if (!program.empty() && program[0] == '/') return program;
  const char* bin_dir = std::getenv("HEARTH_BIN_DIR");
  return std::string(bin_dir == nullptr ? "." : bin_dir) + "/" + program;
}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& scratch) {
  std::filesystem::create_directories(scratch);
  const int number = ++next_output;
  out_path_ = scratch / (program + "." + std::to_string(number) + ".out");
  err_path_ = scratch / (program + "." + std::to_string(number) + ".err");
  std::string path = ProgramPath(program);
  std::vector<std::string> copies(args);
  std::vector<char*> argv{path.data()};
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    // The test may block signals in its own threads; the program starts clean.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
}

Process::~Process() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
}

void Process::Signal(int signal_number) const { ::kill(pid_, signal_number); }

bool Process::Running() {
  if (reaped_) return false;
  if (::waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

Finished Process::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Finished finished;
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
    reaped_ = true;
  } else {
    finished.exit_code = WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }
  finished.out = testing_support::ReadFileBytes(out_path_);
  finished.err = testing_support::ReadFileBytes(err_path_);
  return finished;
}

Finished RunToEnd(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch) {
  Process process(program, args, scratch);
  return process.Wait();
}

}  // namespace hearthd_test
