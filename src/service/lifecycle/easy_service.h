// The callbacks the service host toolkit makes on the service (IdwEasyService).
// The host object is always the first argument; every callback arrives on the
// toolkit's service thread.
#pragma once

#include <cstdint>

#include "contracts/service_host.h"

namespace service {

using contracts::ServiceHost;

// What OnStop and OnShutdown answer while an earlier stop is still running.
inline constexpr int32_t kStopStillRunning = 10000;
// The user control code that stops the service.
inline constexpr int16_t kStopControlCode = 142;

class IdwEasyService {
 public:
  virtual ~IdwEasyService() = default;

  virtual int32_t OnStart(ServiceHost& host) = 0;
  virtual int32_t OnStop(ServiceHost& host) = 0;
  // `busy` is set to true while an earlier stop or shutdown is still running.
  virtual int32_t OnShutdown(ServiceHost& host, bool& busy) = 0;
  virtual void OnUserControlCode(ServiceHost& host, int16_t code) = 0;

  virtual int32_t OnPause(ServiceHost& host) = 0;
  virtual int32_t OnContinue(ServiceHost& host) = 0;
  virtual int16_t OnDeviceEvent(ServiceHost& host, int32_t event_type, int32_t event_data) = 0;
  virtual int16_t OnHardwareProfileChange(ServiceHost& host, int32_t event_type, int32_t event_data) = 0;
  virtual int16_t OnPowerRequest(ServiceHost& host, int32_t event_type, int32_t event_data) = 0;
  virtual void OnParamChange(ServiceHost& host) = 0;
  virtual void OnTimer(ServiceHost& host) = 0;
  virtual void WaitComplete(ServiceHost& host, int32_t wait_result, int32_t value1, int32_t value2) = 0;
};

}  // namespace service
