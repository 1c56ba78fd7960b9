// cIoNotify: the service object plug-ins receive as IoNotifyObject and
// clients obtain from Application.GetIoNotify. Through it they write to the
// system log, post and query alerts, ask plug-ins for their status, reach the
// file manager and the name resolver, share an XML document, create objects,
// and send XML action messages (DoXMLAction):
//
//   std::string message = "<m><action type='settings'><setting id='global.x'>1</setting></action></m>";
//   io_notify->DoXMLAction(message);   // message now holds the reply
//
// Every member contains its errors: failure reaches the caller as False, 0,
// Nothing or empty text, never as an error. Members run on the caller's
// thread; only ThreadSafeSharedData may be shared with other threads.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "platform/xml/document.h"
#include "typelib/notify_type.h"

namespace plugins::ionotify {

// The public dispatch interface and class of cIoNotify.
inline constexpr char kIoNotifyIid[] = "{F991D24C-1C7D-4D20-B79D-952488AFBE76}";
inline constexpr char kIoNotifyClsid[] = "{EE280F63-FD1F-4FB3-93E6-4A842E4F9454}";

class ObjectTable;

class cIoNotify : public platform::com::Object {
 public:
  // Reads "TraceLevel" of the product key once.
  cIoNotify();
  // Traces "In cIoNotify.Terminate", lets the resolver and file manager go.
  ~cIoNotify() override;

  std::string TypeName() const override { return "cIoNotify"; }

  // --- The object's own members (slot order) --------------------------------
  void SetResClient(const platform::com::ObjectPtr& resolver);
  platform::com::ObjectPtr ResClient();
  bool IoPostAlert(const std::string& StoreName, uint8_t Severity, const std::string& Summary,
                   const std::string& Description, const std::string& AlertID, const std::string& ActionIDs,
                   bool fHideFromUser, int32_t& RecordIndex, bool ShowPrivOnly, double& EventTime,
                   const std::string& Tag);
  void IoWriteSystemLog(const std::string& lin);
  bool IoUpdateAlert(int32_t AlertIndex, uint8_t SeverityDelta, const std::string& AddToDescription,
                     bool ResetUserStatus);
  void IoWriteReportLog(const std::string& LogName, uint8_t Severity, const std::string& Message);
  void IoWriteXMLAction(const std::string& Message);
  // The document element of the free-threaded shared document, as an XML
  // element object (xml_element_object.h).
  platform::com::ObjectPtr ThreadSafeSharedData();
  bool GetFeaturePluginStatus(const std::string& ProgID, const std::string& featureName);
  void NotifyFeaturePlugins(typelib::NotifyType nt, bool fUserSettingsAlsoChanged);
  // The file manager (cFileMgr), made on first use.
  platform::com::ObjectPtr GetFileManager();
  platform::com::ObjectPtr GetDnsResolver();
  void CancelAllDNSRequests();
  void DoXMLAction(std::string& strXML);
  platform::com::ObjectPtr IoCreate(const platform::xml::Node& FTNode);
  void PostToReportLog(const platform::xml::Node& AlertEntryEl);
  bool IoNewAlert(const std::string& AlertStoreName);
  int32_t IoGetAlertIndicesAll(const std::string& StoreName, platform::Variant& AlertIndex);
  bool IoAnyAlerts(const std::string& StoreName);
  int32_t IoGetAlertIndices(const std::string& StoreName, platform::Variant& AlertIndex, bool NoSysProcOnly,
                            const std::string& EventID);
  bool IoGetAlert(int32_t AlertIndex, platform::Variant& Severity, platform::Variant& Summary,
                  platform::Variant& Description, platform::Variant& AlertID, platform::Variant& ActionIDs,
                  platform::Variant& UserProc, platform::Variant& EventDateTime, platform::Variant& SysProc,
                  platform::Variant& Tag);
  bool IoChangeAlertDescription(int32_t AlertIndex, const std::string& NewDescription);
  bool IoDeleteAlert(int32_t AlertIndex);
  bool IoRemoveDeletedAlerts(const platform::Variant& StoreName);
  bool IoSetAlertSysProc(int32_t AlertIndex);
  bool IoSetAlertUserProc(int32_t AlertIndex);
  bool IoSetAlertDeleted(int32_t AlertIndex);
  bool IoAnyPrivacyEntries();
  void IoDeleteLog(const std::string& LogName);
  bool IoBrandNewAlerts(const std::string& StoreName);
  bool IoUpdateAlert2(int32_t AlertIndex, uint8_t SeverityDelta, const std::string& AddToDescription,
                      bool ResetUserStatus, const std::string& AddToActionIDs);
  std::string IoGetPrivacyReport();
  // Beyond the suite's own members, for a console: the stores that hold
  // alerts (to show every store at once), the secure logs and the plug-ins.
  int32_t IoGetAlertStores(platform::Variant& StoreName);
  // The secure logs (names in lower case, sorted) with their entry and unread
  // counts, "verifies" or "does not verify", and the first problem ("" when
  // it verifies; one that cannot be read is listed with why). Reads the
  // files; changes nothing.
  int32_t IoGetSecureLogs(platform::Variant& LogName, platform::Variant& Entries, platform::Variant& Unread,
                          platform::Variant& State, platform::Variant& Problem);
  // The log's entry count, and its entries, oldest first, and how many of
  // the newest are unread; nothing is marked. `Entry` holds the newest
  // entries whose text fits in one bus answer (16 MiB): all of them but for
  // a very large log. 0 when there is no such log; -1 when it cannot be
  // read, with the reason as the one `Entry`.
  int32_t IoGetSecureLogEntries(const std::string& LogName, platform::Variant& Entry, int32_t& Unread);
  // Marks the log's unread entries read and answers how many, with the
  // newest of them that fit in one bus answer (0 for no such log:
  // nothing is created; -1 with the reason as the one `Entry` when the log
  // cannot be read or marked).
  int32_t IoMarkSecureLogRead(const std::string& LogName, platform::Variant& Entry);
  // True when the log verifies; `Findings` says what was found, as
  // "hearthctl securelog verify" does. With a verification key (setup-keys
  // printed it) the seals are checked and the sealed range given.
  bool IoVerifySecureLog(const std::string& LogName, const std::string& VerificationKey,
                         platform::Variant& Findings);
  // The "plugins/system" list in rank order: each ProgID, its rank, where it
  // resolves, and "OK", "NOT ok" or "not created".
  int32_t IoGetFeaturePlugins(platform::Variant& ProgID, platform::Variant& Rank, platform::Variant& Resolves,
                              platform::Variant& Status);

