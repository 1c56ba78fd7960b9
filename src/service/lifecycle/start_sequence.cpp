#include "service/lifecycle/start_sequence.h"

#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "service/lifecycle/lifecycle_steps.h"
#include "systemlog/system_log.h"
#include "settings/shared/shared_settings.h"

namespace service {
namespace {

struct StartError {
  int32_t number = 0;
  std::string description;
};

thread_local StartError start_error;

}  // namespace

void ClearStartError() { start_error = {}; }

void NoteStartError() {
  if (start_error.number != 0 || !platform::Err::IsSet()) return;
  start_error.number = platform::Err::Number();
  start_error.description = platform::Err::Description();
}

std::string StartErrorText() { return start_error.description; }

bool StartFailed() { return start_error.number != 0; }

void RunPluginStartSteps() {
  StartStep([] {
    WriteSystemLog("Service.OnStart: querying plugins.");
    steps::QueryFeaturePlugins();
  });
  StartStep([] {
    WriteSystemLog("Service.OnStart: Plugin query complete. Sending 'onstartup' to plugins' ");
    steps::NotifyFeaturePlugins(typelib::OnStartup, steps::CurrentCollections());
  });
  WriteSystemLog("Service.OnStart: Sent 'onstartup' to plugins' ");
  StartStep([] {
    WriteSystemLog("Service.OnStart: turning on 'sys.protecton' protection and notifying plugins.");
    settings::SettingsPtr system = settings::GetSystemSettings();
    if (!system) platform::RaiseError(platform::kErrObjectNotSet);
    system->SetValue("sys.protecton", platform::Variant(true));
  });
  StartStep([] {
    steps::NotifyFeaturePlugins(typelib::OnSettingsChange, steps::CurrentCollections());
  });
  WriteSystemLog("Service.OnStart: plugins notified of protection status.");
  WriteSystemLog("Service.OnStart: complete, Err=" + StartErrorText());
}

}  // namespace service
