#include "service/init/shutdown_all.h"

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/err.h"
#include "plugins/notify/feature_plugins.h"
#include "service/init/clean_boot.h"
#include "service/init/save_all_settings.h"
#include "systemlog/system_log.h"
#include "systemlog/time_stamped.h"

namespace service {

void ShutdownAll() {
  WriteSystemLog(TimeStamped(": in ShutdownAll"));
  if (IsFailSafeBootWithoutNetwork()) return;
  SaveAllSettings();
  WriteSystemLog(TimeStamped(": Calling DestroyIOPluginData"));
  platform::Step([] { plugins::DestroyIOPluginData(); });
  SetApplicationObject(nullptr);
  SetShutdownDone(true);
  WriteSystemLog(TimeStamped(": Exiting ShutdownAll"));
}

}  // namespace service
