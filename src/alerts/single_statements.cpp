// The operations that are one statement each.
#include "alerts/alert_changes.h"
#include "alerts/alert_state.h"
#include "alerts/mod_alert.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"

namespace alerts {
namespace {

using platform::Step;
using platform::Variant;

bool RunStatement(std::string_view sql, std::initializer_list<Variant> params) {
  if (!CheckIMDBObject()) return false;
  bool ran = false;
  Step([&] { ran = Connection().Execute(sql, params); });
  return ran;
}

// A statement on one alert, told to the listeners when it ran.
bool ChangeOne(std::string_view sql, int32_t alert_index, std::string_view change) {
  const bool ran = RunStatement(sql, {Variant(alert_index)});
  if (ran) TellAlertChanged(alert_index, change);
  return ran;
}

}  // namespace

bool DeleteAlert(int32_t alert_index) {
  return ChangeOne("DELETE FROM Alerts WHERE AlertIndex=?", alert_index, "deleted");
}

bool RemoveDeletedAlerts(const Variant& store_name) {
  std::string store;
  // A store name that is no text (Null, an object) matches nothing.
  if (!Step([&] { store = platform::CStr(store_name); })) return false;
  const bool ran = RunStatement("DELETE FROM Alerts WHERE Store=? AND Tag = '(DELETED)'", {Variant(store)});
  if (ran) TellAlertChanged(0, "removed");
  return ran;
}

bool SetAlertSysProc(int32_t alert_index) {
  return ChangeOne("UPDATE Alerts SET SysProc=1 WHERE AlertIndex=?", alert_index, "updated");
}

bool SetAlertUserProc(int32_t alert_index) {
  return ChangeOne("UPDATE Alerts SET UserProc=1 WHERE AlertIndex=?", alert_index, "updated");
}

bool SetAlertDeleted(int32_t alert_index) {
  return ChangeOne("UPDATE Alerts SET Tag='(DELETED)' WHERE AlertIndex=?", alert_index, "updated");
}

void DeleteLog(const std::string& log_name) {
  RunStatement("DELETE FROM LogEntries WHERE LogName=?", {Variant(log_name)});
}

}  // namespace alerts
