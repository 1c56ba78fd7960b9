// The outgoing interface __Application: the events the Application object
// raises to its connected clients, with their dispatch identifiers.
#pragma once

#include "platform/com/object.h"

namespace service {

inline constexpr platform::com::DispId kDispIdOnStartup = 1;
inline constexpr platform::com::DispId kDispIdOnShutdown = 2;
// Declared for clients (arguments OldUserID, NewUserID); never raised.
inline constexpr platform::com::DispId kDispIdOnUserSwitch = 3;
inline constexpr platform::com::DispId kDispIdOnUserSettingsChange = 4;
inline constexpr platform::com::DispId kDispIdOnSettingsChange = 5;

inline constexpr char kEventOnStartup[] = "OnStartup";
inline constexpr char kEventOnShutdown[] = "OnShutdown";
inline constexpr char kEventOnUserSwitch[] = "OnUserSwitch";
inline constexpr char kEventOnUserSettingsChange[] = "OnUserSettingsChange";
inline constexpr char kEventOnSettingsChange[] = "OnSettingsChange";

}  // namespace service
