// The product's key below HKEY_LOCAL_MACHINE: "installdir", the uninstall
// marker, the uninstaller id and the status summary live there.
#pragma once

namespace contracts {

inline constexpr char kProductKey[] = "SOFTWARE\\Norvale\\Veltris\\v1.5";

}  // namespace contracts
