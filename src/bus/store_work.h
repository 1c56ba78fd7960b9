// Store-file work for bus callers (backup, playback, listing), away from the
// bus thread and the service thread: one job at a time on a thread of its
// own, with a file manager of its own that nothing else calls. A job asked
// for while one runs is refused with what runs ("busy"), never queued behind
// it or run beside it.
//
//   std::string busy;
//   switch (work.Start("backup of /srv/data", job, on_failure, &busy)) { ... }
//
// Every job ends in an answer: one that raises has `failed` called with the
// reason, on the store thread. Once the service's stop begins (`stopping`)
// or End is called, the running job is asked to end between two files
// (cFileMgr::SetStopCheck) and new jobs are refused, so a stop never waits
// on a long backup and no store is left half written.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace store {
class cFileMgr;
}

namespace bus {

class StoreWork {
 public:
  using Job = std::function<void(store::cFileMgr& files)>;
  using Failure = std::function<void(const std::string& why)>;
  enum class Started { kYes, kBusy, kStopping };

  StoreWork() = default;
  ~StoreWork();
  StoreWork(const StoreWork&) = delete;
  StoreWork& operator=(const StoreWork&) = delete;

  // True while the service stops (asked on the store thread and the bus
  // thread); set before the first Start.
  void SetStopping(std::function<bool()> stopping);

  // Runs `job` on the store thread (started on first use). kBusy when a job
  // runs: *busy then says which ("backup of /srv/data into /var/..."), and
  // kStopping once the stop has begun.
  Started Start(std::string what, Job job, Failure failed, std::string* busy);

  // Asks the running job to end, waits for it and ends the thread; later
  // jobs are refused. The destructor does it too.
  void End();

  // Called on the store thread as each job begins, before it runs (a test
  // holds a job there to find the work busy, or to stop the service under it).
  void SetJobHookForTesting(std::function<void(const std::string& what)> hook);

 private:
  void ThreadMain();
  bool StopRequested() const { return ending_.load() || (stopping_ && stopping_()); }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string running_;  // what runs or waits to run; empty: idle
  Job job_;
  Failure failed_;
  std::atomic<bool> ending_{false};
  std::function<bool()> stopping_;
  std::function<void(const std::string&)> hook_;
  std::thread thread_;
};

}  // namespace bus
