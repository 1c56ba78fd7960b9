// Store-file work for bus callers (backup, playback, listing), away from the
// bus thread and the service thread: one job at a time on a thread of its
// own, with a file manager of its own that nothing else calls. A job asked
// for while one runs is refused with what runs ("busy"), never queued behind
// it or run beside it.
//
//   std::string busy;
//   if (!work.Start("backup of /srv/data", [](store::cFileMgr& files) { ... }, &busy)) refuse(busy);
//
// Destroying it waits for the running job: a stop of the service waits for
// a backup or playback to end rather than leave a store half written.
#pragma once

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

  StoreWork() = default;
  ~StoreWork();
  StoreWork(const StoreWork&) = delete;
  StoreWork& operator=(const StoreWork&) = delete;

  // Runs `job` on the store thread (started on first use). False when a job
  // runs: *busy then says which ("backup of /srv/data into /var/...").
  bool Start(std::string what, Job job, std::string* busy);

  // Called on the store thread as each job begins, before it runs (a test
  // holds a job there to find the work busy).
  void SetJobHookForTesting(std::function<void(const std::string& what)> hook);

 private:
  void ThreadMain();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string running_;  // what runs or waits to run; empty: idle
  Job job_;
  bool ending_ = false;
  std::function<void(const std::string&)> hook_;
  std::thread thread_;
};

}  // namespace bus
