// cIoNotify's public dispatch interface, in slot order (the member ids are
// the slot numbers). Arguments are converted here; a conversion that fails
// is contained like any other error, and the member answers its failure
// value.
#include <string>

#include "alerts/mod_alert.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/xml_element_object.h"

namespace plugins::ionotify {
namespace {

using platform::CBool;
using platform::CByte;
using platform::CLng;
using platform::CStr;
using platform::Variant;
using platform::com::ArgRange;
using platform::com::Args;
using platform::com::HasArg;
using Self = cIoNotify;

template <class F>
Variant Contain(Variant failed, F&& body) {
  Variant result = failed;
  platform::Quietly([&] { result = Variant(body()); });
  return result;
}

template <class F>
void ContainVoid(F&& body) {
  platform::Quietly(std::forward<F>(body));
}

std::string OptStr(Args args, size_t i) { return HasArg(args, i) ? CStr(args[i]) : std::string(); }
bool OptBool(Args args, size_t i) { return HasArg(args, i) && CBool(args[i]); }

Variant IoPostAlertCall(Self& self, Args args) {
  return Contain(false, [&] {
    int32_t record_index = HasArg(args, 7) ? CLng(args[7]) : 0;
    double event_time = HasArg(args, 9) ? platform::CDate(args[9]) : alerts::kNoEventTime;
    bool posted = self.IoPostAlert(CStr(args[0]), CByte(args[1]), CStr(args[2]), CStr(args[3]), CStr(args[4]),
                                   CStr(args[5]), OptBool(args, 6), record_index, OptBool(args, 8), event_time,
                                   OptStr(args, 10));
    if (HasArg(args, 7)) args[7] = Variant(record_index);
    if (HasArg(args, 9)) args[9] = Variant::Date(event_time);
    return posted;
  });
}

Variant IoGetAlertCall(Self& self, Args args) {
  return Contain(false, [&] {
    Variant severity, summary, description, alert_id, action_ids, user_proc, event_date_time, sys_proc, tag;
    bool found = self.IoGetAlert(CLng(args[0]), severity, summary, description, alert_id, action_ids, user_proc,
                                 event_date_time, sys_proc, tag);
    if (!found) return false;
    Variant* outs[] = {&severity, &summary, &description, &alert_id, &action_ids,
                       &user_proc, &event_date_time, &sys_proc, &tag};
    for (size_t i = 1; i < args.size() && i <= 9; ++i) {
      if (!args[i].IsMissing()) args[i] = *outs[i - 1];
    }
    return true;
  });
}

}  // namespace

const platform::com::DispatchTable* cIoNotify::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Self>({
      {1, "ResClient", platform::com::kPut,
       [](Self& self, Variant& value) {
         ContainVoid([&] { self.SetResClient(value.IsObject() ? value.ObjectValue() : nullptr); });
       }},
      {1, "ResClient", 0, [](Self& self) { return Variant(self.ResClient()); }},
      {3, "IoPostAlert", ArgRange{6, 11}, IoPostAlertCall},
      {4, "IoWriteSystemLog", ArgRange{1, 2},
       [](Self& self, Args args) { ContainVoid([&] { self.IoWriteSystemLog(CStr(args[0])); }); }},
      {5, "IoUpdateAlert", 4,
       [](Self& self, Args args) {
         return Contain(false, [&] {
           return self.IoUpdateAlert(CLng(args[0]), CByte(args[1]), CStr(args[2]), CBool(args[3]));
         });
       }},
      {6, "IoWriteReportLog", 3,
       [](Self& self, Args args) {
         ContainVoid([&] { self.IoWriteReportLog(CStr(args[0]), CByte(args[1]), CStr(args[2])); });
       }},
      {7, "IoWriteXMLAction", 1, [](Self& self, Args args) { ContainVoid([&] { self.IoWriteXMLAction(CStr(args[0])); }); }},
      {8, "ThreadSafeSharedData", 0, [](Self& self) { return Variant(self.ThreadSafeSharedData()); }},
      {9, "GetFeaturePluginStatus", 2,
       [](Self& self, Args args) {
         return Contain(false, [&] { return self.GetFeaturePluginStatus(CStr(args[0]), CStr(args[1])); });
       }},
      {10, "NotifyFeaturePlugins", ArgRange{1, 3},
       [](Self& self, Args args) {
         ContainVoid([&] { self.NotifyFeaturePlugins(static_cast<typelib::NotifyType>(CLng(args[0])), OptBool(args, 1)); });
       }},
      {11, "GetFileManager", 0, [](Self& self) { return Variant(self.GetFileManager()); }},
      {12, "GetDnsResolver", 0, [](Self& self) { return Variant(self.GetDnsResolver()); }},
      {13, "CancelAllDNSRequests", 0, [](Self& self) { self.CancelAllDNSRequests(); }},
      {14, "DoXMLAction", 1,
       [](Self& self, Args args) {
         ContainVoid([&] {
           std::string message = CStr(args[0]);
           self.DoXMLAction(message);
           args[0] = Variant(message);
         });
       }},
      {15, "IoCreate", 1,
       [](Self& self, Args args) {
         platform::com::ObjectPtr object;
         ContainVoid([&] { object = self.IoCreate(XmlNodeOf(args[0])); });
         return Variant(object);
       }},
      {16, "PostToReportLog", 1, [](Self& self, Args args) { ContainVoid([&] { self.PostToReportLog(XmlNodeOf(args[0])); }); }},
      {17, "IoNewAlert", 1, [](Self& self, Args args) { return Contain(false, [&] { return self.IoNewAlert(CStr(args[0])); }); }},
      {18, "IoGetAlertIndicesAll", 2,
       [](Self& self, Args args) { return Contain(0, [&] { return self.IoGetAlertIndicesAll(CStr(args[0]), args[1]); }); }},
      {19, "IoAnyAlerts", 1, [](Self& self, Args args) { return Contain(false, [&] { return self.IoAnyAlerts(CStr(args[0])); }); }},
      {20, "IoGetAlertIndices", ArgRange{2, 4},
       [](Self& self, Args args) {
         return Contain(0, [&] {
           return self.IoGetAlertIndices(CStr(args[0]), args[1], OptBool(args, 2), OptStr(args, 3));
         });
       }},
      {21, "IoGetAlert", ArgRange{4, 10}, IoGetAlertCall},
      {22, "IoChangeAlertDescription", 2,
       [](Self& self, Args args) {
         return Contain(false, [&] { return self.IoChangeAlertDescription(CLng(args[0]), CStr(args[1])); });
       }},
      {23, "IoDeleteAlert", 1, [](Self& self, Args args) { return Contain(false, [&] { return self.IoDeleteAlert(CLng(args[0])); }); }},
      {24, "IoRemoveDeletedAlerts", 1,
       [](Self& self, Args args) { return Contain(false, [&] { return self.IoRemoveDeletedAlerts(args[0]); }); }},
      {25, "IoSetAlertSysProc", 1,
       [](Self& self, Args args) { return Contain(false, [&] { return self.IoSetAlertSysProc(CLng(args[0])); }); }},
      {26, "IoSetAlertUserProc", 1,
       [](Self& self, Args args) { return Contain(false, [&] { return self.IoSetAlertUserProc(CLng(args[0])); }); }},
      {27, "IoSetAlertDeleted", 1,
       [](Self& self, Args args) { return Contain(false, [&] { return self.IoSetAlertDeleted(CLng(args[0])); }); }},
      {28, "IoAnyPrivacyEntries", 0, [](Self& self) { return self.IoAnyPrivacyEntries(); }},
      {29, "IoDeleteLog", 1, [](Self& self, Args args) { ContainVoid([&] { self.IoDeleteLog(CStr(args[0])); }); }},
      {30, "IoBrandNewAlerts", 1,
       [](Self& self, Args args) { return Contain(false, [&] { return self.IoBrandNewAlerts(CStr(args[0])); }); }},
      {31, "IoUpdateAlert2", ArgRange{4, 5},
       [](Self& self, Args args) {
         return Contain(false, [&] {
           return self.IoUpdateAlert2(CLng(args[0]), CByte(args[1]), CStr(args[2]), CBool(args[3]), OptStr(args, 4));
         });
       }},
      {32, "IoGetPrivacyReport", 0, [](Self& self) { return self.IoGetPrivacyReport(); }},
      {33, "IoGetAlertStores", 1,
       [](Self& self, Args args) { return Contain(0, [&] { return self.IoGetAlertStores(args[0]); }); }},
      {34, "IoGetSecureLogs", 5,
       [](Self& self, Args args) {
         return Contain(0, [&] { return self.IoGetSecureLogs(args[0], args[1], args[2], args[3], args[4]); });
       }},
      {35, "IoGetSecureLogEntries", 3,
       [](Self& self, Args args) {
         return Contain(0, [&] {
           int32_t unread = 0;
           const int32_t count = self.IoGetSecureLogEntries(CStr(args[0]), args[1], unread);
           args[2] = Variant(unread);
           return count;
         });
       }},
      {36, "IoMarkSecureLogRead", 2,
       [](Self& self, Args args) { return Contain(0, [&] { return self.IoMarkSecureLogRead(CStr(args[0]), args[1]); }); }},
      {37, "IoVerifySecureLog", 3,
       [](Self& self, Args args) {
         return Contain(false, [&] { return self.IoVerifySecureLog(CStr(args[0]), CStr(args[1]), args[2]); });
       }},
      {38, "IoGetFeaturePlugins", 4,
       [](Self& self, Args args) {
         return Contain(0, [&] { return self.IoGetFeaturePlugins(args[0], args[1], args[2], args[3]); });
       }},
  });
  return &table;
}

}  // namespace plugins::ionotify
