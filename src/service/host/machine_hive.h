// The keys a Windows machine always has and the service's own key that the
// toolkit creates when it installs the service; hearthd makes them in a new
// root's hive so that the start's installation chores find them.
#pragma once

#include <string>

namespace service {

// Creates, when missing, HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows\CurrentVersion\Uninstall" and the service key
// "SYSTEM\CurrentControlSet\Services\NorvHearth". False with *error when the
// hive cannot be written.
bool PrepareMachineHive(std::string* error);

}  // namespace service
