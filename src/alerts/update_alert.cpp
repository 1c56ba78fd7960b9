// UpdateAlert, UpdateAlert2 and ChangeAlertDescription: read-modify-write of
// one alert inside a FOR UPDATE result.
#include <optional>

#include "alerts/alert_changes.h"
#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/alert_time.h"
#include "alerts/journal_alerts.h"
#include "alerts/mod_alert.h"
#include "platform/basic/err.h"

namespace alerts {
namespace {

using platform::Err;
using platform::Step;
using platform::Variant;

constexpr std::string_view kSelectForUpdate = "SELECT * FROM Alerts WHERE AlertIndex=? FOR UPDATE";

struct UpdateRequest {
  uint8_t severity_delta = 0;
  const std::string* add_to_description = nullptr;
  bool reset_user_status = false;
  const std::string* add_to_action_ids = nullptr;  // UpdateAlert2 only
  bool skip_deleted = false;                       // UpdateAlert only
  bool trace = false;                              // UpdateAlert2 only
};

// Takes the alert's row; false when the SELECT did not run.
bool TakeRow(int32_t alert_index) {
  bool ran = false;
  Step([&] { ran = Connection().Execute(kSelectForUpdate, {Variant(alert_index)}); });
  if (!ran) return false;
  Step([] { Connection().MoveFirst(); });
  return true;
}

// Writes the row when nothing failed on the way, then releases it; a
// written row goes to the journal too when the machine asks for that.
bool WriteRow(int32_t alert_index) {
  std::optional<JournalAlert> entry;
  if (!Err::IsSet() && JournalAlertsWanted()) {
    contracts::ImdbComponent& db = Connection();
    JournalAlert alert{AlertEvent::kUpdated, {}, {}, alert_index, 0, {}};
    platform::Quietly([&] {
      alert.store = db.GetFieldText(kColStore);
      alert.alert_id = db.GetFieldText(kColAlertId);
      alert.severity = db.GetFieldLong(kColSeverity);
      alert.summary = db.GetFieldText(kColSummary);
      entry = alert;
    });
  }
  bool written = false;
  if (!Err::IsSet()) Step([&] { written = Connection().UpdateRow(); });
  Step([] { Connection().CloseResult(); });
  if (written && entry) SendAlertToJournal(*entry);
  return written;
}

bool Update(int32_t alert_index, const UpdateRequest& request) {
  if (!CheckIMDBObject()) return false;
  if (!TakeRow(alert_index)) return false;
  contracts::ImdbComponent& db = Connection();

  if (request.skip_deleted) {
    std::string tag;
    Step([&] { tag = db.GetFieldText(kColTag); });
    if (tag == kDeletedTag) {
      Step([&] { db.CloseResult(); });
      return false;
    }
  }
  // A raise that would pass 100 is dropped whole, not clamped.
  int32_t severity = 0;
  Step([&] { severity = db.GetFieldLong(kColSeverity); });
  if (severity <= 100 - static_cast<int32_t>(request.severity_delta)) {
    Step([&] { db.SetFieldLong(kColSeverity, severity + request.severity_delta); });
  }

  std::string description;
  Step([&] { description = db.GetFieldText(kColDescription); });
  if (request.trace) Log("Getting Description:" + description);
  if (description.find(*request.add_to_description) == std::string::npos) {
    Step([&] { db.SetFieldText(kColDescription, description + *request.add_to_description); });
    if (request.reset_user_status) Step([&] { db.SetFieldBool(kColUserProc, false); });
  }
  if (request.trace) {
    std::string after;
    Step([&] { after = db.GetFieldText(kColDescription); });
    Log("Description after Setting:" + after);
  }

  if (request.add_to_action_ids != nullptr && !request.add_to_action_ids->empty()) {
    std::string action_ids;
    Step([&] { action_ids = db.GetFieldText(kColActionIds); });
    if (action_ids.find(*request.add_to_action_ids) == std::string::npos) {
      Step([&] { db.SetFieldText(kColActionIds, action_ids + *request.add_to_action_ids); });
    }
  }

  Step([&] { db.SetField(kColEventDateTime, CurrentAlertTime()); });
  bool written = WriteRow(alert_index);
  if (request.trace) Log("Update Complete\r\n\r\n");
  if (written) TellAlertChanged(alert_index, "updated");
  return written;
}

}  // namespace

bool UpdateAlert(int32_t alert_index, uint8_t severity_delta, const std::string& add_to_description,
                 bool reset_user_status) {
  UpdateRequest request;
  request.severity_delta = severity_delta;
  request.add_to_description = &add_to_description;
  request.reset_user_status = reset_user_status;
  request.skip_deleted = true;
  return Update(alert_index, request);
}

bool UpdateAlert2(int32_t alert_index, uint8_t severity_delta, const std::string& add_to_description,
                  bool reset_user_status, const std::string& add_to_action_ids) {
  UpdateRequest request;
  request.severity_delta = severity_delta;
  request.add_to_description = &add_to_description;
  request.reset_user_status = reset_user_status;
  request.add_to_action_ids = &add_to_action_ids;
  request.trace = true;
  return Update(alert_index, request);
}

bool ChangeAlertDescription(int32_t alert_index, const std::string& new_description) {
  if (!CheckIMDBObject()) return false;
  if (!TakeRow(alert_index)) return false;
  Step([&] { Connection().SetFieldText(kColDescription, new_description); });
  const bool written = WriteRow(alert_index);
  if (written) TellAlertChanged(alert_index, "updated");
  return written;
}

}  // namespace alerts
