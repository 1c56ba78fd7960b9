// modAlert: the suite's alerts and report logs in the store database
// "imdb.bin" of the profile folder, on the "QuiLogic.IMDB" component.
//
// Tables (created by OpenGDB when the file is new):
//   Alerts      AlertIndex COUNTER PRIMARY, Store, AlertID, Severity, Summary,
//               Description, AlertKey, ActionIDs, UserProc, SysProc,
//               EventDateTime ("mm/dd/yyyy hh:nn:ss", UTC), ShowPrivOnly, Tag
//   LogEntries  LogName, LogDateTime (local date serial), LogSeverity,
//               LogMessage
//   LogSettings LogName, MaxLogAge (kept, never used)
//
// Every thread has its own connection, opened on its first call, and its own
// "last log message". No operation raises: failures come back as False, 0
// or empty text, and details go to the system log. Texts given by callers
// (store names, log names, event ids, descriptions) are bound to the
// statements as values, never pasted into them, so any text is stored and
// matched as itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"

namespace alerts {

// The size limit of "imdb.bin": a larger file is removed at open, and the
// component is told to keep the database within it. A full store makes room
// for a new alert or log entry by removing log entries (oldest first), then
// alerts marked deleted, then processed alerts (oldest first), and logs what
// it removed; only alerts nobody has processed are never given up.
inline constexpr int64_t kMaxDatabaseBytes = 4194304;
// The "no time given" EventTime of PostAlert: 1 January 1980 00:00:00.
inline constexpr double kNoEventTime = 29221.0;
// The Tag that marks an alert as deleted.
inline constexpr std::string_view kDeletedTag = "(DELETED)";

// --- The database ---------------------------------------------------------

// Opens the thread's connection on "<profile>/imdb.bin": removes a file over
// kMaxDatabaseBytes, creates the tables in a new file, and rebuilds a file
// that the engine calls damaged (once per call), keeping the damaged one as
// "imdb.bin.damaged-yyyymmdd-hhnnss". A file that cannot be opened now (no
// descriptors, an I/O error, a lock held too long) is left alone: the open
// reports failure and the next operation tries again.
void OpenGDB();
// Closes the thread's connection.
void CloseGDB();
// True when the thread's connection is usable, opening or rebuilding it
// first when needed. Every operation below calls it first.
bool CheckIMDBObject();
// The probe: the three tables can be read on the thread's connection.
bool VerifyAlertStore();
// The full path of the database file (the profile folder + "/imdb.bin").
std::string AlertDatabasePath();

// --- Alerts ---------------------------------------------------------------

// Adds an alert; its AlertIndex comes back in `record_index`. An
// `event_time` of exactly kNoEventTime is replaced by the current local time
// (and handed back); the time is stored in UTC. False when the store is
// unusable or the row could not be added.
bool PostAlert(const std::string& store_name, uint8_t severity, const std::string& summary,
               const std::string& description, const std::string& alert_id, const std::string& action_ids,
               bool hide_from_user, int32_t& record_index, bool show_priv_only, double& event_time,
               const std::string& tag);

// Raises the severity by `severity_delta` unless that would pass 100 (then it
// stays), appends `add_to_description` unless the description already holds
// it (and then, with `reset_user_status`, marks the alert unseen by the
// user), and stamps the current time. False for an alert tagged "(DELETED)".
bool UpdateAlert(int32_t alert_index, uint8_t severity_delta, const std::string& add_to_description,
                 bool reset_user_status);
// The same without the "(DELETED)" test, also appending `add_to_action_ids`
// unless ActionIDs already holds it; traces its steps to the system log.
bool UpdateAlert2(int32_t alert_index, uint8_t severity_delta, const std::string& add_to_description,
                  bool reset_user_status, const std::string& add_to_action_ids);
bool ChangeAlertDescription(int32_t alert_index, const std::string& new_description);

// Existence tests of a store: not acknowledged by the user; neither by the
// user nor the system; any alert at all.
bool NewAlert(const std::string& store_name);
bool BrandNewAlerts(const std::string& store_name);
bool AnyAlerts(const std::string& store_name);

// The AlertIndex values of a store, newest EventDateTime text first, as an
// array of Long with the bounds 1 to n in `alert_index`; returns n. With no
// rows (or a failure) returns 0 and leaves `alert_index` as it was.
int32_t GetAlertIndicesAll(const std::string& store_name, platform::Variant& alert_index);
// Only alerts not processed by the system (`no_sys_proc_only`) or else not
// acknowledged by the user, and of the event `event_id` when it is not
// empty. The store "Wavelock" answers 0 while the user's settings close it.
int32_t GetAlertIndices(const std::string& store_name, platform::Variant& alert_index, bool no_sys_proc_only,
                        const std::string& event_id);

// The names of the stores that hold alerts, each once, in ascending order,
// as an array of String with the bounds 1 to n in `store_names`; returns n.
// With no alerts (or a failure) returns 0 and leaves `store_names` as it
// was. For a client that shows every store's alerts at once.
int32_t GetAlertStores(platform::Variant& store_names);

// One alert's fields. `event_date_time` receives the stored UTC time text
// with its date part in the locale's order (see GetDateOrder).
bool GetAlert(int32_t alert_index, uint8_t& severity, std::string& summary, std::string& description,
              std::string& alert_id, std::string& action_ids, bool& user_proc, platform::Variant& event_date_time,
              bool& sys_proc, std::string& tag);

bool DeleteAlert(int32_t alert_index);
// Removes the alerts of a store tagged "(DELETED)".
bool RemoveDeletedAlerts(const platform::Variant& store_name);
bool SetAlertSysProc(int32_t alert_index);
bool SetAlertUserProc(int32_t alert_index);
bool SetAlertDeleted(int32_t alert_index);

// The locale's short-date pattern ("MM/DD/YYYY", "DD.MM.YYYY",
// "YYYY-MM-DD" ...), with the order code "MMDDYY", "DDMMYY" or "YYMMDD" and
// the separator (empty when the date has none). The locale's pattern is the
// machine configuration value "ShortDatePattern" (default "M/d/yyyy").
std::string GetDateOrder(std::string& order, std::string& separator);

// --- Report logs ------------------------------------------------------------

// Adds a log row stamped with the current local time, unless `message` is
// the same as the last message this thread wrote.
void WriteLogEntry(const std::string& log_name, uint8_t severity, const std::string& message);
bool AnyPrivacyEntries();
// The "Privacy" log as entries "short date long time<TAB>severity<TAB>
// message" joined by the character 1; empty without entries.
std::string GetPrivacyReport();
void DeleteLog(const std::string& log_name);

// Exports the three tables to "<root>/<table>.csv" (comma) and
// "<root>/<table>.txt" (bar).
void DumpAlertStore();

// --- The "Wavelock" gate ----------------------------------------------------

// Reads a Boolean of the current user's settings ("sys.ui.Require...").
using UserSettingReader = std::function<bool(std::string_view name)>;
// Replaces the gate's reader (empty: the thread's current-user collection,
// settings::GetUserSettings). Returns the reader it replaces.
UserSettingReader SetUserSettingReader(UserSettingReader reader);
// True when GetAlertIndices must answer 0 for this store: the store is
// exactly "Wavelock", the user requires a configuration password
// ("sys.ui.RequireConfigurationPassword") and has not allowed acknowledging
// private alerts ("legacy.PrivAckAlerts"). Settings that cannot be read (no
// current user on the thread) keep it closed.
bool StoreGateClosed(const std::string& store_name);

}  // namespace alerts
