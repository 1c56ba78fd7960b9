#include "settings/collection/settings_events.h"

#include "settings/collection/c_settings.h"

namespace settings {

const char* SettingsEventName(platform::com::DispId id) {
  switch (id) {
    case kDispIdSync: return "Sync";
    case kDispIdSettingChanged: return "SettingChanged";
    case kDispIdSettingsCleared: return "SettingsCleared";
    case kDispIdSettingsLoaded: return "SettingsLoaded";
    case kDispIdSettingRemoved: return "SettingRemoved";
    case kDispIdSettingsStored: return "SettingsStored";
    default: return "";
  }
}

void RaiseSettingsEvent(platform::com::EventSource& events, platform::com::DispId id,
                        std::span<platform::Variant> args) {
  if (events.SinkCount() == 0) return;
  events.Raise(platform::com::EventCall{id, SettingsEventName(id)}, args);
}

}  // namespace settings
