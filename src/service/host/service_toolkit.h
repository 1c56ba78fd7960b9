// The stand-in for the service host toolkit: it runs a Service on a service
// thread of its own (OnStart, then that thread's apartment loop) and delivers
// control requests to it from any thread.
//
// A request normally runs on the service thread, one at a time. While a stop
// or shutdown is running there, the service thread may be busy inside
// StopWork for a long time; a request that arrives then is answered at once
// on the thread that brought it, through the service's stop guard, which only
// counts it (10000, and StopService at the ninth). So the counting works even
// when the stop hangs, which is what it is there for.
//
//   service::ServiceToolkit toolkit(std::make_shared<service::Service>());
//   toolkit.Start();
//   ...  toolkit.Deliver({control::RequestKind::kStop, 0});   // any thread
//   toolkit.WaitForEnd(std::chrono::seconds(3));
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "contracts/service_host.h"
#include "platform/apartment/apartment.h"
#include "platform/com/object_fwd.h"
#include "service/host/control_protocol.h"
#include "service/lifecycle/service.h"

namespace service {

// What the toolkit tells the system manager that runs it (systemd's
// READY=1, STOPPING=1 and STATUS= lines); the default tells nobody.
class ManagerReports {
 public:
  virtual ~ManagerReports() = default;
  // The start sequence has returned ("Service.OnStart: complete" is logged).
  virtual void Ready() {}
  // A stop or shutdown begins.
  virtual void Stopping() {}
  // A line for the administrator: how the stop goes.
  virtual void Status(const std::string& text) { (void)text; }
};

class ServiceToolkit : public contracts::ServiceHost {
 public:
  explicit ServiceToolkit(std::shared_ptr<Service> service);
  // Joins the service thread when it has ended; a thread that is still
  // working is detached (the process is about to exit without it).
  ~ServiceToolkit() override;
  ServiceToolkit(const ServiceToolkit&) = delete;
  ServiceToolkit& operator=(const ServiceToolkit&) = delete;

  // Starts the service thread and returns once it runs: OnStart, then the
  // apartment loop until a stop completes or StopService is asked.
  void Start();

  // Where Ready, Stopping and Status go; call before Start.
  void SetReports(std::shared_ptr<ManagerReports> reports);
  // Ready is then the host's to report (ReportReady), when clients can
  // reach the service, rather than the toolkit's once OnStart returned;
  // call before Start.
  void LeaveReadyToHost() { host_reports_ready_ = true; }
  // Any thread, after OnStart has returned.
  void ReportReady() { reports_->Ready(); }

  // Any thread: delivers the request and waits for its answer, at most
  // `limit`. nullopt when the service ended (or its stop finished) before it
  // could take the request, or no answer came within the limit.
  std::optional<control::Answer> Deliver(const control::Request& request,
                                         std::chrono::milliseconds limit = std::chrono::milliseconds::max());

  // Waits until the service thread has ended (true), or StopService was
  // asked and the thread did not end within `grace` after that, or a stop
  // began and neither ended the thread nor asked for StopService within
  // `stop_limit` (false: the stop hangs, say on a plug-in that does not
  // return, and the process should exit without it).
  bool WaitForEnd(std::chrono::milliseconds grace,
                  std::chrono::milliseconds stop_limit = std::chrono::milliseconds::max());
  // Waits at most `limit` for the service thread to end; true when it has.
  bool WaitForEndFor(std::chrono::milliseconds limit);

  bool Ended() const { return ended_.load(); }
  bool StopServiceRequested() const { return stop_service_requested_.load(); }
  // Requests posted to the service thread and not yet taken by it.
  size_t QueuedRequests() const;
  // Tests: runs on the service thread right after a stop or shutdown
  // callback returned 0, before the toolkit takes the end of the stop in.
  void SetStopReturnedHook(std::function<void()> hook) { stop_returned_hook_ = std::move(hook); }
  // Called on the service thread with true as a stop begins, before the
  // service hears of it, and with false when that stop did not end the
  // service. Set before Start. The bus uses it to refuse calls from then on.
  void SetStopBeginsHook(std::function<void(bool stopping)> hook) { stop_begins_hook_ = std::move(hook); }
  // What the service registered for its clients (the Application object).
  platform::com::ObjectPtr RegisteredObject() const;
  // The service thread's apartment (set once Start has returned).
  platform::ApartmentPtr ServiceApartment() const { return apartment_; }

  // contracts::ServiceHost
  void RegisterObject(platform::com::ObjectPtr object) override;
  void StopService() override;

 private:
  struct Pending;
  void ServiceThreadMain();
  void RunOnServiceThread(const std::shared_ptr<Pending>& pending);

  std::shared_ptr<Service> service_;
  std::thread thread_;
  platform::ApartmentPtr apartment_;  // the service thread's, set by it before Start returns

  std::atomic<bool> ended_{false};
  std::atomic<bool> stop_service_requested_{false};
  // A stop has finished or StopService was asked: a request still queued on
  // the service thread is dropped, never run as a second stop.
  std::atomic<bool> finished_{false};
  std::shared_ptr<ManagerReports> reports_ = std::make_shared<ManagerReports>();
  bool host_reports_ready_ = false;
  std::function<void()> stop_returned_hook_;
  std::function<void(bool stopping)> stop_begins_hook_;
  std::atomic<int> repeated_requests_{0};
  // When the stop that runs now began (under end_mutex_); nullopt while
  // none runs.
  std::optional<std::chrono::steady_clock::time_point> stop_began_;

  // Lock order: deliver_mutex_, then the service's guard, then end_mutex_.
  std::mutex deliver_mutex_;
  std::condition_variable delivered_;
  std::mutex end_mutex_;
  std::condition_variable end_changed_;

  mutable std::mutex registered_mutex_;
  platform::com::ObjectPtr registered_;
};

}  // namespace service
