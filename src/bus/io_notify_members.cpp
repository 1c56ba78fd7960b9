// The shared cIoNotify object on the bus. Members that take or give objects
// other than the resolver (IoCreate and PostToReportLog take XML elements,
// ResClient a branding resolver) have no bus form; the rest are here, with
// their by-reference arguments as answers.
#include "bus/bus_names.h"
#include "bus/member_table.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "plugins/action_message/action_elements.h"

// The tables name only the fields a member needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bus {
namespace {

using platform::Variant;

std::vector<Variant> Empties(size_t count) { return std::vector<Variant>(count); }

// An action message that starts a program ("runprogram", "launchprocess")
// would run it as root: only root may send one. The message is read with
// the dispatcher's own reader, so the two agree on what it holds.
constexpr char kProgramsNeedRoot[] =
    "a message that starts a program (runprogram, launchprocess) or reads secure log entries (getsecurelog) needs root";

// The secure log entries name users and the addresses they visited; on disk
// only root may read them (0600), and the bus does not widen that.
constexpr char kEntriesNeedRoot[] = "the entries name users and the addresses they visited";

// The secure log members answer -1 with the reason as their one entry when
// the log could not be read: the caller hears that, not an empty log.
std::optional<std::string> UnreadableLog(const Variant& result, const std::vector<Variant>& args) {
  if (!result.IsNumber() || platform::CLng(result) >= 0) return std::nullopt;
  std::string why = "the secure log cannot be read";
  platform::Quietly([&] { why = platform::CStr(args.at(1).Items().at(0)); });
  return why;
}

AccessNeed MessageNeed(const Variant& message) {
  if (!message.IsString()) return {Access::kAct, {}};
  if (plugins::action_message::MessageStartsAProgram(message.StringValue())) {
    return {Access::kRoot, "the message starts a program"};
  }
  for (const std::string& type : plugins::action_message::ActionTypes(message.StringValue())) {
    if (type == "getsecurelog") return {Access::kRoot, "the message reads secure log entries"};
  }
  return {Access::kAct, {}};
}

AccessNeed ReportLogNeed(const std::vector<Variant>& args) {
  // IoWriteReportLog("XMLACTION", ...) is DoXMLAction on its message.
  if (args.size() < 3 || !args[0].IsString() || args[0].StringValue() != "XMLACTION") return {Access::kAct, {}};
  return MessageNeed(args[2]);
}

AccessNeed FirstArgumentNeed(const std::vector<Variant>& args) {
  return args.empty() ? AccessNeed{Access::kAct, {}} : MessageNeed(args[0]);
}

}  // namespace

