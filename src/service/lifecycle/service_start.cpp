// Service.OnStart: the start order. Every step runs even when an earlier one
// failed; the first failure is kept, and the "Err=" lines show it.
#include "contracts/lifecycle/lifecycle_state.h"
#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "service/lifecycle/lifecycle_steps.h"
#include "service/lifecycle/service.h"
#include "service/lifecycle/start_sequence.h"
#include "settings/shared/shared_settings.h"
#include "systemlog/system_log.h"
#include "systemlog/time_stamped.h"

namespace service {


int32_t Service::OnStart(ServiceHost& host) {
  platform::Err::Clear();
  ClearStartError();
  StartStep([] {
    if (contracts::Support().Environment()->EnvironmentFlag()) WriteSystemLog("");
  });
  StartStep([] {
    auto version = contracts::Support().Version();
    WriteSystemLog("Product version is: " + version->VersionText() + ".r" + version->BuildText());
  });
  StartStep([] { steps::RegisterToolkitTypeLibrary(); });
  StartStep([] {
    WriteSystemLog(TimeStamped(": Service.OnStart - Initializing Resources"));
    contracts::Support().Branding()->Initialise();
  });
  StartStep([] { steps::SetServiceDisplayName(); });
  StartStep([] { steps::WriteUninstallEntries(); });
  StartStep([this] {
    WriteSystemLog(TimeStamped(": Service.OnStart - Creating Application object"));
    application_ = steps::CreateApplicationObject();
  });
  StartStep([this, &host] {
    WriteSystemLog(TimeStamped(": Service.OnStart - Registering Application object"));
    host.RegisterObject(application_);
  });
  StartStep([this] { SetApplicationObject(application_); });
  StartStep([] {
    WriteSystemLog("Service.OnStart: invoking Init");
    steps::SvcInitInit();
  });
  StartStep([] {
    WriteSystemLog("Checking registry permissions");
    steps::GrantRegistryPermissions();
  });
  StartStep([this] {
    WriteSystemLog("Service.OnStart: invoking Application.Startup, Err=" + StartErrorText());
    steps::StartApplication(application_, steps::CurrentCollections());
  });
  RunPluginStartSteps();
  return 0;
}

}  // namespace service
