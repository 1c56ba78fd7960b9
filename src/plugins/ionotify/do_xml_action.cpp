// DoXMLAction: runs the "action" children of an XML message in document
// order and replaces the message by the reply.
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/basic/err.h"
#include "platform/xml/document.h"
#include "plugins/action_message/action_elements.h"
#include "plugins/ionotify/action_effects.h"
#include "plugins/ionotify/actions.h"
#include "plugins/ionotify/io_notify.h"

namespace plugins::ionotify {
namespace {

// An action that ends the message answers its reply; the others answer
// nothing.
using ActionRoutine = std::function<std::optional<std::string>(cIoNotify& io, const Node& action)>;

template <class F>
ActionRoutine Runs(F routine) {
  return [routine](cIoNotify& io, const Node& action) -> std::optional<std::string> {
    routine(io, action);
    return std::nullopt;
  };
}

template <class F>
ActionRoutine Effect(F member) {
  return [member](cIoNotify&, const Node&) -> std::optional<std::string> {
    ActionEffects effects = CurrentActionEffects();
    (effects.*member)();
    return std::nullopt;
  };
}

// Action names compare exactly: "Settings" is not "settings".
const std::unordered_map<std::string_view, ActionRoutine>& ActionTable() {
  static const auto* table = new std::unordered_map<std::string_view, ActionRoutine>{
      {"logalert", Runs(LogAlertAction)},
      {"logsession", Runs([](cIoNotify&, const Node&) {})},
      {"settings", Runs(SettingsAction)},
      {"syncusers", Runs([](cIoNotify&, const Node& action) { CurrentActionEffects().sync_users(action); })},
      {"runprogram", Runs(RunProgramAction)},
      {"getsecurelog",
       [](cIoNotify& io, const Node& action) -> std::optional<std::string> {
         std::string reply;
         platform::Step([&] { reply = GetSecureLogEntries(io, action); });
         return reply;
       }},
      {"dumpimdblogs", Effect(&ActionEffects::dump_alert_store)},
      {"clearsecurelog", Runs(ClearSecureLogAction)},
      {"resetbranding", Runs([](cIoNotify& io, const Node&) { ResetBrandingAction(io); })},
      {"updateschedule", Runs(UpdateScheduleAction)},
      {"getscheduleevent",
       [](cIoNotify& io, const Node& action) -> std::optional<std::string> {
         std::string reply;
         platform::Step([&] { reply = GetScheduleEventAction(io, action); });
         return reply;
       }},
      {"synctime", Effect(&ActionEffects::synchronize_time)},
      {"clearavlog", Effect(&ActionEffects::clear_av_scan_history)},
      {"clearaslog", Effect(&ActionEffects::clear_as_scan_history)},
      {"clearfwlog", Effect(&ActionEffects::clear_firewall_logs)},
      {"clearkavlog", Effect(&ActionEffects::clear_av_scan_history)},
      {"updatetimebudgetsettings", Runs([](cIoNotify& io, const Node&) { UpdateTimeBudgetSettingsAction(io); })},
      {"alertpost", Runs(AlertPostAction)},
      {"launchprocess", Runs(LaunchProcessAction)},
      {"settimeformats", Runs(SetTimeFormatsAction)},
  };
  return *table;
}

}  // namespace

void cIoNotify::DoXMLAction(std::string& strXML) {
  if (Tracing()) Trace("DoXMLAction received xml: \r\n" + strXML);
  platform::xml::Document document = platform::xml::Document::FreeThreaded();
  if (!document.LoadXml(strXML)) {
    if (Tracing()) Trace("DoXMLAction - Invalid or missing xml in '" + strXML + "'");
  } else {
    // The actions are taken first: an action may change the document.
    const std::vector<Node> actions = action_message::ActionElements(document.DocumentElement());
    for (const Node& action : actions) {
      const std::string type = action.GetAttribute("type");
      if (Tracing()) Trace("DoXMLAction - Executing action '" + type + "'");
      auto found = ActionTable().find(type);
      if (found == ActionTable().end()) {
        if (Tracing()) Trace("DoXMLAction - Invalid or missing action in '" + strXML + "'");
        continue;
      }
      std::optional<std::string> reply;
      platform::Step([&] { reply = found->second(*this, action); });
      platform::Err::Clear();
      if (reply) {
        strXML = *reply;
        return;
      }
    }
  }
  strXML = document.Xml();
}

}  // namespace plugins::ionotify
