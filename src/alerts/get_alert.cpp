// GetAlert: one alert's fields, its time in the locale's date order.
#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/alert_time.h"
#include "alerts/mod_alert.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"

namespace alerts {

using platform::Err;
using platform::Step;
using platform::Variant;

bool GetAlert(int32_t alert_index, uint8_t& severity, std::string& summary, std::string& description,
              std::string& alert_id, std::string& action_ids, bool& user_proc, Variant& event_date_time,
              bool& sys_proc, std::string& tag) {
  if (!CheckIMDBObject()) return false;
  contracts::ImdbComponent& db = Connection();
  bool ran = false;
  Step([&] { ran = db.Execute("SELECT * FROM Alerts WHERE AlertIndex=?", {Variant(alert_index)}); });
  if (!ran) return false;
  bool found = false;
  Step([&] { db.MoveFirst(); });
  Step([&] { alert_id = db.GetFieldText(kColAlertId); });
  if (!Err::IsSet()) {
    found = true;
    // Each out value is written only when its field was read.
    Step([&] { severity = platform::CByte(Variant(db.GetFieldLong(kColSeverity))); });
    Step([&] { summary = db.GetFieldText(kColSummary); });
    Step([&] { description = db.GetFieldText(kColDescription); });
    Step([&] { alert_id = db.GetFieldText(kColAlertKey); });
    Step([&] { action_ids = db.GetFieldText(kColActionIds); });
    Step([&] { user_proc = db.GetFieldBool(kColUserProc); });
    Step([&] { sys_proc = db.GetFieldBool(kColSysProc); });
    Step([&] {
      std::string stored = db.GetFieldText(kColEventDateTime);
      std::string order;
      std::string separator;
      GetDateOrder(order, separator);
      event_date_time = Variant(ReorderAlertTime(stored, order));
    });
    Step([&] { tag = db.GetFieldText(kColTag); });
  }
  Step([&] { db.CloseResult(); });
  return found;
}

}  // namespace alerts
