// Service: the system's side of the service host toolkit. OnStart runs the
// fixed start order, OnStop and OnShutdown the stop order (StopWork), and a
// stop or shutdown request that arrives while a stop is running is only
// counted: it is answered 10000 at once, and the ninth asks the host to stop
// the service outright.
//
// The guard that counts is safe to reach from any thread, so that a host
// whose service thread is busy inside StopWork can still answer repeated
// requests at once (AnswerWhileStopping). Everything else runs on the
// service thread.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/com/object_fwd.h"
#include "service/lifecycle/easy_service.h"

namespace service {

// The requests a host may have to answer while the service thread is busy.
enum class StopRequest { kStop, kShutdown, kUserControlCode };

class Service : public IdwEasyService {
 public:
  Service() = default;
  ~Service() override = default;
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  int32_t OnStart(ServiceHost& host) override;
  // 0 when the stop work has finished; 10000 while an earlier stop is still
  // running (the ninth such request calls host.StopService and answers 0).
  int32_t OnStop(ServiceHost& host) override;
  int32_t OnShutdown(ServiceHost& host, bool& busy) override;
  // Logs the code; 142 stops the service and then calls host.StopService.
  void OnUserControlCode(ServiceHost& host, int16_t code) override;

  // No action.
  int32_t OnPause(ServiceHost& host) override;
  int32_t OnContinue(ServiceHost& host) override;
  int16_t OnDeviceEvent(ServiceHost& host, int32_t event_type, int32_t event_data) override;
  int16_t OnHardwareProfileChange(ServiceHost& host, int32_t event_type, int32_t event_data) override;
  int16_t OnPowerRequest(ServiceHost& host, int32_t event_type, int32_t event_data) override;
  void OnParamChange(ServiceHost& host) override;
  void OnTimer(ServiceHost& host) override;
  void WaitComplete(ServiceHost& host, int32_t wait_result, int32_t value1, int32_t value2) override;

  // Any thread. While a stop or shutdown is running, answers `request` as its
  // callback would (it only counts and logs) and returns true, with the
  // callback's result in *result (and *busy for a shutdown); otherwise does
  // nothing and returns false, and the request belongs on the service
  // thread. `code` is the control code of kUserControlCode.
  bool AnswerWhileStopping(ServiceHost& host, StopRequest request, int16_t code, int32_t* result, bool* busy);

  // Any thread: a stop or shutdown is running.
  bool StopRunning() const;

  // The Application object created at start (empty before and after).
  const platform::com::ObjectPtr& application() const { return application_; }

 protected:
  // The private stop procedure: uninstall check, alert database, plug-ins,
  // application, ShutdownAll. Virtual so a test can hold a stop open.
  virtual void StopWork();

 private:
  // The repeated-request branches: count and log under guard_mutex_ (held
  // by the caller); true when the count passed the limit and the host must
  // be asked to stop the service.
  bool CountRepeatedStop();
  bool CountRepeatedShutdown();
  // Acts on that decision with no lock held: 10000, or StopService and 0.
  int32_t FinishRepeated(ServiceHost& host, bool give_up);

  platform::com::ObjectPtr application_;

  mutable std::mutex guard_mutex_;
  bool stopping_ = false;
  int32_t stop_count_ = 0;
  bool shutting_down_ = false;
  int32_t shutdown_count_ = 0;
};

}  // namespace service
