// The bus thread's side of BusService: the connection, the exported objects,
// the method dispatch and the signals. Everything here runs on the bus
// thread except Post (any thread) and the event handlers that call it.
#pragma once

#include <systemd/sd-bus.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "bus/bus_service.h"
#include "bus/call_context.h"
#include "bus/failure_throttle.h"
#include "bus/member_table.h"
#include "bus/store_work.h"
#include "platform/apartment/apartment.h"
#include "platform/basic/variant.h"
#include "platform/com/event_source.h"
#include "platform/com/object.h"

namespace bus {

// Hands tasks to the bus thread from any thread and wakes its loop.
class BusWaker {
 public:
  BusWaker();
  ~BusWaker();
  BusWaker(const BusWaker&) = delete;
  BusWaker& operator=(const BusWaker&) = delete;

  void SetApartment(platform::ApartmentPtr apartment) { apartment_ = std::move(apartment); }
  // False when the bus thread has ended (the task is dropped).
  bool Post(platform::Apartment::Task task);
  void Wake();
  // Bus thread: empties the wake-up counter.
  void Drain();
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  platform::ApartmentPtr apartment_;
};

class BusServer;

// One object on the bus: its path, its interface and where its calls go.
struct ExportedObject : CallContext {
  BusServer* server = nullptr;
  std::string path;
  const BusInterface* table = nullptr;
  std::function<platform::com::ObjectPtr()> target;
  std::vector<sd_bus_vtable> vtable;
  std::vector<std::string> texts;  // the vtable's strings, kept alive
  sd_bus_slot* slot = nullptr;

  platform::com::ObjectPtr Target() override { return target(); }
  platform::com::ObjectPtr SignalListener() override;
  platform::com::ObjectPtr ReplyListener(sd_bus_message* call, bool want_address) override;
  StoreWork& StoreOperations() override;
  BusPost BusPoster() override;
};

class BusServer {
 public:
  BusServer(platform::ApartmentPtr home, std::function<platform::com::ObjectPtr()> application, BusOptions options);
  ~BusServer();

  // Returns once the first try to reach the bus is over (its log line
  // written), or after `limit` when the service is slow to start.
  void Start(std::chrono::milliseconds limit);
  void Stop();

  // Bus thread: sends a signal of an exported object (dropped while not
  // connected).
  void EmitSignal(const std::string& path, const BusInterface& table, const Signal& signal,
                  const std::vector<platform::Variant>& args);
  // Bus thread: answers a call kept by ReplyListener, with its text or
  // (FailPending) an error; DropPending forgets it unanswered.
  void FinishPending(uint64_t id, const std::string& text);
  void FailPending(uint64_t id, const std::string& why);
  void DropPending(uint64_t id);
  uint64_t KeepPending(sd_bus_message* call);

  const std::shared_ptr<BusWaker>& waker() const { return waker_; }
  // Bus thread: the connection, nullptr while there is none.
  sd_bus* connection() const { return bus_; }
  StoreWork& store_work() { return store_work_; }
  // Runs the method call `message` of `object`.
  int Dispatch(ExportedObject& object, sd_bus_message* message);

 private:
  void ThreadMain();
  bool Connect(std::string* error);
  void Disconnect();
  // Service thread work: finds the objects and connects to their events.
  bool AttachToService();
  void DetachFromService();
  bool Export(std::string* error);
  // Serves until the connection ends or Stop; false when the bus went away.
  bool Serve();
  void WaitForRetry();

  // The caller's uid, asked of the bus daemon once per unique name;
  // uid_t(-1) when it left before it could be asked about.
  uid_t CallerUid(sd_bus_message* message);
  // The caller's uid when it may call at `need`'s level; otherwise logs the
  // refusal and raises CallError (AccessDenied).
  uid_t CheckCaller(sd_bus_message* message, const ExportedObject& object, const Member& member,
                    const AccessNeed& need);
  // Keeps `call` to be dispatched again at `at`.
  void Defer(ExportedObject& object, sd_bus_message* call, std::chrono::steady_clock::time_point at);
  std::optional<std::chrono::steady_clock::time_point> NextDeferred() const;
  void RunDueDeferred();
  void DropDeferred();
  // Runs a member's call through the service thread, or refuses it once the
  // service has begun to stop.
  void RunOnService(const std::function<void()>& call);
  std::string PathOf(const platform::com::ObjectPtr& object);
  platform::com::ObjectPtr ObjectAt(const std::string& path);
  // Runs `value`'s release on the service thread.
  void ReleaseAtHome(std::vector<platform::Variant> values);
  platform::com::ObjectPtr IoNotifyTarget();
  platform::com::ObjectPtr ResolverTarget();
  void Learn(const std::string& member, const platform::Variant& result);

  const platform::ApartmentPtr home_;
  const std::function<platform::com::ObjectPtr()> application_;
  const BusOptions options_;
  const std::string address_;
  std::shared_ptr<BusWaker> waker_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  platform::ApartmentPtr bus_apartment_;
  std::mutex first_try_mutex_;
  std::condition_variable first_try_changed_;
  bool first_try_over_ = false;
  void FirstTryOver();

  sd_bus* bus_ = nullptr;
  bool name_queued_ = false;  // another process holds the name; ours comes when it leaves
  std::vector<std::unique_ptr<ExportedObject>> exports_;

  // The service's objects: proxies to call, raw pointers to name them by.
  bool attached_ = false;
  platform::com::ObjectPtr app_proxy_, system_proxy_, user_proxy_, io_proxy_, resolver_proxy_;
  struct Known {
    const void* raw = nullptr;
    std::weak_ptr<platform::com::Object> weak;
  };
  std::map<std::string, Known> known_;  // path -> object
  struct Connection {
    std::weak_ptr<platform::com::Object> source;
    platform::com::Cookie cookie = 0;
  };
  std::vector<Connection> connections_;
  uint64_t alert_listener_ = 0;  // alerts::ListenToAlertChanges, while attached

  std::unordered_map<std::string, uid_t> caller_uids_;  // unique name -> uid
  FailureThrottle throttle_;                            // failed credential checks per caller
  struct DeferredCall {
    ExportedObject* object = nullptr;
    sd_bus_message* message = nullptr;
  };
  std::multimap<std::chrono::steady_clock::time_point, DeferredCall> deferred_;
  std::map<uint64_t, sd_bus_message*> pending_;
  uint64_t next_pending_ = 1;
  // Ended by Stop before the bus thread; last, so that it would go first
  // anyway: a running job ends while the waker it posts to still exists.
  StoreWork store_work_;
};

}  // namespace bus
