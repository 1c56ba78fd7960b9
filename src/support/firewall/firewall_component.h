// The firewall component: the firewall's log files are the regular files in
// its log folder, <root>/firewall/log, or the folder the machine
// configuration's "FirewallLogFolder" names (a relative path is taken below
// the machine root).
#pragma once

#include <string>
#include <vector>

#include "contracts/firewall_component.h"

namespace support {

class FirewallComponent : public contracts::FirewallComponent {
 public:
  std::string LogFolder() override;
  // The regular files of the log folder, sorted by name; empty when the
  // folder is missing or unreadable.
  std::vector<std::string> LogFiles() override;
};

}  // namespace support
