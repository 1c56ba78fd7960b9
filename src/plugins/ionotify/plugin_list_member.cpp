// IoGetFeaturePlugins: the ranked "plugins/system" list as the service holds
// it, for a console: each ProgID's rank, where it resolves (looked up, not
// created) and the status of the plug-in the service created for it.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/xml/document.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/loader/progid_resolution.h"
#include "plugins/notify/feature_plugins.h"
#include "systemlog/system_log.h"

namespace plugins::ionotify {
namespace {

using platform::Variant;
using platform::VarType;

template <class T>
Variant ArrayOf(const std::vector<T>& values, VarType type) {
  return Variant::Array(std::vector<Variant>(values.begin(), values.end()), 0, type);
}

// A console reads the list each time it shows it: the system log hears of a
// plug-in's status when it is first read and when it changes, not per read.
void NoteStatus(std::map<std::string, std::string>& reported, const std::string& progid, const std::string& status) {
  auto [at, added] = reported.try_emplace(progid, status);
  if (!added && at->second == status) return;
  at->second = status;
  service::WriteSystemLog("IoGetFeaturePlugins: '" + progid + "' status " + status);
}

}  // namespace

int32_t cIoNotify::IoGetFeaturePlugins(Variant& ProgID, Variant& Rank, Variant& Resolves, Variant& Status) {
  int32_t count = 0;
  platform::Quietly([&] {
    std::string xml;
    platform::Step([&] { xml = contracts::Support().Branding()->ConfigurationXml("plugins/system", ""); });
    platform::xml::Document document;
    if (!document.LoadXml(xml) || !document.DocumentElement()) return;
    std::vector<platform::xml::Node> left_out;
    const platform::xml::Node sorted = SortChildrenQuietly(document.DocumentElement(), "rank", &left_out);
    std::vector<std::string> progids, resolves, statuses;
    std::vector<int32_t> ranks;
    for (platform::xml::Node entry = sorted.FirstChild(); entry; entry = entry.NextSibling()) {
      const std::string progid = entry.SelectSingleNode("progid").Text();
      progids.push_back(progid);
      int32_t rank = 0;
      platform::Quietly([&] { rank = platform::CLng(Variant(entry.GetAttribute("rank"))); });
      ranks.push_back(rank);
      resolves.push_back(progid.empty() ? std::string("no ProgID") : loader::WhereProgIdResolves(progid));
      const std::optional<bool> status = plugins::AskFeaturePluginStatus(progid, "");
      statuses.emplace_back(!status ? "not created" : *status ? "OK" : "NOT ok");
      NoteStatus(reported_plugin_status_, progid, statuses.back());
    }
    count = static_cast<int32_t>(progids.size());
    ProgID = ArrayOf(progids, VarType::kString);
    Rank = ArrayOf(ranks, VarType::kLong);
    Resolves = ArrayOf(resolves, VarType::kString);
    Status = ArrayOf(statuses, VarType::kString);
  });
  return count;
}

}  // namespace plugins::ionotify
