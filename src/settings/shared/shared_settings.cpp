#include "settings/shared/shared_settings.h"

#include "platform/win32/thread_ids.h"
#include "systemlog/system_log.h"
#include "settings/folders/ignore_errors.h"
#include "settings/shared/null_trace.h"

namespace settings {
namespace {

struct SettingsSlots {
  SettingsPtr system;
  SettingsPtr user;
};

thread_local SettingsSlots slots;

}  // namespace

SettingsPtr GetSystemSettings() {
  if (!slots.system) {
    WriteNullTrace("Got NULL Settings collection on thread 0x" + platform::win32::ThreadIdHex());
    return nullptr;
  }
  // Touches the collection, so that one that no longer answers shows here.
  slots.system->Exists("system.service.running");
  return slots.system;
}

void SetSystemSettings(SettingsPtr settings) {
  if (!settings) service::WriteSystemLog("Setting g_Settings = nothing");
  slots.system = std::move(settings);
}

SettingsPtr GetUserSettings() {
  SettingsPtr found;
  IgnoringErrors([&] {
    if (!slots.user) {
      WriteNullTrace("Got NULL CurrentUserSettings collection on thread 0x" + platform::win32::ThreadIdHex());
      return;
    }
    slots.user->Exists("system.service.running");
    found = slots.user;
  });
  return found;
}

void SetUserSettings(SettingsPtr settings) { slots.user = std::move(settings); }

}  // namespace settings
