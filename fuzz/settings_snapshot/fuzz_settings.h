// What the settings fuzz targets share: a private machine root, a system log
// kept small, and the check that a loaded collection writes and reloads.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/root/machine_root.h"
#include "systemlog/system_log.h"
#include "settings/collection/c_settings.h"

namespace settings_fuzz {

// A root of its own under the temporary folder, made once per process.
inline void UsePrivateRoot() {
  static const bool made = [] {
    const auto root = std::filesystem::temp_directory_path() / ("hearth-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    platform::SetMachineRoot(root);
    return true;
  }();
  (void)made;
}

// The log gets a line per bad input (with the input in it); start it afresh
// now and then so that a long run does not fill the disk.
inline void KeepLogSmall() {
  static int runs = 0;
  if (++runs % 500 == 0) std::filesystem::remove(service::SystemLogPath());
}

// A loaded collection can be written; what it writes loads back to the same
// snapshot (texts with a NUL byte excepted: XML text cannot hold one).
inline void CheckWritesAndReloads(settings::cSettings& loaded) {
  for (std::size_t i = 0; i < loaded.Count(); ++i) {
    const platform::Variant& value = loaded.ValueAt(i);
    if (value.IsString() && value.StringValue().find('\0') != std::string::npos) return;
    if (loaded.NameAt(i).find('\0') != std::string::npos) return;
  }
  std::string first;
  try {
    first = loaded.WriteSnapshotToString();
  } catch (...) {
    std::abort();  // a loaded collection must always be storable
  }
  settings::cSettings again;
  again.CreateSnapshotFromString(first);
  if (again.WriteSnapshotToString() != first) std::abort();
}

}  // namespace settings_fuzz
