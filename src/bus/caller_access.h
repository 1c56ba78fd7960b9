// Who may run the members that write settings, run actions, touch the
// registry or check credentials: root and the members of the group "hearth",
// as the installed bus policy says. The service checks again itself, so a
// mistaken policy file does not open it.
#pragma once

#include <sys/types.h>

#include <string>

#include "bus/member_table.h"

namespace bus {

// Root, or a user whose groups (primary or supplementary, from the group
// database as the bus daemon sees them) include `group`.
bool UidMayAct(uid_t uid, const std::string& group);

// Whether `uid` may call at `level`.
bool UidHasAccess(uid_t uid, Access level, const std::string& group);

// The system log line of a refusal; `why` (a root-only reason) is added in
// brackets when not empty.
std::string RefusalLogLine(uid_t uid, const std::string& interface_name, const std::string& member,
                           const std::string& why = {});

// What the refused caller reads: who may call the member, and why when only
// root may.
std::string RefusalText(Access level, const std::string& group, const std::string& member, const std::string& why);

}  // namespace bus
