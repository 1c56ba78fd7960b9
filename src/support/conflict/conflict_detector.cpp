#include "support/conflict/conflict_detector.h"

#include <string>

#include "platform/root/machine_root.h"

namespace support {
namespace {

// Stands for "no such line" in the machine configuration, which an empty
// value cannot.
constexpr char kMissing[] = "\x01";

std::string JoinNames(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + "; " + second;
}

}  // namespace

contracts::ConflictingProducts ConflictDetector::GetConflictingProducts() {
  contracts::ConflictingProducts found;
  found.anti_virus = platform::MachineConfigValue(kConflictAntiVirusName);
  found.firewall = platform::MachineConfigValue(kConflictFirewallName);
  std::string products = platform::MachineConfigValue(kConflictProductsName, kMissing);
  found.products = products == kMissing ? JoinNames(found.anti_virus, found.firewall) : products;
  return found;
}

}  // namespace support
