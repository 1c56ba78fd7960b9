// The uninstall check, the first step of every stop: the installer asks for
// the suite's settings to be wiped by leaving the value "DoUninstall" =
// "true" under HKEY_LOCAL_MACHINE "SOFTWARE\Norvale\Veltris\v1.5".
#pragma once

namespace service {

// When the value's text is exactly "true" (lower case): deletes the value,
// sets the system setting "legacy.DoUninstall" to True (when the system
// collection exists) and sets UninstallPending, so that every settings
// collection stored from now on is stored empty. Any other text, or a key
// that does not open, changes nothing. Failing steps are recorded as the
// pending error.
void CheckUninstallMarker();

}  // namespace service
