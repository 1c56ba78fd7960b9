#include "platform/logon/logon_user.h"

#include <string.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/basic/string_functions.h"
#include "platform/logon/local_accounts.h"
#include "platform/logon/pam_check.h"
#include "platform/root/machine_root.h"

namespace platform::logon {
namespace {

thread_local uint32_t last_error = kErrorSuccess;

bool Fail(uint32_t error, TokenHandle* token) {
  last_error = error;
  if (token != nullptr) token->reset();
  return false;
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool IsLocalDomain(std::string_view domain) {
  if (domain.empty() || domain == ".") return true;
  const std::string host = HostName();
  return !host.empty() && LCase(domain) == LCase(host);
}

// Longer names than this are no account name (useradd's own limit is 32).
constexpr size_t kMaxUserName = 256;

}  // namespace

std::string PamServiceName() { return MachineConfigValue("PamService", "hearth"); }

bool LogonUserA(std::string_view user, std::string_view domain, std::string_view password,
                uint32_t logon_type, uint32_t logon_provider, TokenHandle* token) {
  if (token != nullptr) token->reset();
  if (logon_type != kLogon32LogonInteractive && logon_type != kLogon32LogonNetwork) {
    return Fail(kErrorInvalidParameter, token);
  }
  if (logon_provider != kLogon32ProviderDefault) return Fail(kErrorInvalidParameter, token);
  if (!IsLocalDomain(domain)) return Fail(kErrorNoSuchDomain, token);
  // A NUL inside a text would silently cut it short on the way to PAM.
  if (user.empty() || user.size() > kMaxUserName || user.find('\0') != std::string_view::npos ||
      password.find('\0') != std::string_view::npos) {
    return Fail(kErrorLogonFailure, token);
  }
  // A network logon with an empty password is refused, as the local
  // security policy does by default.
  if (password.empty()) return Fail(kErrorAccountRestriction, token);
  if (!IsLocalAccount(user)) return Fail(kErrorLogonFailure, token);

  std::string secret(password);
  const uint32_t error = CheckWithPam(PamServiceName(), std::string(user), secret);
  explicit_bzero(secret.data(), secret.size());
  if (error != kErrorSuccess) return Fail(error, token);
  last_error = kErrorSuccess;
  if (token != nullptr) *token = std::make_shared<LogonToken>(LogonToken{std::string(user), logon_type});
  return true;
}

bool CloseHandle(TokenHandle& token) {
  if (token == nullptr) {
    last_error = kErrorInvalidHandle;
    return false;
  }
  token.reset();
  last_error = kErrorSuccess;
  return true;
}

uint32_t GetLastLogonError() { return last_error; }

}  // namespace platform::logon
