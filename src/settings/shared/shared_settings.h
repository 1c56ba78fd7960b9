// The per-thread slots of the shared state that hold the system settings
// collection and the current user's collection. Start-up installs both on
// the service thread; any other thread sees none, and asking for one there
// leaves a line in the null-trace file (null_trace.h) instead of failing.
#pragma once

#include <memory>

#include "settings/collection/c_settings.h"

namespace settings {

using SettingsPtr = std::shared_ptr<cSettings>;

// This thread's system collection, or nullptr (and one null-trace line
// "Got NULL Settings collection on thread 0x<id>") when none is installed.
SettingsPtr GetSystemSettings();
// Installs the system collection on this thread; nullptr uninstalls it and
// logs "Setting g_Settings = nothing".
void SetSystemSettings(SettingsPtr settings);

// This thread's current-user collection, or nullptr (and one null-trace line
// "Got NULL CurrentUserSettings collection on thread 0x<id>").
SettingsPtr GetUserSettings();
void SetUserSettings(SettingsPtr settings);

}  // namespace settings
