// The rows of one hive connection: keys (id, parent, name as written, folded
// name, class, creation time) and values (key, folded name, name as written,
// type, raw bytes), read and written through statements prepared once.
// Nothing here caches; every call answers from the file.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry_types.h"
#include "platform/registry/sql_statement.h"

namespace platform::registry {

// Ids of the predefined roots' rows.
inline constexpr int64_t kFirstRootKeyId = 1;
inline constexpr int64_t kLastRootKeyId = 4;

struct SubkeyRow {
  std::string name;
  std::string key_class;
  int64_t created = 0;  // FILETIME ticks
};

struct ValueRow {
  std::string name;
  DWORD type = 0;
  std::string data;
};

class HiveStore {
 public:
  // Takes ownership of a connection from OpenHiveFile.
  explicit HiveStore(sqlite3* db);
  ~HiveStore();
  HiveStore(const HiveStore&) = delete;
  HiveStore& operator=(const HiveStore&) = delete;

  sqlite3* db() const { return connection_.db; }

  // Closing will leave the write-ahead log and shared-memory files where
  // they are: for a connection whose file was moved aside, those names now
  // belong to the new hive.
  void KeepFilesOnClose();

  // Changes whenever another connection (any process) has committed since
  // the last call.
  int64_t DataVersion();

  std::optional<int64_t> FindChild(int64_t parent, std::string_view fold);
  bool KeyExists(int64_t id);
  int64_t InsertKey(int64_t parent, std::string_view name, std::string_view fold, std::string_view key_class,
                    int64_t created);
  bool HasChildren(int64_t id);
  // Deletes the key's values and its row.
  void DeleteKey(int64_t id);
  // Every key id below `id` (not `id` itself), deepest last.
  std::vector<int64_t> Descendants(int64_t id);
  void DeleteValuesOf(int64_t id);

  // False when missing; `type` and `data` filled otherwise.
  bool GetValue(int64_t key, std::string_view fold, DWORD* type, std::string* data);
  // Inserts or replaces; keeps the name and the place in the enumeration as
  // first written. False when the key no longer exists.
  bool UpsertValue(int64_t key, std::string_view fold, std::string_view name, DWORD type, const BYTE* data,
                   size_t size);
  // Replaces the type and bytes of a value that exists; false when there is
  // no such value (nothing written then).
  bool UpdateValue(int64_t key, std::string_view fold, DWORD type, const BYTE* data, size_t size);
  // False when there was no such value.
  bool DeleteValue(int64_t key, std::string_view fold);

  // Sorted by folded name.
  std::vector<SubkeyRow> ListSubkeys(int64_t id);
  // In the order the values were first written.
  std::vector<ValueRow> ListValues(int64_t id);

 private:
  // First member: closed last, after every statement is finalized.
  struct Connection {
    sqlite3* db;
    ~Connection();
  } connection_;
  sqlite3* db_;
  Statement data_version_;
  Statement find_child_;
  Statement key_exists_;
  Statement insert_key_;
  Statement has_children_;
  Statement delete_values_of_;
  Statement delete_key_;
  Statement descendants_;
  Statement get_value_;
  Statement upsert_value_;
  Statement update_value_;
  Statement delete_value_;
  Statement list_subkeys_;
  Statement list_values_;
};

}  // namespace platform::registry
