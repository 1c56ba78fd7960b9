// A built program run as its own process, for the tests that drive the
// programs from outside: standard input on /dev/null, standard output and
// error in files, a clean signal mask, killed when the object goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct ProgramEnd {
  int exit_code = -1;  // 128 + signal when killed; -1 when it did not end in time
  std::string out;
  std::string err;
};

// ${HEARTH_BIN_DIR}/<program>; a program given by its full path as it is.
std::string BuiltProgramPath(const std::string& program);

class BackgroundProgram {
 public:
  // argv[0] is run as given (a bare name is looked up on PATH). `env`
  // replaces the environment when given; `uid` other than 0 runs the
  // program as that user and group, with no other groups.
  BackgroundProgram(const std::vector<std::string>& argv, const std::filesystem::path& out_file,
                    const std::filesystem::path& err_file,
                    const std::optional<std::vector<std::string>>& env = std::nullopt, uid_t uid = 0);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  void Signal(int signal_number) const;
  bool Running();
  // Waits for the end; exit_code -1 (and the process killed) after `limit`.
  ProgramEnd Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::filesystem::path out_;
  std::filesystem::path err_;
};

}  // namespace testing_support
