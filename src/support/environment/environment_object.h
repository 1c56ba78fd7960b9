// The environment object: its flags come from the machine configuration
// ("EnvironmentFlag", "ShortNameFlag"; false when missing), the stamp is a
// new GUID text.
#pragma once

#include <optional>
#include <string>

#include "contracts/environment_object.h"

namespace support {

class EnvironmentObject : public contracts::EnvironmentObject {
 public:
  bool EnvironmentFlag() override;
  bool ShortNameFlag() override;
  std::string Stamp() override;
};

// The service host sets the environment flag for its whole process, whatever
// the machine configuration says; std::nullopt goes back to the
// configuration.
void SetEnvironmentFlagOverride(std::optional<bool> value);

// A machine configuration value read as a flag: "1", "true", "yes", "on"
// (any letter case) are true; anything else, or a missing value, is false.
bool MachineConfigFlag(const char* name);

}  // namespace support
