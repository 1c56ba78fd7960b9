#include "bus/store_work.h"

#include <memory>

#include "platform/basic/err.h"
#include "store/file_manager.h"

namespace bus {

StoreWork::~StoreWork() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool StoreWork::Start(std::string what, Job job, std::string* busy) {
  {
    std::lock_guard lock(mutex_);
    if (!running_.empty()) {
      *busy = running_;
      return false;
    }
    running_ = std::move(what);
    job_ = std::move(job);
    if (!thread_.joinable()) thread_ = std::thread([this] { ThreadMain(); });
  }
  changed_.notify_all();
  return true;
}

void StoreWork::SetJobHookForTesting(std::function<void(const std::string& what)> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void StoreWork::ThreadMain() {
  // Made on this thread and used only here: its per-thread objects (the
  // crypto service, the pending error) are this thread's.
  auto files = std::make_shared<store::cFileMgr>();
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return ending_ || job_; });
    if (!job_) return;  // ending, and nothing waits to run
    Job job = std::move(job_);
    job_ = nullptr;
    const std::string what = running_;
    auto hook = hook_;
    lock.unlock();
    if (hook) hook(what);
    platform::Err::Clear();
    platform::Quietly([&] { job(*files); });
    job = nullptr;  // what the job holds goes before the work counts as done
    lock.lock();
    running_.clear();
  }
}

}  // namespace bus
