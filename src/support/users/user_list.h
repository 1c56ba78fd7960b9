// The user list component: the machine's local accounts from the passwd
// database.
//
// Listed are the regular users (user ids from "UidMin" to "UidMax" of the
// machine configuration, 1000 and 60000 by default) whose login shell lets
// them log in (not empty, not "nologin" or "false"), plus root, in the
// database's order. Each record carries
//   SID           "S-1-22-1-" + uid (the Unix-user form of a security
//                 identifier; the first account of a uid wins)
//   UserID        the login name
//   FriendlyName  the full name, the first comma-separated part of the GECOS
//                 field, else the login name
//   Flag          False
// The database is /etc/passwd; the machine configuration's "PasswdFile"
// names another file in the same format (a relative path is taken below the
// machine root).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "contracts/user_list.h"

namespace support {

// "S-1-22-1-" + uid.
inline constexpr char kUnixUserSidPrefix[] = "S-1-22-1-";

class UserList : public contracts::UserList {
 public:
  // Raises 53 (file not found) or 75 (path/file access error) when the
  // database cannot be read.
  std::vector<contracts::UserRecord> Users(const std::string& filter) override;
};

// The accounts of passwd-format text that the component lists, for the uid
// range given; malformed lines are skipped.
std::vector<contracts::UserRecord> ParsePasswd(std::string_view text, long uid_min, long uid_max);

}  // namespace support
