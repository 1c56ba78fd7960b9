// The operations that are one statement each.
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

}  // namespace

bool DeleteAlert(int32_t alert_index) {
  return RunStatement("DELETE FROM Alerts WHERE AlertIndex=?", {Variant(alert_index)});
}

bool RemoveDeletedAlerts(const Variant& store_name) {
  std::string store;
  // A store name that is no text (Null, an object) matches nothing.
  if (!Step([&] { store = platform::CStr(store_name); })) return false;
  return RunStatement("DELETE FROM Alerts WHERE Store=? AND Tag = '(DELETED)'", {Variant(store)});
}

bool SetAlertSysProc(int32_t alert_index) {
  return RunStatement("UPDATE Alerts SET SysProc=1 WHERE AlertIndex=?", {Variant(alert_index)});
}

bool SetAlertUserProc(int32_t alert_index) {
  return RunStatement("UPDATE Alerts SET UserProc=1 WHERE AlertIndex=?", {Variant(alert_index)});
}

bool SetAlertDeleted(int32_t alert_index) {
  return RunStatement("UPDATE Alerts SET Tag='(DELETED)' WHERE AlertIndex=?", {Variant(alert_index)});
}

void DeleteLog(const std::string& log_name) {
  RunStatement("DELETE FROM LogEntries WHERE LogName=?", {Variant(log_name)});
}

}  // namespace alerts
