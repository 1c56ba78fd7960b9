#include "service/features/requery_feature_plugins.h"

namespace service {

// The plug-in registry's RequeryFeaturePlugins goes here once it exists.
void RequeryFeaturePluginsForFeatures() {}

}  // namespace service
