// Where feature initialisation asks the plug-in registry for plug-ins that
// are listed but not yet loaded (a newly initialised feature may bring one).
#pragma once

namespace service {

// Loads and starts listed plug-ins that are not loaded yet.
void RequeryFeaturePluginsForFeatures();

}  // namespace service
