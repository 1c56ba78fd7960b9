#include "service/lifecycle/svc_ctl.h"

#include "contracts/lifecycle/lifecycle_state.h"
#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "service/lifecycle/lifecycle_steps.h"
#include "service/lifecycle/start_sequence.h"
#include "settings/shared/shared_settings.h"
#include "support/environment/guid_text.h"
#include "systemlog/system_log.h"

namespace service {

using platform::Step;

bool SvcCtl::DoStartup() {
  platform::Err::Clear();
  ClearStartError();
  StartStep([] { contracts::Support().Branding()->Initialise(); });
  StartStep([] { steps::SetServiceDisplayName(); });
  StartStep([] { steps::WriteUninstallEntries(); });
  StartStep([] {
    if (!contracts::Support().Environment()->EnvironmentFlag()) WriteSystemLog("");
  });
  StartStep([this] { instance_id_ = support::NewGuidText(); });
  StartStep([this] { application_ = steps::CreateApplicationObject(); });
  StartStep([this] { SetApplicationObject(application_); });
  StartStep([] { steps::SvcInitInit(); });
  StartStep([this] { steps::StartApplication(application_, steps::CurrentCollections()); });
  RunPluginStartSteps();
  return !StartFailed();
}

void SvcCtl::DoShutdown(int32_t& ac) {
  if (ac == kSvcCtlShutdown) {
    shutdown_requested_ = true;
  } else if (ac == kSvcCtlShutdownClosingWindows) {
    shutdown_requested_ = true;
    SetClosingWindows(true);
  }
}

bool SvcCtl::DidShutdown() {
  // The request is used up by the stop it causes: running the stop order
  // again would tell the plug-ins and the application a second time.
  if (shutdown_requested_) {
    shutdown_requested_ = false;
    RunShutdown();
  }
  return ShutdownDone() || shutdown_finished_;
}

void SvcCtl::RunShutdown() {
  Step([] { steps::CheckUninstallMarker(); });
  Step([] { steps::CloseGDB(); });
  Step([] { steps::SaveAllSettings(); });
  Step([] {
    steps::NotifyFeaturePlugins(typelib::OnShutdown, steps::CurrentCollections());
  });
  Step([] { steps::SaveAllSettings(); });
  Step([this] { steps::ShutdownApplication(application_); });
  Step([] { steps::ShutdownAll(); });
  application_.reset();
  shutdown_finished_ = true;
}

platform::com::ObjectPtr SvcCtl::GetAppObject() { return GetApplicationObject(); }

std::string SvcCtl::GUID() {
  std::string product;
  Step([&product] { product = contracts::Support().Branding()->Expand("%%PRODUCTNAMESHORT", ""); });
  return instance_id_ + "," + product;
}

const platform::com::DispatchTable* SvcCtl::Dispatch() const {
  using platform::com::Args;
  using platform::com::DispatchTable;
  static const DispatchTable table = DispatchTable::Of<SvcCtl>({
      {"DoStartup", [](SvcCtl& self) { return self.DoStartup(); }},
      {"DoShutdown", 1,
       [](SvcCtl& self, Args args) {
         // A value that is no number is no request code either.
         int32_t ac = 0;
         try {
           ac = platform::CLng(args[0]);
         } catch (const platform::BasicError&) {
           return;
         }
         self.DoShutdown(ac);
       }},
      {"DidShutdown", [](SvcCtl& self) { return self.DidShutdown(); }},
      {"GetAppObject", [](SvcCtl& self) { return self.GetAppObject(); }},
      {"GUID", [](SvcCtl& self) { return self.GUID(); }},
  });
  return &table;
}

}  // namespace service
