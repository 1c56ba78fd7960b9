// The user list component: the machine's user accounts as the suite sees
// them.
#pragma once

#include <string>
#include <vector>

namespace contracts {

// One account.
struct UserRecord {
  std::string UserID;        // the account's login name
  std::string SID;           // security-identifier-style text, unique per account
  std::string FriendlyName;  // display name
  bool Flag = false;         // True only in the guest record of user synchronisation
};

class UserList {
 public:
  virtual ~UserList() = default;

  // Given an empty text, every account in the account database's order;
  // given a login name or an identifier, only that account (compared without
  // regard to letter case), or none. Raises platform::BasicError when the
  // account database cannot be read.
  virtual std::vector<UserRecord> Users(const std::string& filter) = 0;
};

}  // namespace contracts
