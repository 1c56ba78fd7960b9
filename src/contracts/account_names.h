// The account-name lookup of the core support library: local names of
// well-known accounts.
#pragma once

#include <string>

namespace contracts {

class AccountNames {
 public:
  virtual ~AccountNames() = default;
  // The local name of the group every user belongs to; may be empty, in
  // which case callers use "Everyone".
  virtual std::string EveryoneGroupName() = 0;
};

}  // namespace contracts
