// The built programs run as processes: hearthd in the background, hearthctl
// to completion.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "testing/background_program.h"

namespace hearthd_test {

using Finished = testing_support::ProgramEnd;

inline std::string ProgramPath(const std::string& program) { return testing_support::BuiltProgramPath(program); }

// A built program in the background, its output kept in numbered files in
// `scratch`. Killed when the object goes, if still running.
class Process : public testing_support::BackgroundProgram {
 public:
  Process(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch);

 private:
  Process(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch,
          int number);
};

// Runs the program to its end (at most 30 seconds).
Finished RunToEnd(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& scratch);

}  // namespace hearthd_test
