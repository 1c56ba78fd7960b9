// ServiceConfiguration: the service's answers to the toolkit's configuration
// callbacks. All are constants except the accepted controls (stop is
// accepted only while "TraceLevel" under the product key is exactly "4"),
// the version (the running kernel's) and the process id.
#pragma once

#include "service/configuration/easy_serv_config.h"

namespace service {

inline constexpr char kServiceDescription[] = "Security System Service";

class ServiceConfiguration : public IdwEasyServConfig {
 public:
  bool AutoStart() override;
  // 4 (shutdown only); 5 (shutdown and stop) when "TraceLevel" is exactly
  // the text "4".
  int32_t ControlsAccepted() override;
  // Leaves the toolkit's values as they are.
  void DefaultTimes(int32_t& start_wait, int32_t& stop_wait, int32_t& pause_wait, int32_t& continue_wait) override;
  std::string GetDescription() override;
  void GetVersion(int32_t& major, int32_t& minor) override;
  bool IgnoreStartupErrors() override;
  bool InteractWithDesktop() override;
  std::string ServiceAccount() override;
  std::string ServiceAccountPassword() override;
  std::string ServiceDependencies() override;
  int32_t ServiceProcessId() override;
};

}  // namespace service
