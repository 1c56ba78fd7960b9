// The firewall component, as far as the service needs it: where the
// firewall keeps its log files.
#pragma once

#include <string>
#include <vector>

namespace contracts {

class FirewallComponent {
 public:
  virtual ~FirewallComponent() = default;

  // The folder the firewall writes its logs to.
  virtual std::string LogFolder() = 0;
  // Full paths of the firewall's current log files; empty when there are
  // none.
  virtual std::vector<std::string> LogFiles() = 0;
};

}  // namespace contracts
