// GetAlertIndicesAll and GetAlertIndices: the AlertIndex values of a store;
// GetAlertStores: the stores that hold alerts.
#include <vector>

#include "alerts/alert_state.h"
#include "alerts/alert_statements.h"
#include "alerts/mod_alert.h"
#include "contracts/imdb_component.h"
#include "platform/basic/err.h"

namespace alerts {
namespace {

using platform::Err;
using platform::Step;
using platform::Variant;

// `sql` is the statement as the log shows it ("SELECT * ..."); only its first
// column is read, so only that column is fetched: the rows are the same, in
// the same order, and the list costs no more than the index column.
int32_t ListIndices(const std::string& sql, const std::vector<Variant>& params, Variant& alert_index) {
  contracts::ImdbComponent& db = Connection();
  auto log_failure = [&] {
    if (Err::IsSet()) {
      Log("GetAlertIndices: query failed -- " + contracts::SqlWithValues(sql, params) + ": " + Err::Description());
    }
  };
  static constexpr std::string_view kAllColumns = "SELECT * FROM ";
  std::string indices_only = sql;
  if (indices_only.starts_with(kAllColumns)) indices_only.replace(0, kAllColumns.size(), "SELECT AlertIndex FROM ");
  bool ran = false;
  Step([&] { ran = db.Execute(indices_only, params); });
  if (!ran) {
    log_failure();
    return 0;
  }
  int32_t count = 0;
  Step([&] { count = db.RowCount(); });
  if (count > 0) {
    std::vector<Variant> items(static_cast<size_t>(count), Variant(int32_t{0}));
    Step([&] { db.MoveFirst(); });
    for (int32_t i = 0; i < count; ++i) {
      Step([&] { items[static_cast<size_t>(i)] = Variant(db.GetFieldLong(kColAlertIndex)); });
      Step([&] { db.MoveNext(); });
    }
    Step([&] { alert_index = Variant::Array(std::move(items), 1, platform::VarType::kLong); });
  }
  Step([&] { db.CloseResult(); });
  log_failure();
  return count;
}

}  // namespace

int32_t GetAlertStores(Variant& store_names) {
  if (!CheckIMDBObject()) return 0;
  contracts::ImdbComponent& db = Connection();
  static constexpr std::string_view kSql = "SELECT DISTINCT Store FROM Alerts ORDER BY Store";
  bool ran = false;
  Step([&] { ran = db.Execute(kSql); });
  int32_t count = 0;
  if (ran) Step([&] { count = db.RowCount(); });
  if (count > 0) {
    std::vector<Variant> items(static_cast<size_t>(count), Variant(std::string()));
    Step([&] { db.MoveFirst(); });
    for (int32_t i = 0; i < count; ++i) {
      Step([&] { items[static_cast<size_t>(i)] = Variant(db.GetFieldText(1)); });
      Step([&] { db.MoveNext(); });
    }
    Step([&] { store_names = Variant::Array(std::move(items), 1, platform::VarType::kString); });
  }
  if (ran) Step([&] { db.CloseResult(); });
  if (Err::IsSet()) Log("GetAlertStores: query failed -- " + std::string(kSql) + ": " + Err::Description());
  return count;
}

int32_t GetAlertIndicesAll(const std::string& store_name, Variant& alert_index) {
  if (!CheckIMDBObject()) return 0;
  return ListIndices("SELECT * FROM Alerts WHERE Store=? order by EventDateTime desc", {Variant(store_name)},
                     alert_index);
}

int32_t GetAlertIndices(const std::string& store_name, Variant& alert_index, bool no_sys_proc_only,
                        const std::string& event_id) {
  if (!CheckIMDBObject()) return 0;
  std::string sql = "SELECT * FROM Alerts WHERE Store=?";
  std::vector<Variant> params{Variant(store_name)};
  sql += no_sys_proc_only ? " AND SysProc=0" : " AND UserProc=0";
  if (!event_id.empty()) {
    sql += " AND AlertKey=?";
    params.emplace_back(event_id);
  }
  sql += " order by EventDateTime desc";
  if (StoreGateClosed(store_name)) return 0;
  Err::Clear();
  return ListIndices(sql, params, alert_index);
}

}  // namespace alerts
