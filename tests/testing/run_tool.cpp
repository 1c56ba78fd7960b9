#include "testing/run_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace hearthctl_test {

ToolRun RunTool(const std::string& program, const std::vector<std::string>& args) {
  const char* bin_dir = std::getenv("HEARTH_BIN_DIR");
  std::string path = std::string(bin_dir == nullptr ? "." : bin_dir) + "/" + program;
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  std::vector<char*> argv;
  argv.push_back(path.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  ToolRun run;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_count = 2;
  char buffer[4096];
  while (open_count > 0) {
    if (poll(fds, 2, 30000) <= 0) break;  // a hung tool fails the test instead of hanging it
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      } else {
        (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(got));
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  if (open_count > 0) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace hearthctl_test
