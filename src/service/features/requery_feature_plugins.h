// Where feature initialisation asks the plug-in registry for plug-ins that
// are listed but not yet loaded (a newly initialised feature may bring one).
#pragma once

namespace service {

// Loads and starts listed plug-ins that are not loaded yet. Without a
// plug-in registry in the build there is nothing to load.
void RequeryFeaturePluginsForFeatures();

}  // namespace service
