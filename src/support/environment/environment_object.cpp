#include "support/environment/environment_object.h"

#include <atomic>

#include "platform/basic/string_functions.h"
#include "platform/root/machine_root.h"
#include "support/environment/guid_text.h"

namespace support {
namespace {

// -1: no override; 0 or 1: the flag the host set.
std::atomic<int> environment_flag_override{-1};

}  // namespace

bool MachineConfigFlag(const char* name) {
  const std::string value = platform::LCase(platform::MachineConfigValue(name));
  return value == "1" || value == "true" || value == "yes" || value == "on";
}

void SetEnvironmentFlagOverride(std::optional<bool> value) {
  environment_flag_override.store(value.has_value() ? (*value ? 1 : 0) : -1);
}

bool EnvironmentObject::EnvironmentFlag() {
  int forced = environment_flag_override.load();
  if (forced >= 0) return forced == 1;
  return MachineConfigFlag("EnvironmentFlag");
}

bool EnvironmentObject::ShortNameFlag() { return MachineConfigFlag("ShortNameFlag"); }

std::string EnvironmentObject::Stamp() { return NewGuidText(); }

}  // namespace support
