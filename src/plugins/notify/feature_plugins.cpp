#include "plugins/notify/feature_plugins.h"

#include <utility>

#include "platform/basic/err.h"
#include "platform/com/names.h"
#include "platform/com/object.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/notify/feature_plugins_state.h"
#include "plugins/notify/shared_io_notify.h"
#include "systemlog/system_log.h"

namespace plugins {

FeaturePluginsState& ThreadFeaturePlugins() {
  thread_local FeaturePluginsState state;
  return state;
}

std::shared_ptr<cPluginHost> FeaturePluginsState::Find(std::string_view key) const {
  for (const Entry& entry : entries) {
    if (platform::com::NameEqual()(entry.key, key)) return entry.host;
  }
  return nullptr;
}

void FeaturePluginsState::Add(std::string key, std::shared_ptr<cPluginHost> host) {
  exists = true;
  if (Find(key)) platform::RaiseError(kErrDuplicateKey, "This key is already associated with an element of this collection");
  entries.push_back(Entry{std::move(key), std::move(host)});
}

bool FeaturePluginsExist() { return ThreadFeaturePlugins().exists; }

std::size_t FeaturePluginCount() { return ThreadFeaturePlugins().entries.size(); }

std::vector<std::shared_ptr<cPluginHost>> FeaturePluginHosts() {
  std::vector<std::shared_ptr<cPluginHost>> hosts;
  for (const auto& entry : ThreadFeaturePlugins().entries) hosts.push_back(entry.host);
  return hosts;
}

platform::com::ObjectPtr FeaturePluginHost(std::string_view progid) { return ThreadFeaturePlugins().Find(progid); }

void DestroyIOPluginData() {
  platform::Step([] {
    // Swapped out first: a plug-in's destructor that reaches the registry
    // sees the new, empty collection.
    std::vector<FeaturePluginsState::Entry> old;
    FeaturePluginsState& state = ThreadFeaturePlugins();
    std::swap(old, state.entries);
    state.exists = true;
    old.clear();
  });
  platform::Step([] {
    platform::com::ObjectPtr io_notify = GetSharedIoNotify();
    if (io_notify) platform::com::CallByName(io_notify, "CancelAllDNSRequests");
  });
  ReleaseSharedIoNotify();
  service::WriteSystemLog("destroyed io plugin data");
  platform::Err::Clear();
}

}  // namespace plugins
