#include "platform/logon/local_accounts.h"

#include <fstream>
#include <string>

namespace platform::logon {

bool IsLocalAccount(std::string_view user, const std::filesystem::path& account_file) {
  if (user.empty()) return false;
  std::ifstream in(account_file);
  std::string line;
  while (std::getline(in, line)) {
    // name:password:uid:gid:gecos:home:shell; lines of a NIS "+" include
    // name other sources, not local accounts.
    const size_t colon = line.find(':');
    if (colon == std::string::npos || line[0] == '+' || line[0] == '-') continue;
    if (std::string_view(line).substr(0, colon) == user) return true;
  }
  return false;
}

}  // namespace platform::logon
