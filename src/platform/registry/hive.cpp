#include "platform/registry/hive.h"

#include <chrono>
#include <functional>

#include "platform/registry/key_name.h"

namespace platform::registry {
namespace {

constexpr size_t kMaxCachedChildren = 65536;
constexpr size_t kMaxCachedValues = 16384;
constexpr size_t kMaxCachedValueBytes = 8 << 20;
constexpr size_t kMaxCachedValueSize = 64 << 10;  // larger values are read each time

constexpr HKEY kFirstHandle = 0x100;
constexpr HKEY kHandleStep = 4;
constexpr HKEY kLastHandle = kHkeyClassesRoot - kHandleStep;

bool IsPredefined(HKEY key) { return key >= kHkeyClassesRoot && key <= kHkeyUsers; }

// Handle numbers come from one counter for the whole process (every caller
// holds the process lock), so a handle of a hive that was closed (another
// root, a reopened file) does not turn valid again while numbers are left.
// Once the last number was handed out the counter starts again at the first,
// skipping numbers still open: the numbers closed longest ago come back
// first, and a client that opens and closes in a loop cannot use them up.
// Only while every number is open does opening give 1450.
uint64_t next_handle = kFirstHandle;
constexpr size_t kHandleNumbers = (kLastHandle - kFirstHandle) / kHandleStep + 1;

bool HandlesLeft(size_t open) { return open < kHandleNumbers; }

HKEY NextHandleNumber() {
  if (next_handle > kLastHandle || next_handle < kFirstHandle) next_handle = kFirstHandle;
  HKEY handle = static_cast<HKEY>(next_handle);
  next_handle += kHandleStep;
  return handle;
}

REGSAM GrantedRights(REGSAM desired) {
  REGSAM rights = desired & kKeyAllAccess;
  if (desired & (kGenericRead | kGenericExecute)) rights |= kKeyRead;
  if (desired & kGenericWrite) rights |= kKeyWrite;
  if (desired & (kGenericAll | kMaximumAllowed)) rights |= kKeyAllAccess;
  return rights;
}

int64_t NowFileTime() {
  constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;
  auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  return kUnixEpochInFileTime + std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count() * 10;
}

}  // namespace

size_t Hive::IdNameHash::Hash(int64_t id, std::string_view name) {
  return std::hash<std::string_view>()(name) ^ (std::hash<int64_t>()(id) * 0x9e3779b97f4a7c15ULL);
}

Hive::Hive(std::filesystem::path root) : root_(std::move(root)) {
  for (int64_t i = 0; i < 4; ++i) {
    roots_[i].id = kFirstRootKeyId + i;
    roots_[i].access = kKeyAllAccess;
  }
}

Hive::~Hive() = default;

void SetNextHandleNumberForTesting(HKEY next) { next_handle = next; }

void Hive::AttachStore(std::unique_ptr<HiveStore> store, bool keep_handles) {
  store_ = std::move(store);
  data_version_ = -1;
  changes_.Open(root_);
  look_due_ = true;
  if (!keep_handles) ForgetHandles();
  ForgetCaches();
}

void Hive::AttachStore(std::unique_ptr<HiveStore> store, const HiveFileId& file) {
  bool same_file = file_id_ && *file_id_ == file;
  file_id_ = file;
  AttachStore(std::move(store), same_file);
}

void Hive::AbandonStore() {
  if (store_) store_->KeepFilesOnClose();
  store_.reset();
  ForgetHandles();
  ForgetCaches();
}

void Hive::ForgetHandles() {
  handles_.clear();
  for (auto& root : roots_) {
    root.subkeys.clear();
    root.values.clear();
  }
}

void Hive::ForgetCaches() {
  child_cache_.clear();
  value_cache_.clear();
  value_cache_bytes_ = 0;
  changes_.Forget();
  ++key_epoch_;
  ++keys_generation_;
  ++values_generation_;
}

Hive::KeyHandle* Hive::Resolve(HKEY key) {
  if (IsPredefined(key)) return &roots_[key - kHkeyClassesRoot];
  auto found = handles_.find(key);
  return found == handles_.end() ? nullptr : &found->second;
}

void Hive::Sync() {
  if (!look_due_) return;
  SyncNow();
  changes_.LookDone();
  look_due_ = false;
}

void Hive::SyncNow() {
  int64_t version = store_->DataVersion();
  if (version != data_version_) {
    data_version_ = version;
    ForgetCaches();
  }
}

bool Hive::EnsureLive(KeyHandle& key) {
  if (key.id <= kLastRootKeyId || key.live_epoch == key_epoch_) return true;
  if (!store_->KeyExists(key.id)) return false;
  key.live_epoch = key_epoch_;
  return true;
}

void Hive::RememberChild(int64_t parent, std::string_view fold, int64_t id) {
  if (child_cache_.size() >= kMaxCachedChildren) child_cache_.clear();
  auto found = child_cache_.find(IdNameView{parent, fold});
  if (found != child_cache_.end()) {
    found->second = id;
  } else {
    child_cache_.emplace(IdName{parent, std::string(fold)}, id);
  }
}

int64_t Hive::FindChild(int64_t parent, std::string_view name) {
  FoldName(name, &fold_);
  auto found = child_cache_.find(IdNameView{parent, fold_});
  if (found != child_cache_.end()) return found->second;
  int64_t id = store_->FindChild(parent, fold_).value_or(0);
  RememberChild(parent, fold_, id);
  return id;
}

int64_t Hive::Walk(int64_t id, size_t* depth) {
  *depth = 0;
  for (std::string_view part : parts_) {
    int64_t child = FindChild(id, part);
    if (child == 0) return 0;
    id = child;
    ++*depth;
  }
  return id;
}

HKEY Hive::AddHandle(int64_t id, REGSAM access) {
  HKEY handle = NextHandleNumber();
  while (handles_.count(handle) != 0) handle = NextHandleNumber();
  KeyHandle& entry = handles_[handle];
  entry.id = id;
  entry.access = access;
  entry.live_epoch = key_epoch_;
  return handle;
}

void Hive::RememberValue(int64_t key, std::string_view fold, bool present, DWORD type, std::string_view data) {
  auto found = value_cache_.find(IdNameView{key, fold});
  if (present && data.size() > kMaxCachedValueSize) {
    if (found != value_cache_.end()) {
      value_cache_bytes_ -= found->second.data.size();
      value_cache_.erase(found);
    }
    return;
  }
  if (found == value_cache_.end()) {
    if (value_cache_.size() >= kMaxCachedValues || value_cache_bytes_ + data.size() > kMaxCachedValueBytes) {
      value_cache_.clear();
      value_cache_bytes_ = 0;
    }
    found = value_cache_.emplace(IdName{key, std::string(fold)}, CachedValue{}).first;
  }
  CachedValue& value = found->second;
  value_cache_bytes_ -= value.data.size();
  value.present = present;
  value.type = type;
  value.data.assign(present ? data : std::string_view());
  value_cache_bytes_ += value.data.size();
}

LONG Hive::OpenKey(HKEY key, std::string_view sub_key, REGSAM sam_desired, HKEY* result) {
  KeyHandle* parent = Resolve(key);
  if (parent == nullptr) return kErrorInvalidHandle;
  if (!SplitSubKey(sub_key, &parts_)) return kErrorInvalidParameter;
  if (!EnsureLive(*parent)) return kErrorKeyDeleted;
  if (parts_.empty() && IsPredefined(key)) {
    *result = key;
    return kErrorSuccess;
  }
  size_t depth = 0;
  int64_t id = Walk(parent->id, &depth);
  if (id == 0) return kErrorFileNotFound;
  if (!HandlesLeft(handles_.size())) return kErrorNoSystemResources;
  *result = AddHandle(id, GrantedRights(sam_desired));
  return kErrorSuccess;
}

LONG Hive::CreateKey(HKEY key, std::string_view sub_key, std::string_view key_class, REGSAM sam_desired,
                     HKEY* result, DWORD* disposition) {
  KeyHandle* parent = Resolve(key);
  if (parent == nullptr) return kErrorInvalidHandle;
  if (!SplitSubKey(sub_key, &parts_)) return kErrorInvalidParameter;
  // Most calls find the key there already: look without taking the write lock.
  if (!EnsureLive(*parent)) return kErrorKeyDeleted;
  size_t depth = 0;
  int64_t id = parts_.empty() ? parent->id : Walk(parent->id, &depth);
  bool own_handle = !(parts_.empty() && IsPredefined(key));
  if (own_handle && !HandlesLeft(handles_.size())) return kErrorNoSystemResources;
  if (id != 0) {
    *result = parts_.empty() && IsPredefined(key) ? key : AddHandle(id, GrantedRights(sam_desired));
    *disposition = kRegOpenedExistingKey;
    return kErrorSuccess;
  }
  // As on Windows, the parent handle's rights do not matter here: the new
  // key's own rights are asked for by `sam_desired`.

  WriteTransaction transaction(store_->db());
  SyncNow();  // another process may have written since the look above
  if (!EnsureLive(*parent)) return kErrorKeyDeleted;
  struct Created {
    int64_t parent;
    std::string fold;
    int64_t id;
  };
  std::vector<Created> created;
  id = parent->id;
  int64_t now = NowFileTime();
  for (size_t i = 0; i < parts_.size(); ++i) {
    int64_t child = FindChild(id, parts_[i]);
    if (child == 0) {
      bool last = i + 1 == parts_.size();
      child = store_->InsertKey(id, parts_[i], fold_, last ? key_class : std::string_view(), now);
      created.push_back({id, fold_, child});
    }
    id = child;
  }
  transaction.Commit();
  if (!created.empty()) Committed();
  for (const Created& entry : created) RememberChild(entry.parent, entry.fold, entry.id);
  if (!created.empty()) ++keys_generation_;
  *result = AddHandle(id, GrantedRights(sam_desired));
  // Empty when another process created it between the two looks.
  *disposition = created.empty() ? kRegOpenedExistingKey : kRegCreatedNewKey;
  return kErrorSuccess;
}

LONG Hive::CloseKey(HKEY key) {
  if (IsPredefined(key)) return kErrorSuccess;
  return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

LONG Hive::DeleteKey(HKEY key, std::string_view sub_key) {
  KeyHandle* handle = Resolve(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  if (!SplitSubKey(sub_key, &parts_)) return kErrorInvalidParameter;
  WriteTransaction transaction(store_->db());
  SyncNow();
  if (!EnsureLive(*handle)) return kErrorKeyDeleted;
  size_t depth = 0;
  int64_t id = Walk(handle->id, &depth);
  if (id == 0) return kErrorFileNotFound;
  if (id <= kLastRootKeyId || store_->HasChildren(id)) return kErrorAccessDenied;
  store_->DeleteKey(id);
  transaction.Commit();
  Committed();
  ForgetCaches();
  return kErrorSuccess;
}

LONG Hive::DeleteTree(HKEY key, const char* sub_key) {
  KeyHandle* handle = Resolve(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  bool keep_top = sub_key == nullptr;
  if (!SplitSubKey(keep_top ? "" : sub_key, &parts_)) return kErrorInvalidParameter;
  if (keep_top && (handle->access & kKeySetValue) == 0) return kErrorAccessDenied;
  WriteTransaction transaction(store_->db());
  SyncNow();
  if (!EnsureLive(*handle)) return kErrorKeyDeleted;
  size_t depth = 0;
  int64_t id = Walk(handle->id, &depth);
  if (id == 0) return kErrorFileNotFound;
  // A whole root (or everything in it) is never deleted.
  if (id <= kLastRootKeyId) return kErrorAccessDenied;
  for (int64_t below : store_->Descendants(id)) store_->DeleteKey(below);
  if (keep_top) {
    store_->DeleteValuesOf(id);
  } else {
    store_->DeleteKey(id);
  }
  transaction.Commit();
  Committed();
  ForgetCaches();
  return kErrorSuccess;
}

LONG Hive::DeleteValue(HKEY key, std::string_view name) {
  KeyHandle* handle = Resolve(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  if ((handle->access & kKeySetValue) == 0) return kErrorAccessDenied;
  FoldName(name, &fold_);
  if (!store_->DeleteValue(handle->id, fold_)) {
    return store_->KeyExists(handle->id) ? kErrorFileNotFound : kErrorKeyDeleted;
  }
  Committed();
  RememberValue(handle->id, fold_, false, 0, {});
  ++values_generation_;
  return kErrorSuccess;
}

LONG Hive::ReadyToRead(HKEY key, REGSAM right, KeyHandle** handle) {
  *handle = Resolve(key);
  if (*handle == nullptr) return kErrorInvalidHandle;
  if (((*handle)->access & right) == 0) return kErrorAccessDenied;
  return EnsureLive(**handle) ? kErrorSuccess : kErrorKeyDeleted;
}

LONG Hive::EnumKey(HKEY key, DWORD index, const SubkeyRow** row) {
  KeyHandle* handle = nullptr;
  if (LONG result = ReadyToRead(key, kKeyEnumerateSubKeys, &handle); result != kErrorSuccess) return result;
  if (handle->subkeys_generation != keys_generation_) {
    handle->subkeys = store_->ListSubkeys(handle->id);
    handle->subkeys_generation = keys_generation_;
  }
  if (index >= handle->subkeys.size()) return kErrorNoMoreItems;
  *row = &handle->subkeys[index];
  return kErrorSuccess;
}

LONG Hive::EnumValue(HKEY key, DWORD index, const ValueRow** row) {
  KeyHandle* handle = nullptr;
  if (LONG result = ReadyToRead(key, kKeyQueryValue, &handle); result != kErrorSuccess) return result;
  if (handle->values_generation != values_generation_) {
    handle->values = store_->ListValues(handle->id);
    handle->values_generation = values_generation_;
  }
  if (index >= handle->values.size()) return kErrorNoMoreItems;
  *row = &handle->values[index];
  return kErrorSuccess;
}

LONG Hive::QueryValue(HKEY key, std::string_view name, DWORD* type, std::string_view* data) {
  KeyHandle* handle = nullptr;
  if (LONG result = ReadyToRead(key, kKeyQueryValue, &handle); result != kErrorSuccess) return result;
  FoldName(name, &fold_);
  auto cached = value_cache_.find(IdNameView{handle->id, fold_});
  if (cached != value_cache_.end()) {
    if (!cached->second.present) return kErrorFileNotFound;
    *type = cached->second.type;
    *data = cached->second.data;
    return kErrorSuccess;
  }
  DWORD stored_type = 0;
  bool present = store_->GetValue(handle->id, fold_, &stored_type, &data_);
  RememberValue(handle->id, fold_, present, stored_type, data_);
  if (!present) return kErrorFileNotFound;
  *type = stored_type;
  *data = data_;
  return kErrorSuccess;
}

LONG Hive::SetValue(HKEY key, std::string_view name, DWORD type, const BYTE* data, DWORD size) {
  KeyHandle* handle = Resolve(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  if ((handle->access & kKeySetValue) == 0) return kErrorAccessDenied;
  if (name.size() > kMaxValueNameLength) return kErrorInvalidParameter;
  FoldName(name, &fold_);
  // A value known to be there takes the plain update, which spares the
  // insert attempt, its key check and the numbering of a new value. Should
  // it be gone after all (a change nobody announced), the upsert follows.
  auto cached = value_cache_.find(IdNameView{handle->id, fold_});
  bool updated = cached != value_cache_.end() && cached->second.present &&
                 store_->UpdateValue(handle->id, fold_, type, data, size);
  if (!updated && !store_->UpsertValue(handle->id, fold_, name, type, data, size)) return kErrorKeyDeleted;
  Committed();
  RememberValue(handle->id, fold_, true, type,
                std::string_view(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size));
  ++values_generation_;
  return kErrorSuccess;
}

}  // namespace platform::registry
