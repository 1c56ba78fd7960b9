// The account-name lookup: this platform has no localised well-known
// accounts; the machine configuration value "EveryoneGroupName" names the
// everyone group, "Everyone" when it is missing.
#pragma once

#include <string>

#include "contracts/account_names.h"

namespace support {

class AccountNames : public contracts::AccountNames {
 public:
  std::string EveryoneGroupName() override;
};

}  // namespace support
