#include <string>

#include "platform/basic/err.h"
#include "platform/logon/logon_user.h"
#include "service/application/application.h"

namespace service {

bool Application::ValidateWindowsUserCredentials(const std::string& Username, const std::string& password) {
  // Only the local account database: no domain, no principal names.
  if (Username.find('@') != std::string::npos || Username.find('\\') != std::string::npos) return false;
  bool valid = false;
  platform::Step([&] {
    platform::logon::TokenHandle token;
    if (platform::logon::LogonUserA(Username, ".", password, platform::logon::kLogon32LogonNetwork,
                                    platform::logon::kLogon32ProviderDefault, &token)) {
      platform::logon::CloseHandle(token);
      valid = true;
    }
  });
  return valid;
}

}  // namespace service
