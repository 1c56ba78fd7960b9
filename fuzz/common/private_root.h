// What the fuzz targets share: a machine root of their own, so that a run
// never reads or writes the real one.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/root/machine_root.h"

namespace fuzz_support {

// <tmp>/hearth-fuzz-<name>-<pid>, made and set as the machine root once per
// process; returned for targets that lay files below it.
inline const std::filesystem::path& UsePrivateRoot(const std::string& name) {
  static const std::filesystem::path root = [&] {
    const auto path =
        std::filesystem::temp_directory_path() / ("hearth-fuzz-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    platform::SetMachineRoot(path);
    return path;
  }();
  return root;
}

}  // namespace fuzz_support
