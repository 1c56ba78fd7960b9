// Where the scheduled plug-in calls find a plug-in's host: the plug-in
// registry's FeaturePluginHost, unless a test puts another lookup in.
#pragma once

#include <functional>
#include <string_view>

#include "platform/com/object_fwd.h"

namespace plugins::ionotify {

using PluginHostLookup = std::function<platform::com::ObjectPtr(std::string_view progid)>;

// The host of the loaded plug-in with that ProgID; Nothing when none.
platform::com::ObjectPtr FindPluginHost(std::string_view progid);
// Installs a lookup (empty: the registry's) and returns the one it replaces.
PluginHostLookup SetPluginHostLookup(PluginHostLookup lookup);

}  // namespace plugins::ionotify
