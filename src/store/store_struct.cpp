// Struct entries: opaque caller buffers, optionally compressed, encrypted and
// hashed, played back into the bag under their Tag.
#include <limits>

#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "systemlog/system_log.h"
#include "store/file_manager.h"
#include "store/struct_data.h"

namespace store {
namespace {

// Decompressing a struct never asks for more than this (a guard against
// lengths read from damaged files).
constexpr int32_t kLargestStruct = 256 * 1024 * 1024;

}  // namespace

void cFileMgr::StoreStruct(const std::string& Tag, int32_t hStoreFile, int32_t EncryptionKeyType, bool fDoHash,
                           bool fDoCompress, int32_t StructType, Bytes& StructBuffer) {
  if (!OwnsHandle(hStoreFile) || StructBuffer.empty()) return;
  if (StructBuffer.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2)) return;
  platform::Step([&] {
    const bool encrypt = EncryptionKeyType != EK_NONE;
    StructRecord record;
    record.StructType = static_cast<int16_t>(StructType);
    record.Encrypted = encrypt;
    record.Salt = encrypt ? MakeSalt() : Bytes(16, 0);
    record.Compressed = fDoCompress;
    record.SourceLength = static_cast<int32_t>(StructBuffer.size());
    record.Tag = Tag;
    if (fDoHash) record.Hash = Bytes(16, '?');
    std::string record_bytes;
    Encode(record_bytes, record);  // a Tag too long to store raises here

    ++entry_counter_;
    RecordWriter out(hStoreFile, platform::fs::Tell(hStoreFile));
    entry_position_ = out.position();
    EntryHeader entry{kStructEntry, -1, entry_counter_};
    std::string head;
    Encode(head, entry);
    out.Write(head);
    out.Write(record_bytes);

    PrepareStructData(StructBuffer, fDoCompress, encrypt, record.Salt, fDoHash, &record.Hash);
    if (fDoHash && record.Hash.size() != 16) record.Hash = Bytes(16, '?');
    out.Write(std::string_view(reinterpret_cast<const char*>(StructBuffer.data()), StructBuffer.size()));

    record.DataLength = static_cast<int32_t>(StructBuffer.size());
    entry.DataLength = static_cast<int32_t>(out.end() - entry_position_ - kEntryHeaderSize);
    std::string rewritten;
    Encode(rewritten, entry);
    Encode(rewritten, record);
    out.Rewrite(entry_position_, rewritten);
    out.Finish();
  });
}

void cFileMgr::LoadStruct(RecordReader& in, PlaybackBag& bag) {
  const StructRecord record = ReadStructRecord(in);
  if (record.DataLength < 0 || record.DataLength > in.remaining()) throw RecordError("struct data length");
  const std::string stored = in.ReadBytes(record.DataLength);
  Bytes data(stored.begin(), stored.end());
  if (record.SourceLength <= kLargestStruct) data = RestoreStructData(std::move(data), record);
  for (int32_t i = 1; i <= bag.Count(); ++i) service::WriteSystemLog("Existing playback buffer key: " + bag.Key(i));
  if (!data.empty()) {
    service::WriteSystemLog("Adding playback buffer with key: " + record.Tag);
    bag.Remove(record.Tag);
    bag.Add(record.Tag, std::move(data));
    ++last_playback_.structs;
  }
}

}  // namespace store
