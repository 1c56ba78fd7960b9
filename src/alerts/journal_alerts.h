// Alerts into the systemd journal, for fleets that collect events
// centrally: with "JournalAlerts = 1" in machine.conf each posted or updated
// alert also becomes one structured journal entry, which any journal shipper
// (systemd-journal-upload, or the one a fleet already runs) carries on.
// Never the secure report log's entries: they can hold the pages a user
// visited.
//
// Fields: MESSAGE ("hearth alert posted|updated in STORE: SUMMARY"),
// MESSAGE_ID (kAlertPostedMessageId / kAlertUpdatedMessageId), PRIORITY
// (from the severity, JournalPriority), SYSLOG_IDENTIFIER=hearthd,
// HEARTH_STORE, HEARTH_ALERT_ID, HEARTH_INDEX, HEARTH_SEVERITY,
// HEARTH_SUMMARY. The description stays in the store.
//
// "JournalSocket" in machine.conf names another socket than the journal's
// own (/run/systemd/journal/socket); a relative path is below the root.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/journal_entry.h"

namespace alerts {

inline constexpr char kAlertPostedMessageId[] = "ec9e921ad58847bc85b7cdbe66f2b884";
inline constexpr char kAlertUpdatedMessageId[] = "728ff0e9b60f4944a2f4667cd795a270";

enum class AlertEvent { kPosted, kUpdated };

struct JournalAlert {
  AlertEvent event = AlertEvent::kPosted;
  std::string store;
  std::string alert_id;
  int32_t index = 0;
  int32_t severity = 0;
  std::string summary;
};

// Syslog priority of a severity (0 to 100): 80 and up crit (2), 60 err (3),
// 40 warning (4), 20 notice (5), below info (6).
int JournalPriority(int32_t severity);

std::vector<platform::host::JournalField> JournalFields(const JournalAlert& alert);

// Whether the machine configuration asks for journal entries.
bool JournalAlertsWanted();

// Sends the entry when the machine configuration asks for it; a failure is
// one system log line, never a failed post.
void SendAlertToJournal(const JournalAlert& alert);

}  // namespace alerts
