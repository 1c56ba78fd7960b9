// Service.OnStart: the start order. Every step runs even when an earlier one
// failed; the failure stays the pending error, which the "Err=" lines show.
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "service/contracts/support_objects.h"
#include "service/lifecycle/lifecycle_steps.h"
#include "service/lifecycle/log_lines.h"
#include "service/lifecycle/service.h"
#include "service/lifecycle/start_sequence.h"
#include "service/lifecycle/state/lifecycle_state.h"
#include "service/log/system_log.h"
#include "service/log/time_stamped.h"
#include "settings/shared/shared_settings.h"

namespace service {

using platform::Step;

int32_t Service::OnStart(ServiceHost& host) {
  platform::Err::Clear();
  Step([] {
    if (contracts::Support().Environment()->EnvironmentFlag()) WriteSystemLog("");
  });
  Step([] {
    auto version = contracts::Support().Version();
    WriteSystemLog("Product version is: " + version->VersionText() + ".r" + version->BuildText());
  });
  Step([] { steps::RegisterToolkitTypeLibrary(); });
  Step([] {
    WriteSystemLog(TimeStamped(": Service.OnStart - Initializing Resources"));
    contracts::Support().Branding()->Initialise();
  });
  Step([] { steps::SetServiceDisplayName(); });
  Step([] { steps::WriteUninstallEntries(); });
  Step([this] {
    WriteSystemLog(TimeStamped(": Service.OnStart - Creating Application object"));
    application_ = steps::CreateApplicationObject();
  });
  Step([this, &host] {
    WriteSystemLog(TimeStamped(": Service.OnStart - Registering Application object"));
    host.RegisterObject(application_);
  });
  Step([this] { SetApplicationObject(application_); });
  Step([] {
    WriteSystemLog("Service.OnStart: invoking Init");
    steps::SvcInitInit();
  });
  Step([] {
    WriteSystemLog("Checking registry permissions");
    steps::GrantRegistryPermissions();
  });
  Step([this] {
    WriteSystemLog("Service.OnStart: invoking Application.Startup, Err=" + PendingErrorText());
    steps::StartApplication(application_, steps::CurrentCollections());
  });
  RunPluginStartSteps();
  return 0;
}

}  // namespace service
