// The display name of the service under its service key
// HKEY_LOCAL_MACHINE "SYSTEM\CurrentControlSet\Services\NorvHearth".
#pragma once

namespace service {

inline constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\NorvHearth";
inline constexpr char kDefaultServiceDisplayName[] = "QOR Security System Service";

// Only under the service host (the environment flag): the string-table entry
// "{%strings%}/qorhearth" written as "DisplayName" when the service key
// opens; nothing is written or logged when it does not.
void SetServiceDisplayName();

}  // namespace service
