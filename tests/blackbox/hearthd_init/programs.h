// Runs the built programs for the start-up and shutdown tests.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testing/background_program.h"

namespace hearthd_init_test {

struct ProgramRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs ${HEARTH_BIN_DIR}/<program> with `args` to its end (killed after 30
// seconds).
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args);

// A hearthd on a root: started by the constructor, which waits until the
// start sequence completed; Stop() sends SIGTERM and waits for the exit.
class Hearthd {
 public:
  explicit Hearthd(const std::filesystem::path& root);
  ~Hearthd();
  Hearthd(const Hearthd&) = delete;
  Hearthd& operator=(const Hearthd&) = delete;

  bool started() const { return started_; }
  // The exit code after SIGTERM; -1 when it did not end in time.
  int Stop();

 private:
  std::unique_ptr<testing_support::BackgroundProgram> process_;
  bool started_ = false;
  int exit_code_ = -1;
};

// The messages of the root's system log, without the time and tick.
std::vector<std::string> LogMessages(const std::filesystem::path& root);
bool HasMessage(const std::vector<std::string>& messages, const std::string& message);
bool HasMessageEnding(const std::vector<std::string>& messages, const std::string& suffix);

}  // namespace hearthd_init_test