const BusInterface& IoNotifyInterface() {
  static const BusInterface table{
      kIoNotifyInterface,
      {
          {.name = "IoPostAlert", .in = "syssssbibvs",
           .in_names = {"StoreName", "Severity", "Summary", "Description", "AlertID", "ActionIDs", "fHideFromUser",
                        "RecordIndex", "ShowPrivOnly", "EventTime", "Tag"},
           .out = "biv", .out_names = {"posted", "RecordIndex", "EventTime"}, .access = Access::kAct,
           .outputs = {kResult, 7, 9}},
          {.name = "IoWriteSystemLog", .in = "s", .in_names = {"lin"}, .access = Access::kAct},
          {.name = "IoUpdateAlert", .in = "iysb",
           .in_names = {"AlertIndex", "SeverityDelta", "AddToDescription", "ResetUserStatus"}, .out = "b",
           .out_names = {"updated"}, .access = Access::kAct},
          {.name = "IoWriteReportLog", .in = "sys", .in_names = {"LogName", "Severity", "Message"},
           .access = Access::kAct, .access_why = kProgramsNeedRoot, .access_by_args = ReportLogNeed},
          {.name = "IoWriteXMLAction", .in = "s", .in_names = {"Message"}, .access = Access::kAct,
           .access_why = kProgramsNeedRoot, .access_by_args = FirstArgumentNeed},
          {.name = "GetFeaturePluginStatus", .in = "ss", .in_names = {"ProgID", "featureName"}, .out = "v",
           .out_names = {"status"}},
          {.name = "NotifyFeaturePlugins", .in = "ib", .in_names = {"nt", "fUserSettingsAlsoChanged"},
           .access = Access::kAct},
          {.name = "GetFileManager", .out = "o", .out_names = {"fileManager"}},
          {.name = "GetDnsResolver", .out = "o", .out_names = {"resolver"}},
          {.name = "CancelAllDNSRequests", .access = Access::kAct},
          {.name = "DoXMLAction", .in = "s", .in_names = {"strXML"}, .out = "s", .out_names = {"strXML"},
           .access = Access::kAct, .access_why = kProgramsNeedRoot, .access_by_args = FirstArgumentNeed, .outputs = {0}},
          {.name = "IoNewAlert", .in = "s", .in_names = {"AlertStoreName"}, .out = "b", .out_names = {"any"}},
          {.name = "IoGetAlertIndicesAll", .in = "s", .in_names = {"StoreName"}, .out = "iai",
           .out_names = {"count", "AlertIndex"}, .outputs = {kResult, 1},
           .extra = [](CallContext&) { return Empties(1); }},
          {.name = "IoAnyAlerts", .in = "s", .in_names = {"StoreName"}, .out = "b", .out_names = {"any"}},
          {.name = "IoGetAlertIndices", .in = "sbs", .in_names = {"StoreName", "NoSysProcOnly", "EventID"},
           .out = "iai", .out_names = {"count", "AlertIndex"}, .outputs = {kResult, 1},
           .extra = [](CallContext&) { return Empties(1); }, .extra_at = 1},
          {.name = "IoGetAlert", .in = "i", .in_names = {"AlertIndex"}, .out = "bvvvvvvvvv",
           .out_names = {"found", "Severity", "Summary", "Description", "AlertID", "ActionIDs", "UserProc",
                         "EventDateTime", "SysProc", "Tag"},
           .outputs = {kResult, 1, 2, 3, 4, 5, 6, 7, 8, 9}, .extra = [](CallContext&) { return Empties(9); }},
          {.name = "IoChangeAlertDescription", .in = "is", .in_names = {"AlertIndex", "NewDescription"}, .out = "b",
           .out_names = {"changed"}, .access = Access::kAct},
          {.name = "IoDeleteAlert", .in = "i", .in_names = {"AlertIndex"}, .out = "b", .out_names = {"deleted"},
           .access = Access::kAct},
          {.name = "IoRemoveDeletedAlerts", .in = "v", .in_names = {"StoreName"}, .out = "b",
           .out_names = {"removed"}, .access = Access::kAct},
          {.name = "IoSetAlertSysProc", .in = "i", .in_names = {"AlertIndex"}, .out = "b", .out_names = {"set"},
           .access = Access::kAct},
          {.name = "IoSetAlertUserProc", .in = "i", .in_names = {"AlertIndex"}, .out = "b", .out_names = {"set"},
           .access = Access::kAct},
          {.name = "IoSetAlertDeleted", .in = "i", .in_names = {"AlertIndex"}, .out = "b", .out_names = {"set"},
           .access = Access::kAct},
          {.name = "IoAnyPrivacyEntries", .out = "b", .out_names = {"any"}},
          {.name = "IoDeleteLog", .in = "s", .in_names = {"LogName"}, .access = Access::kAct},
          {.name = "IoBrandNewAlerts", .in = "s", .in_names = {"StoreName"}, .out = "b", .out_names = {"any"}},
          {.name = "IoUpdateAlert2", .in = "iysbs",
           .in_names = {"AlertIndex", "SeverityDelta", "AddToDescription", "ResetUserStatus", "AddToActionIDs"},
           .out = "b", .out_names = {"updated"}, .access = Access::kAct},
          {.name = "IoGetPrivacyReport", .out = "s", .out_names = {"report"}},
          {.name = "IoGetAlertStores", .out = "ias", .out_names = {"count", "StoreName"}, .outputs = {kResult, 0},
           .extra = [](CallContext&) { return Empties(1); }},
          {.name = "IoGetSecureLogs", .out = "iasaiaiasas",
           .out_names = {"count", "LogName", "Entries", "Unread", "State", "Problem"},
           .outputs = {kResult, 0, 1, 2, 3, 4}, .extra = [](CallContext&) { return Empties(5); }},
          {.name = "IoGetSecureLogEntries", .in = "s", .in_names = {"LogName"}, .out = "iasi",
           .out_names = {"count", "Entry", "Unread"}, .access = Access::kRoot, .access_why = kEntriesNeedRoot,
           .outputs = {kResult, 1, 2}, .extra = [](CallContext&) { return Empties(2); }, .failure = UnreadableLog},
          {.name = "IoMarkSecureLogRead", .in = "s", .in_names = {"LogName"}, .out = "ias",
           .out_names = {"count", "Entry"}, .access = Access::kRoot, .access_why = kEntriesNeedRoot,
           .outputs = {kResult, 1}, .extra = [](CallContext&) { return Empties(1); }, .failure = UnreadableLog},
          {.name = "IoVerifySecureLog", .in = "ss", .in_names = {"LogName", "VerificationKey"}, .out = "bas",
           .out_names = {"verifies", "Findings"}, .outputs = {kResult, 2},
           .extra = [](CallContext&) { return Empties(1); }},
          {.name = "IoGetFeaturePlugins", .out = "iasaiasas",
           .out_names = {"count", "ProgID", "Rank", "Resolves", "Status"}, .outputs = {kResult, 0, 1, 2, 3},
           .extra = [](CallContext&) { return Empties(4); }},
      },
      {
          {.name = "AlertChanged", .signature = "is", .names = {"AlertIndex", "Change"}},
      },
  };
  return table;
}

}  // namespace bus
