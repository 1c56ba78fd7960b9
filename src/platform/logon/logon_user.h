// LogonUserA and CloseHandle for local accounts, through PAM.
//
//   platform::logon::TokenHandle token;
//   if (LogonUserA("ann", ".", password, kLogon32LogonNetwork, kLogon32ProviderDefault, &token)) {
//     CloseHandle(token);
//   } else if (GetLastLogonError() == kErrorLogonFailure) ...
//
// Only the machine's own accounts count: the user must be listed in the local
// account file (/etc/passwd) and PAM must accept the password and the account
// (pam_authenticate, then pam_acct_mgmt). The PAM service is the machine
// configuration value "PamService" (default "hearth"; a system without
// /etc/pam.d/hearth uses its "other" service). Texts are UTF-8 bytes, as the
// ANSI code page is here. Passwords are never logged or kept.
//
// Thread-safe: one PAM transaction runs at a time in the process (the
// password modules' account lookups are not reentrant). A failed attempt
// takes as long as PAM's own delay against password guessing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform::logon {

// Logon types and providers LogonUserA knows.
inline constexpr uint32_t kLogon32LogonInteractive = 2;
inline constexpr uint32_t kLogon32LogonNetwork = 3;
inline constexpr uint32_t kLogon32ProviderDefault = 0;

// Win32 error codes GetLastLogonError answers.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorLogonFailure = 1326;       // unknown user or wrong password
inline constexpr uint32_t kErrorAccountRestriction = 1327;  // e.g. an empty password
inline constexpr uint32_t kErrorPasswordExpired = 1330;
inline constexpr uint32_t kErrorAccountDisabled = 1331;
inline constexpr uint32_t kErrorNoSuchDomain = 1355;
inline constexpr uint32_t kErrorPasswordMustChange = 1907;

// What a successful logon hands back: the account it proved.
struct LogonToken {
  std::string user;
  uint32_t logon_type = 0;
};
using TokenHandle = std::shared_ptr<LogonToken>;

// LogonUserA(lpszUsername, lpszDomain, lpszPassword, dwLogonType,
// dwLogonProvider, phToken). The domain must be ".", empty, or this
// machine's host name (any letter case). True and a token when the account
// accepted the password; false and the thread's last error otherwise
// (`token`, when given, is then empty).
bool LogonUserA(std::string_view user, std::string_view domain, std::string_view password,
                uint32_t logon_type, uint32_t logon_provider, TokenHandle* token);

// Drops the token; false (kErrorInvalidHandle) for an empty handle.
bool CloseHandle(TokenHandle& token);

// The error of this thread's last failed call above (Win32's GetLastError).
uint32_t GetLastLogonError();

// The PAM service name in force.
std::string PamServiceName();

}  // namespace platform::logon
