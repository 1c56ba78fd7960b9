#include "service/init/shutdown_all.h"

#include <string>

#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "plugins/notify/feature_plugins.h"
#include "service/init/clean_boot.h"
#include "service/init/save_all_settings.h"
#include "service/lifecycle/state/lifecycle_state.h"
#include "service/log/system_log.h"

namespace service {
namespace {

void LogDated(const std::string& text) { WriteSystemLog(platform::FormatGeneralDate(platform::Now()) + text); }

}  // namespace

void ShutdownAll() {
  LogDated(": in ShutdownAll");
  if (IsFailSafeBootWithoutNetwork()) return;
  SaveAllSettings();
  LogDated(": Calling DestroyIOPluginData");
  platform::Step([] { plugins::DestroyIOPluginData(); });
  SetApplicationObject(nullptr);
  SetShutdownDone(true);
  LogDated(": Exiting ShutdownAll");
}

}  // namespace service
