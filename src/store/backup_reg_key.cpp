// BackupRegKey: a key's values, and those of its direct subkeys, in one
// entry; every deeper key in an entry of its own.
#include <vector>

#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "platform/registry/registry_types.h"
#include "systemlog/system_log.h"
#include "store/file_manager.h"
#include "store/key_paths.h"
#include "store/reg_wrapper_bg.h"

namespace store {
namespace {

namespace reg = platform::registry;
using namespace modRegWrapperBg;

constexpr DWORD kValueNameBuffer = 1024;
constexpr DWORD kKeyNameBuffer = 256;  // 255 characters and the NUL
// A ValueCount beyond the Integer range is written as -1: readers then take
// value records up to the end of the entry.
constexpr int32_t kLargestValueCount = 32767;

bool IsStoredType(DWORD type) {
  return type == reg::kRegSz || type == reg::kRegExpandSz || type == reg::kRegBinary || type == reg::kRegMultiSz ||
         type == reg::kRegQword;
}

}  // namespace

void cFileMgr::BackupRegKey(int32_t BaseKey, const std::string& KeyName, bool fAlsoSubKeys, bool fDeleteKeys,
                            int32_t hStoreFile) {
  if (!WritableHandle(hStoreFile, "BackupRegKey")) return;
  std::vector<std::string> deletions;
  const bool stored = platform::Step([&] {
    RecordWriter out(hStoreFile, platform::fs::Tell(hStoreFile));
    BackupRegKeyTo(out, BaseKey, KeyName, fAlsoSubKeys, fDeleteKeys ? &deletions : nullptr);
    // A key is deleted only once its entry is on the disk: a failed write
    // leaves every key in place and fails the call.
    if (!deletions.empty()) out.Commit();
    out.Finish();
  });
  if (!stored) return;
  const auto root = static_cast<HKEY>(BaseKey);
  for (const std::string& path : deletions) RegFacetDeleteKey(root, path);
}

void cFileMgr::BackupRegKeyTo(RecordWriter& out, int32_t BaseKey, const std::string& KeyName, bool fAlsoSubKeys,
                              std::vector<std::string>* deletions) {
  const auto root = static_cast<HKEY>(BaseKey);
  HKEY key = 0;
  if (RegFacetOpenKeyEx(root, KeyName, 0, reg::kKeyRead, &key) != reg::kErrorSuccess) {
    service::WriteSystemLog("BackupRegKey: Can't open " + KeyName + " for read");
    return;
  }
  // The key's own group comes first, so that its values are set on the key
  // itself before the reader moves on to a subkey.
  std::vector<std::string> suffixes{""};
  std::vector<std::string> descent;
  for (DWORD index = 0;; ++index) {
    std::string name;
    DWORD size = kKeyNameBuffer;
    if (RegFacetEnumKeyEx(key, index, name, size) != reg::kErrorSuccess) break;
    descent.push_back(JoinKeyPath(KeyName, "\\" + name));
    if (fAlsoSubKeys) suffixes.push_back("\\" + name);
  }
  RegFacetCloseKey(key);

  ++entry_counter_;
  const int64_t entry_position = out.position();
  entry_position_ = entry_position;
  EntryHeader entry{kRegistryKeyEntry, -1, entry_counter_};
  KeyRecord key_record{BaseKey, KeyName, -1};
  std::string head;
  Encode(head, entry);
  Encode(head, key_record);
  out.Write(head);

  int32_t value_count = 0;
  for (const std::string& suffix : suffixes) {
    const std::string path = JoinKeyPath(KeyName, suffix);
    HKEY group = 0;
    if (RegFacetOpenKeyEx(root, path, 0, reg::kKeyRead, &group) != reg::kErrorSuccess) continue;
    // The suffix goes on the first value record written for the group, even
    // when values before it were skipped, so the reader switches keys there.
    bool suffix_written = false;
    for (DWORD index = 0;; ++index) {
      std::string name;
      DWORD name_size = kValueNameBuffer;
      DWORD type = 0;
      DWORD data_size = 0;
      LONG result = RegFacetEnumValueBytes(group, index, name, name_size, type, nullptr, &data_size);
      if (result == reg::kErrorNoMoreItems) break;
      if (result == reg::kErrorMoreData) continue;  // a name longer than the buffer: not read
      if (result != reg::kErrorSuccess) break;
      Bytes data(data_size);
      name_size = kValueNameBuffer;
      result = RegFacetEnumValueBytes(group, index, name, name_size, type, data.data(), &data_size);
      if (result != reg::kErrorSuccess) continue;
      data.resize(data_size);

      ValueRecord value;
      value.ValueName = name;
      value.ValueType = static_cast<int32_t>(type);
      if (type == reg::kRegDword) {
        uint32_t number = 0;
        for (size_t i = 0; i < 4 && i < data.size(); ++i) number |= static_cast<uint32_t>(data[i]) << (8 * i);
        value.DwordValue = static_cast<int32_t>(number);
      } else if (IsStoredType(type)) {
        value.Data = std::move(data);
      } else {
        service::WriteSystemLog("BackupRegKey: Unhandled value type '" + std::to_string(type) + "': " + path + "\\" +
                                name);
        continue;
      }
      if (!suffix_written) value.SubKey = suffix;
      suffix_written = true;
      std::string bytes;
      Encode(bytes, value);
      out.Write(bytes);
      ++value_count;
    }
    RegFacetCloseKey(group);
  }

  entry.DataLength = static_cast<int32_t>(out.end() - entry_position - kEntryHeaderSize);
  key_record.ValueCount = value_count > kLargestValueCount ? -1 : static_cast<int16_t>(value_count);
  std::string rewritten;
  Encode(rewritten, entry);
  Encode(rewritten, key_record);
  out.Rewrite(entry_position, rewritten);

  for (const std::string& path : descent) BackupRegKeyTo(out, BaseKey, path, true, deletions);

  if (deletions != nullptr) {
    for (auto it = suffixes.rbegin(); it != suffixes.rend(); ++it) deletions->push_back(JoinKeyPath(KeyName, *it));
  }
}

}  // namespace store
