// Watches the plug-in calls in progress: one that has not returned after a
// limit (30 s) is logged once, with the plug-in's ProgID and the call, so a
// plug-in that hangs the service thread is named in the system log:
// "<where>: <ProgID> has not returned from <call> after 30 seconds".
//
//   {
//     PluginCallWatch watch("IoCoreEvents::NotifyFeaturePlugins", host->ProgID(), "OnStartup");
//     host->OnStartup(...);
//   }   // returned: nothing more is logged for it
//
// One watcher thread serves the process; it is started by the first call
// and sleeps while no call is in progress.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace plugins {

class PluginCallWatch {
 public:
  PluginCallWatch(std::string where, std::string progid, std::string call);
  ~PluginCallWatch();
  PluginCallWatch(const PluginCallWatch&) = delete;
  PluginCallWatch& operator=(const PluginCallWatch&) = delete;

 private:
  uint64_t id_ = 0;
};

// The limit for calls that start afterwards (tests shorten it).
void SetPluginCallLimit(std::chrono::milliseconds limit);
// Runs on the watcher thread after each line it logs, with the line.
void SetPluginCallReportHook(std::function<void(const std::string&)> hook);

}  // namespace plugins
