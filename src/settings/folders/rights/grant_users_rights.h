// Granting the local users group full access to a folder. These routines log
// their outcome, so they sit above the system log, which itself finds its
// folder in settings/folders.
#pragma once

#include <string>

namespace settings {

// Logs "Granting users rights to " + path, asks the rights component for
// generic-all access for the users group, and logs "Rights granted
// successfully" or "Could not grant rights. The error was '" + answer + "'".
// Never fails towards its caller.
void GrantUsersRights(const std::string& path);

}  // namespace settings
