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

std::string OutputFile(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("hearthd_init_") + std::to_string(getpid()) + name))
      .string();
}

std::vector<std::string> Argv(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> argv{testing_support::BuiltProgramPath(program)};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  const std::string out_file = OutputFile(".out");
  const std::string err_file = OutputFile(".err");
  testing_support::ProgramEnd end = testing_support::BackgroundProgram(Argv(program, args), out_file, err_file).Wait(kPatience);
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return {end.exit_code, std::move(end.out), std::move(end.err)};
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
  process_ = std::make_unique<testing_support::BackgroundProgram>(Argv("hearthd", {"--root", root.string()}),
                                                                  "/dev/null", "/dev/null");
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    started_ = CompletedStarts(root) > earlier;
    if (started_) break;
    if (!process_->Running()) break;  // ended before it started
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

Hearthd::~Hearthd() { Stop(); }

int Hearthd::Stop() {
  if (!process_) return exit_code_;
  process_->Signal(SIGTERM);
  exit_code_ = process_->Wait(kPatience).exit_code;
  process_.reset();
  return exit_code_;
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
