// Service::StopWork: the stop order. Each step runs even when an earlier one
// failed.
#include "platform/basic/err.h"
#include "service/lifecycle/lifecycle_steps.h"
#include "service/lifecycle/service.h"
#include "systemlog/system_log.h"
#include "settings/shared/shared_settings.h"

namespace service {

using platform::Step;

void Service::StopWork() {
  Step([] { steps::CheckUninstallMarker(); });
  Step([] { steps::CloseGDB(); });
  Step([] {
    WriteSystemLog("Service::OnStop notifying feature plugins");
    steps::NotifyFeaturePlugins(typelib::OnShutdown, steps::CurrentCollections());
  });
  Step([this] {
    WriteSystemLog("Service::OnStop shutting down self");
    steps::ShutdownApplication(application_);
  });
  Step([] { steps::ShutdownAll(); });
  application_.reset();
}

}  // namespace service
