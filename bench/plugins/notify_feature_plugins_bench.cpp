// NotifyFeaturePlugins of one event to 20 loaded plug-ins that do nothing,
// beside a floor that writes the same log lines directly. The lines are
// what a notification must write; the dispatch around them should be
// nearly free.
//
//   plugins_bench --benchmark_min_time=1
// The ratio that matters: NotifyTwentyPlugins / SameLinesDirectly (events
// per second, want >= 0.8).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/com/class_registry.h"
#include "platform/root/machine_root.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "settings/shared/shared_settings.h"
#include "systemlog/system_log.h"
#include "typelib/norv_io_core_events.h"

namespace {

constexpr int kPlugins = 20;

class NoOpPlugin : public typelib::INorvIoCoreEvents {};

std::string ProgId(int i) { return "Bench.NoOp" + std::to_string(i); }

// One root for the run, with a branding configuration listing the plug-ins
// and the system and user collections installed; removed at exit.
void SetUpOnce() {
  static const bool done = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "hearth-plugins-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    static const std::filesystem::path root = pattern;
    platform::SetMachineRoot(root);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(root, ignored);
    });
    std::ifstream in(std::string(HEARTH_SOURCE_TREE) + "/config/branding.xml");
    std::stringstream shipped;
    shipped << in.rdbuf();
    std::string config = shipped.str();
    std::string list;
    for (int i = 0; i < kPlugins; ++i) {
      platform::com::RegisterClass<NoOpPlugin>(ProgId(i));
      list += "<plugin rank=\"" + std::to_string(i + 1) + "\"><progid>" + ProgId(i) + "</progid></plugin>";
    }
    config.replace(config.find("<system></system>"), 17, "<system>" + list + "</system>");
    std::filesystem::create_directories(root / "config");
    std::ofstream(root / "config" / "branding.xml") << config;
    settings::SetSystemSettings(std::make_shared<settings::cSettings>());
    settings::SetUserSettings(std::make_shared<settings::cSettings>());
    plugins::QueryFeaturePlugins();
    if (plugins::FeaturePluginCount() != kPlugins) std::abort();
    return true;
  }();
  (void)done;
}

void BM_NotifyTwentyPlugins(benchmark::State& state) {
  SetUpOnce();
  std::filesystem::remove(service::SystemLogPath());
  settings::SettingsPtr system = settings::GetSystemSettings();
  settings::SettingsPtr user = settings::GetUserSettings();
  for (auto _ : state) plugins::NotifyFeaturePlugins(typelib::OnDeviceChange, system, user);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NotifyTwentyPlugins)->UseRealTime();

void BM_SameLinesDirectly(benchmark::State& state) {
  SetUpOnce();
  std::filesystem::remove(service::SystemLogPath());
  std::vector<std::string> progids;
  for (int i = 0; i < kPlugins; ++i) progids.push_back(ProgId(i));
  // Formatted in the loop, as any code writing these lines would.
  for (auto _ : state) {
    service::WriteSystemLog("Notifying " + std::to_string(kPlugins) + " plugins");
    for (const std::string& progid : progids) {
      service::WriteSystemLog("IoCoreEvents::NotifyFeaturePlugins: Sending OnDeviceChange to " + progid);
      service::WriteSystemLog("IoCoreEvents::NotifyFeaturePlugins: Sent OnDeviceChange to " + progid);
    }
    service::WriteSystemLog("Error after event notification is ''");
    service::WriteSystemLog("IoCoreEvents.NotifyFeaturePlugins: updating WmiInfo value");
    service::WriteSystemLog("IoCoreEvents.NotifyFeaturePlugins: finished updating WmiInfo value");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SameLinesDirectly)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
