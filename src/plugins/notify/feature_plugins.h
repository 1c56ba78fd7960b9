// The feature plug-in collection of the calling thread, as far as a system
// without loaded plug-ins has one: it does not exist until the plug-in list
// is read or DestroyIOPluginData replaces it by an empty one.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/com/object_fwd.h"

namespace plugins {

bool FeaturePluginsExist();
// The number of plug-ins in the collection; 0 when it does not exist.
std::size_t FeaturePluginCount();

// The cPluginHost of the loaded plug-in with that ProgID (any letter case);
// Nothing when there is none. The scheduled plug-in calls reach a plug-in's
// DoNotify through it.
platform::com::ObjectPtr FeaturePluginHost(std::string_view progid);

// Replaces the collection by an empty one (releasing every plug-in) and
// logs "destroyed io plugin data". Run by ShutdownAll at the end of a run.
void DestroyIOPluginData();

}  // namespace plugins
