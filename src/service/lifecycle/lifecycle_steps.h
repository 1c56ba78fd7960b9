// The start and stop steps that other parts of the service carry out. Each is
// one call site here, so the start and stop orders read as a list and each
// step's owner fills in only its own function. A step whose work does not
// exist yet does nothing.
#pragma once

#include <cstdint>

#include "platform/com/object_fwd.h"
#include "settings/shared/shared_settings.h"
#include "typelib/notify_type.h"

namespace service::steps {

// Both collections of this thread, asked for in the order the start and stop
// orders name them: the system collection first.
struct Collections {
  settings::SettingsPtr system;
  settings::SettingsPtr user;
};
Collections CurrentCollections();

// Installation chores: the toolkit's type library "dwntserv.tlb" from the
// Windows system folder, the service display name, the uninstall entries,
// the everyone group's access to the product key, the uninstall marker.
void RegisterToolkitTypeLibrary();
void SetServiceDisplayName();
void WriteUninstallEntries();
void GrantRegistryPermissions();
void CheckUninstallMarker();

// The Application object: made at start, started with both collections,
// shut down at stop. Empty while there is no Application class.
platform::com::ObjectPtr CreateApplicationObject();
void StartApplication(const platform::com::ObjectPtr& application, const Collections& collections);
void ShutdownApplication(const platform::com::ObjectPtr& application);

// System initialisation and shutdown (SvcInit::Init, ShutdownAll,
// SaveAllSettings).
void SvcInitInit();
void ShutdownAll();
void SaveAllSettings();

// The feature plug-ins: built from the plug-in list, then told of lifecycle
// events with both collections.
void QueryFeaturePlugins();
void NotifyFeaturePlugins(typelib::NotifyType event, const Collections& collections);

// The alert database.
void CloseGDB();

}  // namespace service::steps
