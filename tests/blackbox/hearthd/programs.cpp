#include "programs.h"

#include <atomic>

namespace hearthd_test {
namespace {

std::atomic<int> next_output{0};

std::vector<std::string> Argv(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> argv{ProgramPath(program)};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

std::filesystem::path OutputFile(const std::filesystem::path& scratch, const std::string& program, int number,
                                 const char* stream) {
  std::filesystem::create_directories(scratch);
  return scratch / (program + "." + std::to_string(number) + stream);
}

}  // namespace

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& scratch)
    : Process(program, args, scratch, ++next_output) {}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::filesystem::path& scratch, int number)
    : BackgroundProgram(Argv(program, args), OutputFile(scratch, program, number, ".out"),
                        OutputFile(scratch, program, number, ".err")) {}

Finished RunToEnd(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch) {
  Process process(program, args, scratch);
  return process.Wait(std::chrono::seconds(30));
}

}  // namespace hearthd_test
