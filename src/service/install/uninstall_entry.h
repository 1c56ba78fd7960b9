// The service's entry in the system list of installed programs: the subkey
// "{08959f19-fa0d-4ec6-807c-918d59568e51}" of HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows\CurrentVersion\Uninstall".
#pragma once

namespace service {

inline constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kUninstallEntryName[] = "{08959f19-fa0d-4ec6-807c-918d59568e51}";
// "oobevars/supportwebsite" when the configuration has none.
inline constexpr char kDefaultSupportWebsite[] = "https://support.norvale.example/veltris";

// Writes the entry's values in their fixed order (display name, version,
// icon, publisher, install source and location, modify and uninstall
// commands, then "HelpLink" and "URLInfoAbout", whose two sources the
// environment's second flag swaps). Nothing happens when the Uninstall key
// does not open; a subkey that cannot be opened or created is logged.
void WriteUninstallEntry();

}  // namespace service
