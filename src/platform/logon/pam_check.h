// One PAM transaction that checks a password and the account's standing.
#pragma once

#include <cstdint>
#include <string>

namespace platform::logon {

// pam_authenticate (empty passwords refused) then pam_acct_mgmt under the
// service; the Win32 error the outcome maps to, kErrorSuccess when both
// accepted.
uint32_t CheckWithPam(const std::string& service, const std::string& user, const std::string& password);

}  // namespace platform::logon
