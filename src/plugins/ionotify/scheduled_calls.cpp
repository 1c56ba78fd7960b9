// The scheduler and time-budget plug-ins, reached through their hosts'
// DoNotify: "updateschedule", "getscheduleevent", "updatetimebudgetsettings".
#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "plugins/ionotify/actions.h"
#include "plugins/ionotify/plugin_hosts.h"

namespace plugins::ionotify {
namespace {

constexpr char kSchedulerProgId[] = "NorvSched201.cServicePlugin";
constexpr char kTimeBudgetProgId[] = "NorvTimeBudget.cPluginHelper";

// DoNotify on the plug-in's host; does nothing when the plug-in is not
// loaded. Raises what the plug-in raises.
void DoNotify(const char* progid, const std::string& name, platform::Variant& param1, platform::Variant& param2) {
  platform::com::ObjectPtr host = FindPluginHost(progid);
  if (host == nullptr) return;
  std::vector<platform::Variant> args{platform::Variant(name), param1, param2};
  platform::com::CallByName(host, "DoNotify", args);
  param1 = args[1];
  param2 = args[2];
}

std::string FirstChildXml(const Node& action) {
  Node first = action.FirstChild();
  return first ? first.Xml() : std::string();
}

}  // namespace

void UpdateScheduleAction(cIoNotify& /*io*/, const Node& action) {
  platform::Variant param1(FirstChildXml(action));
  platform::Variant param2 = platform::Variant::Nothing();
  DoNotify(kSchedulerProgId, "UpdateSchedule", param1, param2);
}

std::string GetScheduleEventAction(cIoNotify& /*io*/, const Node& action) {
  platform::Variant param1(FirstChildXml(action));
  platform::Variant param2{std::string()};
  platform::Quietly([&] { DoNotify(kSchedulerProgId, "GetScheduleEvent", param1, param2); });
  std::string answer;
  platform::Quietly([&] { answer = platform::CStr(param2); });
  return answer;
}

void UpdateTimeBudgetSettingsAction(cIoNotify& /*io*/) {
  platform::Variant param1 = platform::Variant::Nothing();
  platform::Variant param2 = platform::Variant::Nothing();
  DoNotify(kTimeBudgetProgId, "UpdateSettings", param1, param2);
}

}  // namespace plugins::ionotify
