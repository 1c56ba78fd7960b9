// Whether a name belongs to the machine's own account database, not to a
// directory service that PAM may also consult.
#pragma once

#include <filesystem>
#include <string_view>

namespace platform::logon {

// The local account file.
inline constexpr char kLocalAccountFile[] = "/etc/passwd";

// True when the file lists an account of exactly that name.
bool IsLocalAccount(std::string_view user, const std::filesystem::path& account_file = kLocalAccountFile);

}  // namespace platform::logon
