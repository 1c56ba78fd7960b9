// The calling thread's plug-in collection (module state of the registry).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plugins {

class cPluginHost;

// The collection's error for a key it already holds.
inline constexpr int32_t kErrDuplicateKey = 457;

struct FeaturePluginsState {
  struct Entry {
    std::string key;
    std::shared_ptr<cPluginHost> host;
  };
  bool exists = false;
  std::vector<Entry> entries;  // insertion order

  // The host under the key (any letter case), or null.
  std::shared_ptr<cPluginHost> Find(std::string_view key) const;
  // Makes the collection exist and adds; raises 457 for a key it holds.
  void Add(std::string key, std::shared_ptr<cPluginHost> host);
};

FeaturePluginsState& ThreadFeaturePlugins();

}  // namespace plugins
