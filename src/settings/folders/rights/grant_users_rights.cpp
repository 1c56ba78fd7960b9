#include "settings/folders/rights/grant_users_rights.h"

#include <exception>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "settings/folders/ignore_errors.h"
#include "systemlog/system_log.h"

namespace settings {

void GrantUsersRights(const std::string& path) {
  IgnoringErrors([&] {
    service::WriteSystemLog("Granting users rights to " + path);
    std::string answer;
    try {
      answer = contracts::Support().Rights()->Grant(contracts::kTrusteeUsers, path, contracts::kGenericAll, 0);
    } catch (const platform::BasicError& error) {
      answer = error.description();  // a component that raises reports its reason the same way
    } catch (const std::exception& error) {
      answer = error.what();
    }
    if (answer == "OK") {
      service::WriteSystemLog("Rights granted successfully");
    } else {
      service::WriteSystemLog("Could not grant rights. The error was '" + answer + "'");
    }
  });
}

}  // namespace settings
