#include "plugins/host/plugin_call_watch.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "systemlog/system_log.h"

namespace plugins {
namespace {

using Clock = std::chrono::steady_clock;

struct WatchedCall {
  std::string where;
  std::string progid;
  std::string call;
  Clock::time_point deadline;
  std::chrono::milliseconds limit;
};

// Never destroyed: the watcher thread may outlive every static destructor.
struct Watcher {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<uint64_t, WatchedCall> calls;  // in progress and not yet reported
  uint64_t next_id = 1;
  std::chrono::milliseconds limit = std::chrono::seconds(30);
  std::function<void(const std::string&)> hook;
  bool started = false;

  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      if (calls.empty()) {
        changed.wait(lock);
        continue;
      }
      auto first = calls.begin();
      for (auto it = calls.begin(); it != calls.end(); ++it) {
        if (it->second.deadline < first->second.deadline) first = it;
      }
      // A copy: the call may end (and its entry go) while the watcher waits.
      const Clock::time_point deadline = first->second.deadline;
      if (Clock::now() < deadline) {
        changed.wait_until(lock, deadline);
        continue;
      }
      const WatchedCall call = std::move(first->second);
      calls.erase(first);  // reported once
      std::function<void(const std::string&)> report = hook;
      lock.unlock();
      const std::string line = call.where + ": " + call.progid + " has not returned from " + call.call + " after " +
                               LimitText(call.limit);
      service::WriteSystemLog(line);
      if (report) report(line);
      lock.lock();
    }
  }

  static std::string LimitText(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " seconds";
    return std::to_string(limit.count()) + " ms";
  }
};

Watcher& TheWatcher() {
  static Watcher* watcher = new Watcher;
  return *watcher;
}

}  // namespace

PluginCallWatch::PluginCallWatch(std::string where, std::string progid, std::string call) {
  Watcher& watcher = TheWatcher();
  std::lock_guard lock(watcher.mutex);
  if (!watcher.started) {
    std::thread([&watcher] { watcher.Run(); }).detach();
    watcher.started = true;
  }
  id_ = watcher.next_id++;
  watcher.calls.emplace(id_, WatchedCall{std::move(where), std::move(progid), std::move(call),
                                         Clock::now() + watcher.limit, watcher.limit});
  watcher.changed.notify_one();
}

PluginCallWatch::~PluginCallWatch() {
  Watcher& watcher = TheWatcher();
  std::lock_guard lock(watcher.mutex);
  watcher.calls.erase(id_);
}

void SetPluginCallLimit(std::chrono::milliseconds limit) {
  Watcher& watcher = TheWatcher();
  std::lock_guard lock(watcher.mutex);
  watcher.limit = limit;
}

void SetPluginCallReportHook(std::function<void(const std::string&)> hook) {
  Watcher& watcher = TheWatcher();
  std::lock_guard lock(watcher.mutex);
  watcher.hook = std::move(hook);
}

}  // namespace plugins
