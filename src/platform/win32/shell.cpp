#include "platform/win32/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

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

[[noreturn]] void RunShell(char* const argv[], int report_fd) {
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
  ::execve("/bin/sh", argv, environ);
  WriteErrno(report_fd);  // the report pipe closes on a successful exec
  ::_exit(127);
}

}  // namespace

bool ShellRunHidden(const std::string& command_line) {
  if (command_line.empty() || command_line.find('\0') != std::string::npos) return false;
  std::string shell_name = "sh", option = "-c", command = command_line;
  char* argv[] = {shell_name.data(), option.data(), command.data(), nullptr};

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t middle = ::fork();
  if (middle < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (middle == 0) {
    // The middle process starts the shell in a session of its own and leaves
    // at once, so the shell is nobody's child here and needs no reaping.
    ::close(report[0]);
    ::setsid();
    pid_t shell = ::fork();
    if (shell < 0) {
      WriteErrno(report[1]);
      ::_exit(1);
    }
    if (shell == 0) RunShell(argv, report[1]);
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
  return got == 0;
}

}  // namespace platform::win32
