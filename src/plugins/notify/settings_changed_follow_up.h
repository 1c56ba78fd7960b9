// What follows a notification of any event but OnSettingsChange: a plug-in
// that changed settings during it leaves "tmp.SettingsChanged" True in the
// system collection, and the Application object is asked to store and
// announce the change.
#pragma once

#include "settings/shared/shared_settings.h"
#include "typelib/notify_type.h"

namespace plugins {

inline constexpr char kSettingsChangedFlag[] = "tmp.SettingsChanged";

// When `nt` is not OnSettingsChange and `Settings` holds the flag as True:
// logs the change, removes the flag and calls SettingsChanged(fDoPersist =
// True) on the shared Application object. Raises what those steps raise.
void HandlePendingSettingsChange(typelib::NotifyType nt, const settings::SettingsPtr& Settings);

}  // namespace plugins
