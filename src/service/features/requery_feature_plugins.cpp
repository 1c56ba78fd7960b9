#include "service/features/requery_feature_plugins.h"

#include "plugins/notify/feature_plugins.h"

namespace service {

void RequeryFeaturePluginsForFeatures() { plugins::RequeryFeaturePlugins(); }

}  // namespace service
