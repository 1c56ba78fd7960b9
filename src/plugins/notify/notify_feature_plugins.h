// NotifyFeaturePlugins: tells every feature plug-in of a lifecycle event,
// then acts on a pending settings change and refreshes the "WmiInfo" status
// summary in the registry.
//
//   plugins::NotifyFeaturePlugins(typelib::OnSettingsChange, settings::GetSystemSettings(),
//                                 settings::GetUserSettings());
//
// With no plug-ins loaded it logs "No plugins to notify" (or the count line
// with 0 once the collection was emptied) and still does the rest. Nothing
// is sent while the machine is closing (service::ClosingWindows()).
#pragma once

#include "settings/shared/shared_settings.h"
#include "typelib/notify_type.h"

namespace plugins {

// `Settings` is the system collection, `UserSettings` the current user's;
// `fUserSettingsAlsoChanged` goes with OnSettingsChange. Never fails; the
// pending error is cleared on entry and on return, and the one left by the
// plug-ins shows in the "Error after event notification is '" line.
void NotifyFeaturePlugins(typelib::NotifyType nt, const settings::SettingsPtr& Settings,
                          const settings::SettingsPtr& UserSettings, bool fUserSettingsAlsoChanged = false);

// Makes a True "tmp.dobrandchange" tell the plug-ins OnUserLogoff (twice, as
// the settings collection calls it) with this thread's collections.
void InstallBrandChangeListener();

}  // namespace plugins
