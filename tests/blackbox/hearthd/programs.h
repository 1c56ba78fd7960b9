// The built programs run as processes: hearthd in the background, hearthctl
// to completion.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace hearthd_test {

// ${HEARTH_BIN_DIR}/<program>; a program given by its full path as it is.
std::string ProgramPath(const std::string& program);

struct Finished {
  int exit_code = -1;  // 128 + signal when killed; -1 when it did not end in time
  std::string out;
  std::string err;
};

// A program running in the background, its output kept in files beside
// `scratch`. Killed when the object goes, if still running.
class Process {
 public:
  Process(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Signal(int signal_number) const;
  // Waits for the end; exit_code -1 (and the process killed) after `limit`.
  Finished Wait(std::chrono::milliseconds limit = std::chrono::seconds(30));
  bool Running();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::filesystem::path out_path_;
  std::filesystem::path err_path_;
};

// Runs the program to its end (at most 30 seconds).
Finished RunToEnd(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch);

}  // namespace hearthd_test
