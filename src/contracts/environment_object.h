// The environment object of the core support library: two flags that tell
// how the system runs, and a fresh stamp text on every request.
#pragma once

#include <string>

namespace contracts {

class EnvironmentObject {
 public:
  virtual ~EnvironmentObject() = default;

  // True when the system runs under its service host (a new log at start,
  // registry permissions, the service display name, temp-folder rights).
  virtual bool EnvironmentFlag() = 0;

  // The environment's second flag: temporary file names are replaced by
  // their short forms, and the uninstall entry puts the publisher link in
  // "HelpLink" (see the installation chores).
  virtual bool ShortNameFlag() = 0;

  // A new unique text on every call (stored in new store files; any text
  // serves, nothing reads it back).
  virtual std::string Stamp() = 0;
};

}  // namespace contracts
