// The one-line status summary kept in the product key's "WmiInfo" value for
// management tools: the client version and, with the anti-virus feature, the
// anti-virus version and status.
#pragma once

#include <string>

#include "settings/shared/shared_settings.h"

namespace plugins {

// "Client: " + "sys.ClientVersion" + "; " (a fixed text when the version is
// empty), then "Antivirus: " + "sys.AvVersion" + " Status: " +
// "sys.AvStatus" + "; " when "legacy.featureAntivirus" is True; every
// "(now)" replaced by today's short date. Raises what reading the values
// raises (a "legacy.featureAntivirus" that is not a Boolean: 13).
std::string WmiInfoSummary(settings::cSettings& Settings);

// Logs the update, builds the summary and, when the client version is not
// empty, writes it to HKEY_LOCAL_MACHINE "SOFTWARE\Norvale\Veltris\v1.5"
// value "WmiInfo". Failing steps are recorded as the pending error.
void UpdateWmiInfo(const settings::SettingsPtr& Settings);

}  // namespace plugins
