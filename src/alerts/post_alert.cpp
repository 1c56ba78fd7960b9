// PostAlert: one new row of the Alerts table.
#include "alerts/alert_changes.h"
#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/alert_time.h"
#include "alerts/journal_alerts.h"
#include "alerts/mod_alert.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"

namespace alerts {

using platform::Err;
using platform::Step;
using platform::Variant;

bool PostAlert(const std::string& store_name, uint8_t severity, const std::string& summary,
               const std::string& description, const std::string& alert_id, const std::string& action_ids,
               bool hide_from_user, int32_t& record_index, bool show_priv_only, double& event_time,
               const std::string& tag) {
  if (!CheckIMDBObject()) return false;
  // Callers without a time pass 1 January 1980 and get the current time back.
  if (event_time == kNoEventTime) event_time = platform::Now();
  std::string event_date_time;
  Step([&] { event_date_time = FormatAlertTime(event_time); });

  const std::pair<int, Variant> fields[] = {
      {kColStore, Variant(store_name)},
      {kColAlertId, Variant(alert_id)},
      {kColSeverity, Variant(static_cast<int32_t>(severity))},
      {kColSummary, Variant(summary)},
      {kColDescription, Variant(description)},
      {kColAlertKey, Variant(alert_id)},
      {kColActionIds, Variant(action_ids)},
      {kColUserProc, Variant(hide_from_user)},
      {kColSysProc, Variant(false)},
      {kColEventDateTime, Variant(event_date_time)},
      {kColShowPrivOnly, Variant(show_priv_only)},
      {kColTag, Variant(tag)},
  };
  bool inserted = InsertMakingRoom(kAlertsTable, fields, &record_index);
  if (Err::IsSet()) Log("PostAlert: " + Err::Description());
  if (inserted) {
    SendAlertToJournal({AlertEvent::kPosted, store_name, alert_id, record_index, severity, summary});
    TellAlertChanged(record_index, "posted");
  }
  // An alert that did not reach the table is reported as not posted.
  return inserted;
}

}  // namespace alerts
