#include "platform/win32/detached_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

extern char** environ;

namespace platform::win32 {
namespace {

// Between fork and exec only async-signal-safe calls are allowed (other
// threads may hold locks the child would never see released).

void WriteErrno(int fd) {
  int error = errno;
  ssize_t ignored = ::write(fd, &error, sizeof error);
  (void)ignored;
}

// Closes every descriptor from 3 up except `keep`.
void CloseInheritedDescriptors(int keep) {
  bool below_closed = keep == 3 || ::close_range(3, static_cast<unsigned>(keep) - 1, 0) == 0;
  if (below_closed && ::close_range(static_cast<unsigned>(keep) + 1, UINT_MAX, 0) == 0) return;
  for (int fd = 3; fd < 65536; ++fd) {
    if (fd != keep) ::close(fd);
  }
}

[[noreturn]] void RunProgram(const char* path, char* const argv[], int report_fd) {
  if (report_fd < 3) {
    // Standard streams were closed in this process: keep the report pipe out
    // of the way of the three descriptors about to be set.
    int moved = ::fcntl(report_fd, F_DUPFD_CLOEXEC, 3);
    if (moved >= 0) report_fd = moved;
  }
  int null_fd = ::open("/dev/null", O_RDWR);
  if (null_fd < 0) {
    WriteErrno(report_fd);
    ::_exit(127);
  }
  ::dup2(null_fd, 0);
  ::dup2(null_fd, 1);
  ::dup2(null_fd, 2);
  if (null_fd > 2) ::close(null_fd);
  CloseInheritedDescriptors(report_fd);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) ::sigaction(signal_number, &default_action, nullptr);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(path, argv, environ);
  WriteErrno(report_fd);  // the report pipe closes on a successful exec
  ::_exit(127);
}

bool Fails(int* error_number, int error) {
  if (error_number != nullptr) *error_number = error;
  return false;
}

}  // namespace

std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return program;
  const char* path_variable = std::getenv("PATH");
  std::string search = path_variable != nullptr ? path_variable : "/usr/local/bin:/usr/bin:/bin";
  size_t at = 0;
  while (at <= search.size()) {
    size_t end = search.find(':', at);
    if (end == std::string::npos) end = search.size();
    std::string folder = search.substr(at, end - at);
    if (folder.empty()) folder = ".";
    std::string candidate = folder + "/" + program;
    struct stat status {};
    if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    at = end + 1;
  }
  return {};
}

bool StartDetached(const std::string& program, const std::vector<std::string>& argv, int* error_number) {
  if (program.empty() || argv.empty()) return Fails(error_number, EINVAL);
  for (const std::string& arg : argv) {
    if (arg.find('\0') != std::string::npos) return Fails(error_number, EINVAL);
  }
  const std::string path = FindProgram(program);
  if (path.empty()) return Fails(error_number, ENOENT);
  // Everything the child needs is made before the fork.
  std::vector<std::string> copies(argv);
  std::vector<char*> pointers;
  for (std::string& arg : copies) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return Fails(error_number, errno);
  pid_t middle = ::fork();
  if (middle < 0) {
    int error = errno;
    ::close(report[0]);
    ::close(report[1]);
    return Fails(error_number, error);
  }
  if (middle == 0) {
    // The middle process starts the program in a session of its own and
    // leaves at once, so the program is nobody's child here.
    ::close(report[0]);
    ::setsid();
    pid_t child = ::fork();
    if (child < 0) {
      WriteErrno(report[1]);
      ::_exit(1);
    }
    if (child == 0) RunProgram(path.c_str(), pointers.data(), report[1]);
    ::_exit(0);
  }
  ::close(report[1]);
  int error = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  if (got != 0) return Fails(error_number, got == static_cast<ssize_t>(sizeof error) ? error : EIO);
  return true;
}

}  // namespace platform::win32
