// A host that records what the service asks of it, and a service whose stop
// the test holds open, for the lifecycle and host tests.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "contracts/service_host.h"
#include "platform/com/object_fwd.h"
#include "service/lifecycle/service.h"

namespace service {

class TestHost : public contracts::ServiceHost {
 public:
  void RegisterObject(platform::com::ObjectPtr object) override {
    std::lock_guard lock(mutex_);
    registered_.push_back(object);
  }
  void StopService() override { ++stop_service_calls; }

  size_t registered_count() {
    std::lock_guard lock(mutex_);
    return registered_.size();
  }
  std::atomic<int> stop_service_calls{0};

 private:
  std::mutex mutex_;
  std::vector<platform::com::ObjectPtr> registered_;
};

// A latch the test opens.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Holds StopWork open until the test releases it.
class HeldStopService : public Service {
 public:
  Gate entered;
  Gate release;
  std::atomic<int> stop_work_runs{0};

 protected:
  void StopWork() override {
    ++stop_work_runs;
    entered.Open();
    release.Wait();
    Service::StopWork();
  }
};

}  // namespace service
