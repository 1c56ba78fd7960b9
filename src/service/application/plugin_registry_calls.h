// Where the Application object reaches the feature plug-in registry: the
// shared cIoNotify object and the status and data of one plug-in.
#pragma once

#include <string>

#include "platform/com/object_fwd.h"

namespace service::plugin_registry {

// The one cIoNotify object, created on first use.
platform::com::ObjectPtr GetSharedIoNotify();

// The plug-in's status (SubStatus is handed to it as a copy).
bool GetFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus);

// The plug-in's data object.
platform::com::ObjectPtr GetFeaturePluginData(const std::string& ProgID);

}  // namespace service::plugin_registry
