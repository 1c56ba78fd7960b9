// The machine root: the one folder below which the system reads and writes
// everything it keeps on disk, and the machine configuration kept there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The root in force: the one set by SetMachineRoot, else the environment
// variable HEARTH_ROOT, else /var/lib/hearth.
std::filesystem::path MachineRoot();

// Programs call this with their --root option; tests with a temporary folder.
void SetMachineRoot(const std::filesystem::path& root);

// A value of the machine configuration, the file <root>/machine.conf: lines
// "name = value", '#' starting a comment, names compared without regard to
// case. `fallback` when the file or the name is missing.
std::string MachineConfigValue(std::string_view name, std::string_view fallback = {});

// The same read as a whole number; `fallback` when missing or not a number.
long MachineConfigNumber(std::string_view name, long fallback = 0);

}  // namespace platform
