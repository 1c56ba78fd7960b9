// The configuration callbacks the service host toolkit makes
// (IdwEasyServConfig): how the service is installed and which control
// requests it accepts.
#pragma once

#include <cstdint>
#include <string>

namespace service {

// ControlsAccepted bits.
inline constexpr int32_t kAcceptStop = 1;
inline constexpr int32_t kAcceptPauseContinue = 2;
inline constexpr int32_t kAcceptShutdown = 4;

class IdwEasyServConfig {
 public:
  virtual ~IdwEasyServConfig() = default;

  virtual bool AutoStart() = 0;
  virtual int32_t ControlsAccepted() = 0;
  // The toolkit passes its wait limits in milliseconds; the service may
  // change them.
  virtual void DefaultTimes(int32_t& start_wait, int32_t& stop_wait, int32_t& pause_wait,
                            int32_t& continue_wait) = 0;
  virtual std::string GetDescription() = 0;
  virtual void GetVersion(int32_t& major, int32_t& minor) = 0;
  virtual bool IgnoreStartupErrors() = 0;
  virtual bool InteractWithDesktop() = 0;
  virtual std::string ServiceAccount() = 0;
  virtual std::string ServiceAccountPassword() = 0;
  virtual std::string ServiceDependencies() = 0;
  virtual int32_t ServiceProcessId() = 0;
};

}  // namespace service
