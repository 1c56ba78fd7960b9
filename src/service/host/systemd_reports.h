// The toolkit's reports to systemd: READY=1 once the start sequence has
// returned, STOPPING=1 when a stop begins, STATUS= lines while it runs.
// Nothing is sent when no system manager started hearthd.
#pragma once

#include <string>

#include "service/host/service_toolkit.h"

namespace service {

class SystemdReports : public ManagerReports {
 public:
  void Ready() override;
  void Stopping() override;
  void Status(const std::string& text) override;
};

}  // namespace service
