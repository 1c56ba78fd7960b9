// User synchronisation: keeps the system settings in step with the machine's
// user accounts (the user list component).
//
// The system collection keeps the known users in "users.sids" (each
// identifier followed by "|") and, per user, "user.<sid>.filename",
// ".userid", ".friendlyname" and ".isadmin". A run compares that list with
// the accounts: a new account gets a settings file of its own and its
// entries, a known one has its entries refreshed, and a vanished one loses
// its entries and its file. In single-user mode ("legacy.featuremultiuser"
// not "true") the only account is the guest profile "*", so every other user
// is removed and the list becomes "*|".
//
// A removed user's file is deleted only when it is the live settings file
// that the user's own identifier names: the setting that names it could name
// any file, the system file or another owner's among them.
//
// When the user list cannot be read, nobody can be told gone: every known
// user is kept as is and nobody is created.
//
// Runs on the calling thread's collections. It does not store the system
// collection; its holder does.
#pragma once

#include "platform/xml/node.h"

namespace settings {

// `element`: the "syncusers" action's element, whose "adminusersid"
// attribute names the administrator user (a user created under that
// identifier is the administrator); a null node at start-up. Every failing
// step is recorded as the pending error and the next step runs.
void SyncUsers(const platform::xml::Node& element = {});

}  // namespace settings
