#include "plugins/ionotify/plugin_hosts.h"

#include <mutex>

#include "plugins/notify/feature_plugins.h"

namespace plugins::ionotify {
namespace {

std::mutex lookup_mutex;
PluginHostLookup& Lookup() {
  static PluginHostLookup* lookup = new PluginHostLookup();
  return *lookup;
}

}  // namespace

platform::com::ObjectPtr FindPluginHost(std::string_view progid) {
  PluginHostLookup lookup;
  {
    std::lock_guard lock(lookup_mutex);
    lookup = Lookup();
  }
  return lookup ? lookup(progid) : FeaturePluginHost(progid);
}

PluginHostLookup SetPluginHostLookup(PluginHostLookup lookup) {
  std::lock_guard lock(lookup_mutex);
  PluginHostLookup previous = std::move(Lookup());
  Lookup() = std::move(lookup);
  return previous;
}

}  // namespace plugins::ionotify
