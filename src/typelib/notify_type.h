// The public enumerations of lifecycle events sent to the feature plug-ins,
// and of the outcome of an installation.
#pragma once

#include <cstdint>

namespace typelib {

enum NotifyType : int32_t {
  OnStartup = 0,
  OnShutdown = 1,
  OnUserSwitch = 2,
  OnSettingsChange = 3,
  OnUserSettingsChange = 4,
  OnGuiShutdown = 5,
  OnInstallStart = 6,
  OnInstallEnd = 7,
  OnDeviceChange = 8,
  OnUserLogoff = 9,
  OnUserLogon = 10,
};

enum InstallResultEnum : int32_t {
  InstallResultSuccess = 0,
  InstallResultFailure = 1,
  InstallResultAborted = 2,
};

}  // namespace typelib
