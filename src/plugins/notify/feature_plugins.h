// modIoCoreEvents: the feature plug-in collection of the calling thread and
// the operations on it. The collection does not exist until the plug-in list
// is read (and a plug-in added) or DestroyIOPluginData replaces it by an
// empty one. Keys are ProgIDs, compared without regard to letter case;
// plug-ins are kept, created and notified in rank order.
//
//   plugins::QueryFeaturePlugins();          // at service start
//   plugins::NotifyFeaturePlugins(typelib::OnStartup, system, user);   // notify_feature_plugins.h
//   bool ok = plugins::GetFeaturePluginStatus("Norv.Av", "realtime");
//   plugins::DestroyIOPluginData();          // at the end of the run
//
// Every operation contains its errors and logs to the system log.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/object_fwd.h"
#include "platform/xml/node.h"

namespace plugins {

class cPluginHost;

bool FeaturePluginsExist();
// The number of plug-ins in the collection; 0 when it does not exist.
std::size_t FeaturePluginCount();
// The hosts in collection order (a copy: safe to walk while plug-ins change
// the collection).
std::vector<std::shared_ptr<cPluginHost>> FeaturePluginHosts();

// The cPluginHost of the loaded plug-in with that ProgID (any letter case);
// Nothing when there is none. The scheduled plug-in calls reach a plug-in's
// DoNotify through it.
platform::com::ObjectPtr FeaturePluginHost(std::string_view progid);

// Builds the collection from the "plugins/system" list in rank order,
// sending no event.
void QueryFeaturePlugins();
// Adds the listed plug-ins that are not loaded yet (ProgIDs compared exactly)
// and sends each new one OnStartup alone.
void RequeryFeaturePlugins();

// The plug-in's own status answer ("status OK"/"status NOT ok" logged); false
// when no such plug-in is loaded. `SubStatus` is handed over as a copy.
bool GetFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus);
// The same answer asked without a log line, for a console that reads every
// plug-in's status each time it shows them; nullopt when no such plug-in is
// loaded.
std::optional<bool> AskFeaturePluginStatus(const std::string& ProgID, const std::string& SubStatus);
// The plug-in's data object; Nothing when there is none or no such plug-in.
platform::com::ObjectPtr GetFeaturePluginData(const std::string& ProgID);

// Replaces the collection by an empty one (releasing every plug-in), cancels
// the shared cIoNotify's name lookups and releases it, and logs "destroyed io
// plugin data". Run by ShutdownAll at the end of a run.
void DestroyIOPluginData();

// A new element named as `element` holding deep copies of its children
// ordered by the whole-number attribute, smallest first; equal values come
// in reverse document order. Children whose attribute is missing, not a
// number, zero or negative are left out (one log line names them).
platform::xml::Node SortChildrenByAttribute(const platform::xml::Node& element, std::string_view attribute);
// The same without the log line: the children left out are handed back.
platform::xml::Node SortChildrenQuietly(const platform::xml::Node& element, std::string_view attribute,
                                        std::vector<platform::xml::Node>* left_out);

}  // namespace plugins
