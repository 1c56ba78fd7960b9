#include "service/lifecycle/service.h"

#include <string>

#include "systemlog/system_log.h"

namespace service {
namespace {

// The count beyond which a repeated request asks the host to stop the
// service outright (the ninth request, the first one included).
constexpr int32_t kMaxRepeatedRequests = 8;

}  // namespace

int32_t Service::OnStop(ServiceHost& host) {
  {
    std::unique_lock lock(guard_mutex_);
    // A stop during a running shutdown only counts too: the stop work must
    // never run twice at once.
    if (stopping_ || shutting_down_) {
      const bool give_up = CountRepeatedStop();
      lock.unlock();
      return FinishRepeated(host, give_up);
    }
    stopping_ = true;
    stop_count_ = 1;
  }
  WriteSystemLog("Service::OnStop invoked");
  StopWork();
  std::lock_guard lock(guard_mutex_);
  stopping_ = false;
  return 0;
}

int32_t Service::OnShutdown(ServiceHost& host, bool& busy) {
  {
    std::unique_lock lock(guard_mutex_);
    if (shutting_down_ || stopping_) {
      const bool give_up = CountRepeatedShutdown();
      lock.unlock();
      if (!give_up) busy = true;
      return FinishRepeated(host, give_up);
    }
    shutting_down_ = true;
    shutdown_count_ = 1;
  }
  WriteSystemLog("Service::OnShutdown invoked");
  StopWork();
  std::lock_guard lock(guard_mutex_);
  shutting_down_ = false;
  return 0;
}

void Service::OnUserControlCode(ServiceHost& host, int16_t code) {
  WriteSystemLog("Service::OnUserControlCode; code=" + std::to_string(code));
  if (code != kStopControlCode) return;
  if (OnStop(host) == 0) host.StopService();
}

bool Service::AnswerWhileStopping(ServiceHost& host, StopRequest request, int16_t code, int32_t* result,
                                  bool* busy) {
  std::unique_lock lock(guard_mutex_);
  if (!stopping_ && !shutting_down_) return false;
  int32_t answer = 0;
  bool give_up = false;
  switch (request) {
    case StopRequest::kShutdown:
      give_up = CountRepeatedShutdown();
      lock.unlock();
      if (!give_up && busy != nullptr) *busy = true;
      answer = FinishRepeated(host, give_up);
      break;
    case StopRequest::kUserControlCode:
      WriteSystemLog("Service::OnUserControlCode; code=" + std::to_string(code));
      if (code != kStopControlCode) break;
      [[fallthrough]];
    case StopRequest::kStop:
      give_up = CountRepeatedStop();
      lock.unlock();
      answer = FinishRepeated(host, give_up);
      if (request == StopRequest::kUserControlCode && answer == 0) host.StopService();
      break;
  }
  if (result != nullptr) *result = answer;
  return true;
}

bool Service::StopRunning() const {
  std::lock_guard lock(guard_mutex_);
  return stopping_ || shutting_down_;
}

bool Service::CountRepeatedStop() {
  ++stop_count_;
  WriteSystemLog("Service::OnStop invoked, but already shutting down; CmdCount=" + std::to_string(stop_count_));
  if (stop_count_ <= kMaxRepeatedRequests) return false;
  WriteSystemLog("Service::OnStop -- timeout expired; internal failure! Invoking StopService");
  return true;
}

bool Service::CountRepeatedShutdown() {
  ++shutdown_count_;
  WriteSystemLog("Service::OnShutdown invoked, but already shutting down; CmdCount=" +
                 std::to_string(shutdown_count_));
  if (shutdown_count_ <= kMaxRepeatedRequests) return false;
  WriteSystemLog("Service::OnShutdown -- timeout expired; internal failure! Invoking StopService!");
  return true;
}

int32_t Service::FinishRepeated(ServiceHost& host, bool give_up) {
  if (!give_up) return kStopStillRunning;
  host.StopService();
  return 0;
}

int32_t Service::OnPause(ServiceHost&) { return 0; }
int32_t Service::OnContinue(ServiceHost&) { return 0; }
int16_t Service::OnDeviceEvent(ServiceHost&, int32_t, int32_t) { return 0; }
int16_t Service::OnHardwareProfileChange(ServiceHost&, int32_t, int32_t) { return 0; }
int16_t Service::OnPowerRequest(ServiceHost&, int32_t, int32_t) { return 0; }
void Service::OnParamChange(ServiceHost&) {}
void Service::OnTimer(ServiceHost&) {}
void Service::WaitComplete(ServiceHost&, int32_t, int32_t, int32_t) {}

}  // namespace service
