#include "alerts/journal_alerts.h"

#include <filesystem>

#include "alerts/alert_state.h"
#include "platform/root/machine_root.h"

namespace alerts {
namespace {

// One datagram holds the entry: a summary beyond this is cut.
constexpr size_t kLongestSummary = 4096;

std::string JournalSocket() {
  const std::string configured = platform::MachineConfigValue("JournalSocket");
  if (configured.empty()) return platform::host::kJournalSocket;
  const std::filesystem::path path(configured);
  return path.is_absolute() ? configured : (platform::MachineRoot() / path).string();
}

}  // namespace

int JournalPriority(int32_t severity) {
  if (severity >= 80) return 2;
  if (severity >= 60) return 3;
  if (severity >= 40) return 4;
  if (severity >= 20) return 5;
  return 6;
}

std::vector<platform::host::JournalField> JournalFields(const JournalAlert& alert) {
  const bool posted = alert.event == AlertEvent::kPosted;
  const std::string summary =
      alert.summary.size() > kLongestSummary ? alert.summary.substr(0, kLongestSummary) : alert.summary;
  return {
      {"MESSAGE", std::string("hearth alert ") + (posted ? "posted" : "updated") + " in " + alert.store + ": " + summary},
      {"MESSAGE_ID", posted ? kAlertPostedMessageId : kAlertUpdatedMessageId},
      {"PRIORITY", std::to_string(JournalPriority(alert.severity))},
      {"SYSLOG_IDENTIFIER", "hearthd"},
      {"HEARTH_STORE", alert.store},
      {"HEARTH_ALERT_ID", alert.alert_id},
      {"HEARTH_INDEX", std::to_string(alert.index)},
      {"HEARTH_SEVERITY", std::to_string(alert.severity)},
      {"HEARTH_SUMMARY", summary},
  };
}

bool JournalAlertsWanted() { return platform::MachineConfigNumber("JournalAlerts", 0) == 1; }

void SendAlertToJournal(const JournalAlert& alert) {
  if (!JournalAlertsWanted()) return;
  std::string error;
  if (!platform::host::SendJournalEntry(JournalFields(alert), JournalSocket(), &error)) {
    Log("JournalAlerts: alert " + std::to_string(alert.index) + " not sent to the journal: " + error);
  }
}

}  // namespace alerts
