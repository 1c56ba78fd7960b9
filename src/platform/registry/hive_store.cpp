#include "platform/registry/hive_store.h"

#include "platform/registry/hive_file.h"

namespace platform::registry {

HiveStore::Connection::~Connection() { CloseHiveFile(db); }

HiveStore::HiveStore(sqlite3* db)
    : connection_{db},
      db_(db),
      data_version_(db, "PRAGMA data_version"),
      find_child_(db, "SELECT id FROM hive_keys WHERE parent = ?1 AND fold = ?2"),
      key_exists_(db, "SELECT 1 FROM hive_keys WHERE id = ?1"),
      insert_key_(db, "INSERT INTO hive_keys(parent, name, fold, class, created) VALUES(?1, ?2, ?3, ?4, ?5)"),
      has_children_(db, "SELECT 1 FROM hive_keys WHERE parent = ?1 LIMIT 1"),
      delete_values_of_(db, "DELETE FROM hive_values WHERE key = ?1"),
      delete_key_(db, "DELETE FROM hive_keys WHERE id = ?1"),
      descendants_(db,
                   "WITH RECURSIVE below(id, depth) AS ("
                   "  SELECT id, 1 FROM hive_keys WHERE parent = ?1"
                   "  UNION ALL SELECT k.id, below.depth + 1 FROM hive_keys k JOIN below ON k.parent = below.id)"
                   " SELECT id FROM below ORDER BY depth"),
      get_value_(db, "SELECT type, data FROM hive_values WHERE key = ?1 AND fold = ?2"),
      // A new row for a key that is gone fails its foreign key; an existing
      // row proves its key exists (values go with their key).
      upsert_value_(db,
                    "INSERT INTO hive_values(key, fold, name, type, data, seq) VALUES(?1, ?2, ?3, ?4, ?5, "
                    "(SELECT coalesce(max(seq), 0) + 1 FROM hive_values WHERE key = ?1)) "
                    "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data"),
      update_value_(db, "UPDATE hive_values SET type = ?3, data = ?4 WHERE key = ?1 AND fold = ?2"),
      delete_value_(db, "DELETE FROM hive_values WHERE key = ?1 AND fold = ?2"),
      list_subkeys_(db, "SELECT name, class, created FROM hive_keys WHERE parent = ?1 ORDER BY fold"),
      list_values_(db, "SELECT name, type, data FROM hive_values WHERE key = ?1 ORDER BY seq, fold") {}

HiveStore::~HiveStore() = default;

void HiveStore::KeepFilesOnClose() {
  int keep = 1;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
}

int64_t HiveStore::DataVersion() {
  Statement::Use use(data_version_);
  return data_version_.Step() ? data_version_.ColumnInt(0) : 0;
}

std::optional<int64_t> HiveStore::FindChild(int64_t parent, std::string_view fold) {
  Statement::Use use(find_child_);
  find_child_.Bind(1, parent);
  find_child_.BindText(2, fold);
  if (!find_child_.Step()) return std::nullopt;
  return find_child_.ColumnInt(0);
}

bool HiveStore::KeyExists(int64_t id) {
  Statement::Use use(key_exists_);
  key_exists_.Bind(1, id);
  return key_exists_.Step();
}

int64_t HiveStore::InsertKey(int64_t parent, std::string_view name, std::string_view fold,
                             std::string_view key_class, int64_t created) {
  Statement::Use use(insert_key_);
  insert_key_.Bind(1, parent);
  insert_key_.BindText(2, name);
  insert_key_.BindText(3, fold);
  insert_key_.BindText(4, key_class);
  insert_key_.Bind(5, created);
  insert_key_.Step();
  return sqlite3_last_insert_rowid(db_);
}

bool HiveStore::HasChildren(int64_t id) {
  Statement::Use use(has_children_);
  has_children_.Bind(1, id);
  return has_children_.Step();
}

void HiveStore::DeleteValuesOf(int64_t id) {
  Statement::Use use(delete_values_of_);
  delete_values_of_.Bind(1, id);
  delete_values_of_.Step();
}

void HiveStore::DeleteKey(int64_t id) {
  DeleteValuesOf(id);
  Statement::Use use(delete_key_);
  delete_key_.Bind(1, id);
  delete_key_.Step();
}

std::vector<int64_t> HiveStore::Descendants(int64_t id) {
  std::vector<int64_t> ids;
  Statement::Use use(descendants_);
  descendants_.Bind(1, id);
  while (descendants_.Step()) ids.push_back(descendants_.ColumnInt(0));
  return ids;
}

bool HiveStore::GetValue(int64_t key, std::string_view fold, DWORD* type, std::string* data) {
  Statement::Use use(get_value_);
  get_value_.Bind(1, key);
  get_value_.BindText(2, fold);
  if (!get_value_.Step()) return false;
  *type = static_cast<DWORD>(get_value_.ColumnInt(0));
  data->assign(get_value_.ColumnBlob(1));
  return true;
}

bool HiveStore::UpsertValue(int64_t key, std::string_view fold, std::string_view name, DWORD type,
                            const BYTE* data, size_t size) {
  Statement::Use use(upsert_value_);
  upsert_value_.Bind(1, key);
  upsert_value_.BindText(2, fold);
  upsert_value_.BindText(3, name);
  upsert_value_.Bind(4, type);
  upsert_value_.BindBlob(5, data, size);
  try {
    upsert_value_.Step();
  } catch (const SqlError& error) {
    if (error.code() == SQLITE_CONSTRAINT_FOREIGNKEY) return false;
    throw;
  }
  return true;
}

bool HiveStore::UpdateValue(int64_t key, std::string_view fold, DWORD type, const BYTE* data, size_t size) {
  Statement::Use use(update_value_);
  update_value_.Bind(1, key);
  update_value_.BindText(2, fold);
  update_value_.Bind(3, type);
  update_value_.BindBlob(4, data, size);
  update_value_.Step();
  return sqlite3_changes(db_) > 0;
}

bool HiveStore::DeleteValue(int64_t key, std::string_view fold) {
  Statement::Use use(delete_value_);
  delete_value_.Bind(1, key);
  delete_value_.BindText(2, fold);
  delete_value_.Step();
  return sqlite3_changes(db_) > 0;
}

std::vector<SubkeyRow> HiveStore::ListSubkeys(int64_t id) {
  std::vector<SubkeyRow> rows;
  Statement::Use use(list_subkeys_);
  list_subkeys_.Bind(1, id);
  while (list_subkeys_.Step()) {
    rows.push_back({std::string(list_subkeys_.ColumnText(0)), std::string(list_subkeys_.ColumnText(1)),
                    list_subkeys_.ColumnInt(2)});
  }
  return rows;
}

std::vector<ValueRow> HiveStore::ListValues(int64_t id) {
  std::vector<ValueRow> rows;
  Statement::Use use(list_values_);
  list_values_.Bind(1, id);
  while (list_values_.Step()) {
    rows.push_back({std::string(list_values_.ColumnText(0)), static_cast<DWORD>(list_values_.ColumnInt(1)),
                    std::string(list_values_.ColumnBlob(2))});
  }
  return rows;
}

}  // namespace platform::registry