  // --- Routines of the report log and filter alerts --------------------------
  // The user name alerts and report entries carry.
  std::string GetAlertUserID();
  void LogFilterAlert(const platform::xml::Node& element);

  // --- State the actions keep -------------------------------------------------
  int32_t TraceLevel() const { return trace_level_; }
  // "(trace)" + text to the system log when TraceLevel is 4 or more.
  void Trace(std::string_view text) const;
  // True when Trace writes: callers that build a long trace text ask first.
  bool Tracing() const { return trace_level_ >= 4; }
  const std::string& DateFormat() const { return date_format_; }
  const std::string& TimeFormat() const { return time_format_; }
  bool Use24Hour() const { return use_24_hour_; }
  void SetTimeFormats(std::string date_format, std::string time_format, bool use_24_hour);
  // The filter-alert work document (created on first use).
  platform::xml::Document& FilterAlertDocument();
  ObjectTable& Objects();

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  platform::com::ObjectPtr file_manager_;
  platform::com::ObjectPtr dns_resolver_;
  platform::xml::Document shared_document_{platform::xml::Threading::kFree};
  platform::xml::Node shared_data_;
  int32_t trace_level_ = 0;
  std::unique_ptr<platform::xml::Document> filter_alert_document_;
  std::string date_format_;
  std::string time_format_;
  bool use_24_hour_ = false;
  std::unique_ptr<ObjectTable> objects_;
  // The status IoGetFeaturePlugins last wrote to the system log, by ProgID.
  std::map<std::string, std::string> reported_plugin_status_;
};

}  // namespace plugins::ionotify
