#include "testing/background_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "testing/temp_root.h"

namespace testing_support {

std::string BuiltProgramPath(const std::string& program) {
  if (!program.empty() && program[0] == '/') return program;
  const char* bin_dir = std::getenv("HEARTH_BIN_DIR");
  return std::string(bin_dir == nullptr ? "." : bin_dir) + "/" + program;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv, const std::filesystem::path& out_file,
                                     const std::filesystem::path& err_file,
                                     const std::optional<std::vector<std::string>>& env, uid_t uid)
    : out_(out_file), err_(err_file) {
  std::vector<std::string> args;
  if (uid != 0) {
    args = {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(uid),
            "--clear-groups"};
  }
  args.insert(args.end(), argv.begin(), argv.end());
  if (args.empty()) throw std::invalid_argument("no program to run");
  std::vector<char*> arg_ptrs;
  for (std::string& a : args) arg_ptrs.push_back(a.data());
  arg_ptrs.push_back(nullptr);
  std::vector<std::string> env_copy = env.value_or(std::vector<std::string>{});
  std::vector<char*> env_ptrs;
  for (std::string& e : env_copy) env_ptrs.push_back(e.data());
  env_ptrs.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    // The test may block signals in its own threads; the program starts clean.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (env) {
      ::execvpe(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
    } else {
      ::execvp(arg_ptrs[0], arg_ptrs.data());
    }
    ::_exit(127);
  }
}

BackgroundProgram::~BackgroundProgram() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
}

void BackgroundProgram::Signal(int signal_number) const {
  if (!reaped_) ::kill(pid_, signal_number);
}

bool BackgroundProgram::Running() {
  if (reaped_) return false;
  if (::waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

ProgramEnd BackgroundProgram::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ProgramEnd end;
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
    reaped_ = true;
  } else if (WIFEXITED(status_)) {
    end.exit_code = WEXITSTATUS(status_);
  } else if (WIFSIGNALED(status_)) {
    end.exit_code = 128 + WTERMSIG(status_);
  }
  end.out = ReadFileBytes(out_);
  end.err = ReadFileBytes(err_);
  return end;
}

}  // namespace testing_support
