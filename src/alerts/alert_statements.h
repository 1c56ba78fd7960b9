// The statements modAlert runs. Values travel as "?" placeholders bound to
// the statement, never pasted into its text.
#pragma once

#include <string_view>

namespace alerts {

// The Alerts table, in three parts joined in this order.
inline constexpr std::string_view kCreateAlertsPart1 =
    "CREATE TABLE SHARED Alerts (AlertIndex COUNTER PRIMARY, Store VARCHAR(16) KEY, AlertID VARCHAR(16), "
    "Severity SMALLINT, ";
inline constexpr std::string_view kCreateAlertsPart2 =
    "Summary TEXT, Description VARCHAR(128), AlertKey VARCHAR(16), ActionIDs TEXT, UserProc BOOL, SysProc BOOL, ";
inline constexpr std::string_view kCreateAlertsPart3 =
    "EventDateTime VARCHAR(20), ShowPrivOnly BOOL, Tag VARCHAR(8))";
inline constexpr std::string_view kCreateLogEntries =
    "CREATE TABLE SHARED LogEntries (LogName VARCHAR(16) KEY, LogDateTime DOUBLE, LogSeverity SMALLINT, "
    "LogMessage TEXT)";
inline constexpr std::string_view kCreateLogSettings =
    "CREATE TABLE SHARED LogSettings (LogName VARCHAR(16) UNIQUE KEY, MaxLogAge INT)";

// The probe of VerifyAlertStore, in order.
inline constexpr std::string_view kProbeAlerts = "SELECT * FROM Alerts";
inline constexpr std::string_view kProbeLogEntries = "SELECT * FROM LogEntries";
inline constexpr std::string_view kProbeLogSettings = "SELECT * FROM LogSettings";

// Column numbers of the Alerts table (1-based, in declaration order).
enum AlertColumn : int {
  kColAlertIndex = 1,
  kColStore = 2,
  kColAlertId = 3,
  kColSeverity = 4,
  kColSummary = 5,
  kColDescription = 6,
  kColAlertKey = 7,
  kColActionIds = 8,
  kColUserProc = 9,
  kColSysProc = 10,
  kColEventDateTime = 11,
  kColShowPrivOnly = 12,
  kColTag = 13,
};

// Column numbers of the LogEntries table.
enum LogColumn : int {
  kColLogName = 1,
  kColLogDateTime = 2,
  kColLogSeverity = 3,
  kColLogMessage = 4,
};

inline constexpr std::string_view kAlertsTable = "Alerts";
inline constexpr std::string_view kLogEntriesTable = "LogEntries";

inline constexpr std::string_view kSelectPrivacyLog =
    "SELECT * FROM LogEntries WHERE LogName='Privacy' ORDER BY LogDateTime";

}  // namespace alerts
