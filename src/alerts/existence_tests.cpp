// NewAlert, BrandNewAlerts, AnyAlerts and AnyPrivacyEntries: does a query
// find at least one row.
#include <span>

#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/mod_alert.h"
#include "platform/basic/err.h"

namespace alerts {
namespace {

using platform::Err;
using platform::Step;
using platform::Variant;

bool AnyRows(std::string_view sql, std::span<const Variant> params) {
  contracts::ImdbComponent& db = Connection();
  bool checked = false;
  Step([&] { checked = db.Check(sql); });
  if (!checked || Err::IsSet()) return false;
  bool ran = false;
  Step([&] { ran = db.Execute(sql, params); });
  int32_t count = 0;
  if (ran && !Err::IsSet()) Step([&] { count = db.RowCount(); });
  Step([&] { db.CloseResult(); });
  return count > 0;
}

bool StoreHasRows(std::string_view sql, const std::string& store_name) {
  if (!CheckIMDBObject()) return false;
  const Variant params[] = {Variant(store_name)};
  return AnyRows(sql, params);
}

}  // namespace

bool NewAlert(const std::string& store_name) {
  return StoreHasRows("SELECT * FROM Alerts WHERE Store=? AND UserProc=0", store_name);
}

bool BrandNewAlerts(const std::string& store_name) {
  return StoreHasRows("SELECT * FROM Alerts WHERE Store=? AND UserProc=0 AND SysProc=0", store_name);
}

bool AnyAlerts(const std::string& store_name) {
  return StoreHasRows("SELECT * FROM Alerts WHERE Store=?", store_name);
}

bool AnyPrivacyEntries() {
  if (!CheckIMDBObject()) return false;
  contracts::ImdbComponent& db = Connection();
  // Run directly, without the check-statement call.
  bool ran = false;
  Step([&] { ran = db.Execute(kSelectPrivacyLog); });
  if (!ran || Err::IsSet()) return false;
  int32_t count = 0;
  Step([&] { count = db.RowCount(); });
  Step([&] { db.CloseResult(); });
  return count > 0;
}

}  // namespace alerts
