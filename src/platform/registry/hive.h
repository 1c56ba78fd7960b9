// One machine root's hive as the process sees it: the handle table, the
// caches that spare the file a visit, and every registry operation in terms
// of keys and values. Callers hold the process lock (hive_access.h) and turn
// these results into the Win32 buffer protocols.
//
// Caching: key lookups (parent, name) -> id, values, the liveness of handles'
// keys and enumeration snapshots are kept until another connection commits
// (PRAGMA data_version moves) or this process deletes a key; this process's
// own writes update them in place. Whether another connection committed is
// asked of the file only when the shared change counter moved (or once a
// second, see hive_changes.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/registry/hive_changes.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/hive_store.h"
#include "platform/registry/registry_types.h"

namespace platform::registry {

class Hive {
 public:
  explicit Hive(std::filesystem::path root);
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  const std::filesystem::path& root() const { return root_; }
  bool has_store() const { return store_ != nullptr; }
  // Starts on a freshly opened connection. Handles survive when the file is
  // the same one (a forked child reconnecting); otherwise they are forgotten.
  void AttachStore(std::unique_ptr<HiveStore> store, bool keep_handles);
  // The same, deciding by the identity of the file opened: handles survive
  // only a reconnection to the file they were opened on.
  void AttachStore(std::unique_ptr<HiveStore> store, const HiveFileId& file);
  void DropStore() { store_.reset(); }
  // For a connection whose file was moved aside (by another process): it
  // closes without touching the files now under the hive's name, and every
  // handle goes with it.
  void AbandonStore();
  // The file the connection was opened on, when there is one.
  const std::optional<HiveFileId>& file_id() const { return file_id_; }
  // Forgets every cached answer (after a failure left them in doubt).
  void ForgetCaches();
  // True when the file may have changed since the last look (see
  // hive_changes.h): the caller then checks it is still the hive's file,
  // and Sync looks at what other connections committed.
  bool StartLook() { return look_due_ = changes_.StartLook(); }
  // Brings the caches up to date with the file when StartLook said so.
  void Sync();

  LONG OpenKey(HKEY key, std::string_view sub_key, REGSAM sam_desired, HKEY* result);
  LONG CreateKey(HKEY key, std::string_view sub_key, std::string_view key_class, REGSAM sam_desired, HKEY* result,
                 DWORD* disposition);
  LONG CloseKey(HKEY key);
  LONG DeleteKey(HKEY key, std::string_view sub_key);
  // `sub_key` null: only what is below `key`.
  LONG DeleteTree(HKEY key, const char* sub_key);
  LONG DeleteValue(HKEY key, std::string_view name);
  // The row stays valid until the next call on the hive.
  LONG EnumKey(HKEY key, DWORD index, const SubkeyRow** row);
  LONG EnumValue(HKEY key, DWORD index, const ValueRow** row);
  // `data` stays valid until the next call on the hive.
  LONG QueryValue(HKEY key, std::string_view name, DWORD* type, std::string_view* data);
  LONG SetValue(HKEY key, std::string_view name, DWORD type, const BYTE* data, DWORD size);

 private:
  struct KeyHandle {
    int64_t id = 0;
    REGSAM access = 0;
    uint64_t live_epoch = 0;  // key_epoch_ at which the key was last seen alive
    uint64_t subkeys_generation = 0;
    std::vector<SubkeyRow> subkeys;
    uint64_t values_generation = 0;
    std::vector<ValueRow> values;
  };
  struct IdName {
    int64_t id;
    std::string name;
  };
  struct IdNameView {
    int64_t id;
    std::string_view name;
  };
  struct IdNameHash {
    using is_transparent = void;
    size_t operator()(const IdName& key) const { return Hash(key.id, key.name); }
    size_t operator()(const IdNameView& key) const { return Hash(key.id, key.name); }
    static size_t Hash(int64_t id, std::string_view name);
  };
  struct IdNameEqual {
    using is_transparent = void;
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      return a.id == b.id && std::string_view(a.name) == std::string_view(b.name);
    }
  };
  struct CachedValue {
    bool present = false;
    DWORD type = 0;
    std::string data;
  };

  KeyHandle* Resolve(HKEY key);
  // Asks the file whether another connection committed (under the write
  // lock, where the answer must be exact).
  void SyncNow();
  // After each commit of this process.
  void Committed() { changes_.Announce(); }
  bool EnsureLive(KeyHandle& key);
  // Resolves a handle that needs `right`, brought up to date with the file.
  LONG ReadyToRead(HKEY key, REGSAM right, KeyHandle** handle);
  // The child's id; 0 when missing. Uses and fills the lookup cache.
  int64_t FindChild(int64_t parent, std::string_view name);
  // Follows parts_ from `id`: the key's id, or 0 when one is missing;
  // `*depth` is the number of parts found.
  int64_t Walk(int64_t id, size_t* depth);
  HKEY AddHandle(int64_t id, REGSAM access);
  void RememberChild(int64_t parent, std::string_view fold, int64_t id);
  void RememberValue(int64_t key, std::string_view fold, bool present, DWORD type, std::string_view data);

  void ForgetHandles();

  std::filesystem::path root_;
  std::unique_ptr<HiveStore> store_;
  std::optional<HiveFileId> file_id_;
  HiveChanges changes_;
  bool look_due_ = true;
  int64_t data_version_ = -1;
  uint64_t key_epoch_ = 1;
  uint64_t keys_generation_ = 1;
  uint64_t values_generation_ = 1;
  KeyHandle roots_[4];
  std::unordered_map<HKEY, KeyHandle> handles_;
  std::unordered_map<IdName, int64_t, IdNameHash, IdNameEqual> child_cache_;
  std::unordered_map<IdName, CachedValue, IdNameHash, IdNameEqual> value_cache_;
  size_t value_cache_bytes_ = 0;
  // Scratch space reused by every call.
  std::vector<std::string_view> parts_;
  std::string fold_;
  std::string data_;
};

// Test seam: the next handle number the process hands out (a multiple of 4).
void SetNextHandleNumberForTesting(HKEY next);

}  // namespace platform::registry
