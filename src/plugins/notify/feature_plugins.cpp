#include "plugins/notify/feature_plugins.h"

#include "service/log/system_log.h"

namespace plugins {
namespace {

struct FeaturePluginsState {
  bool exists = false;
};

FeaturePluginsState& State() {
  thread_local FeaturePluginsState state;
  return state;
}

}  // namespace

bool FeaturePluginsExist() { return State().exists; }

std::size_t FeaturePluginCount() { return 0; }

platform::com::ObjectPtr FeaturePluginHost(std::string_view) { return nullptr; }

void DestroyIOPluginData() {
  State().exists = true;
  service::WriteSystemLog("destroyed io plugin data");
}

}  // namespace plugins
