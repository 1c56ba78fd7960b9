#include "support/accounts/account_names.h"

#include "platform/root/machine_root.h"

namespace support {

std::string AccountNames::EveryoneGroupName() { return platform::MachineConfigValue("EveryoneGroupName", "Everyone"); }

}  // namespace support
