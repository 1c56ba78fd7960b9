// The names under which hearthd offers its public objects on the system bus:
// one well-known name, one object path and one interface per public class.
#pragma once

namespace bus {

inline constexpr char kBusName[] = "com.norvale.Hearth";

inline constexpr char kApplicationPath[] = "/com/norvale/Hearth/Application";
inline constexpr char kSystemSettingsPath[] = "/com/norvale/Hearth/Settings/System";
inline constexpr char kUserSettingsPath[] = "/com/norvale/Hearth/Settings/User";
inline constexpr char kIoNotifyPath[] = "/com/norvale/Hearth/IoNotify";
inline constexpr char kDnsResolverPath[] = "/com/norvale/Hearth/DnsResolver";
inline constexpr char kFileManagerPath[] = "/com/norvale/Hearth/FileMgr";
// What an object-valued answer is when there is no object to name (Nothing).
inline constexpr char kNothingPath[] = "/";

inline constexpr char kApplicationInterface[] = "com.norvale.Hearth.Application";
inline constexpr char kSettingsInterface[] = "com.norvale.Hearth.cSettings";
inline constexpr char kIoNotifyInterface[] = "com.norvale.Hearth.cIoNotify";
inline constexpr char kDnsResolverInterface[] = "com.norvale.Hearth.cDnsResolver";
inline constexpr char kFileManagerInterface[] = "com.norvale.Hearth.cFileMgr";

// Errors of our own; the bus's standard ones (AccessDenied, InvalidArgs,
// UnknownMethod) are used where they fit.
inline constexpr char kErrorFailed[] = "com.norvale.Hearth.Error.Failed";
inline constexpr char kErrorNotAvailable[] = "com.norvale.Hearth.Error.NotAvailable";
// A store-file operation runs: one at a time.
inline constexpr char kErrorBusy[] = "com.norvale.Hearth.Error.Busy";
inline constexpr char kErrorAccessDenied[] = "org.freedesktop.DBus.Error.AccessDenied";
inline constexpr char kErrorInvalidArgs[] = "org.freedesktop.DBus.Error.InvalidArgs";

// Members of this group (and root) may call everything.
inline constexpr char kAccessGroup[] = "hearth";

// Where the system bus is when DBUS_SYSTEM_BUS_ADDRESS does not say.
inline constexpr char kDefaultSystemBusAddress[] = "unix:path=/run/dbus/system_bus_socket";

}  // namespace bus
