#include "service/lifecycle/start_sequence.h"

#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "service/lifecycle/lifecycle_steps.h"
#include "service/lifecycle/log_lines.h"
#include "service/log/system_log.h"
#include "settings/shared/shared_settings.h"

namespace service {

using platform::Step;

void RunPluginStartSteps() {
  Step([] {
    WriteSystemLog("Service.OnStart: querying plugins.");
    steps::QueryFeaturePlugins();
  });
  Step([] {
    WriteSystemLog("Service.OnStart: Plugin query complete. Sending 'onstartup' to plugins' ");
    steps::NotifyFeaturePlugins(typelib::OnStartup, steps::CurrentCollections());
  });
  WriteSystemLog("Service.OnStart: Sent 'onstartup' to plugins' ");
  Step([] {
    WriteSystemLog("Service.OnStart: turning on 'sys.protecton' protection and notifying plugins.");
    settings::SettingsPtr system = settings::GetSystemSettings();
    if (!system) platform::RaiseError(platform::kErrObjectNotSet);
    system->SetValue("sys.protecton", platform::Variant(true));
  });
  Step([] {
    steps::NotifyFeaturePlugins(typelib::OnSettingsChange, steps::CurrentCollections());
  });
  WriteSystemLog("Service.OnStart: plugins notified of protection status.");
  WriteSystemLog("Service.OnStart: complete, Err=" + PendingErrorText());
}

}  // namespace service
