#include "bus/store_work.h"

#include <exception>
#include <memory>

#include "platform/basic/err.h"
#include "store/file_manager.h"

namespace bus {

StoreWork::~StoreWork() { End(); }

void StoreWork::SetStopping(std::function<bool()> stopping) {
  std::lock_guard lock(mutex_);
  stopping_ = std::move(stopping);
}

void StoreWork::End() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

StoreWork::Started StoreWork::Start(std::string what, Job job, Failure failed, std::string* busy) {
  {
    std::lock_guard lock(mutex_);
    if (StopRequested()) return Started::kStopping;
    if (!running_.empty()) {
      *busy = running_;
      return Started::kBusy;
    }
    running_ = std::move(what);
    job_ = std::move(job);
    failed_ = std::move(failed);
    if (!thread_.joinable()) thread_ = std::thread([this] { ThreadMain(); });
  }
  changed_.notify_all();
  return Started::kYes;
}

void StoreWork::SetJobHookForTesting(std::function<void(const std::string& what)> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void StoreWork::ThreadMain() {
  // Made on this thread and used only here: its per-thread objects (the
  // crypto service, the pending error) are this thread's.
  auto files = std::make_shared<store::cFileMgr>();
  files->SetStopCheck([this] { return StopRequested(); });
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return ending_.load() || job_; });
    // A job started before the end still runs (it ends at once, stopped),
    // so that its caller hears how it ended.
    if (!job_) return;
    Job job = std::move(job_);
    Failure failed = std::move(failed_);
    job_ = nullptr;
    failed_ = nullptr;
    const std::string what = running_;
    auto hook = hook_;
    lock.unlock();
    platform::Err::Clear();
    std::string why;
    bool raised = true;
    try {
      if (hook) hook(what);
      job(*files);
      raised = false;
    } catch (const platform::BasicError& error) {
      why = error.description().empty() ? "error " + std::to_string(error.number()) : error.description();
    } catch (const std::exception& error) {
      why = error.what();
    } catch (...) {
      why = "an unknown failure";
    }
    if (raised && why.empty()) why = "an unknown failure";
    if (raised && failed) platform::Quietly([&] { failed(why); });
    job = nullptr;  // what the job holds goes before the work counts as done
    failed = nullptr;
    lock.lock();
    running_.clear();
  }
}

}  // namespace bus
