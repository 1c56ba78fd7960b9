// Struct entries: opaque caller buffers, optionally compressed, encrypted and
// hashed, played back into the bag under their Tag.
#include <atomic>
#include <string>

#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "systemlog/system_log.h"
#include "store/file_manager.h"
#include "store/struct_data.h"

namespace store {
namespace {

std::atomic<int32_t> struct_limit{kLargestStruct};

}  // namespace

void SetStructLimitForTesting(int32_t limit) { struct_limit = limit > 0 ? limit : kLargestStruct; }

void cFileMgr::StoreStruct(const std::string& Tag, int32_t hStoreFile, int32_t EncryptionKeyType, bool fDoHash,
                           bool fDoCompress, int32_t StructType, Bytes& StructBuffer) {
  if (StructBuffer.empty() || !WritableHandle(hStoreFile, "StoreStruct")) return;
  const int32_t counter_before = entry_counter_;
  const bool written = platform::Step([&] {
    // What a playback could not take back is not stored.
    if (StructBuffer.size() > static_cast<size_t>(struct_limit.load())) {
      service::WriteSystemLog("StoreStruct: '" + Tag + "' is larger than " + std::to_string(struct_limit.load()) +
                              " bytes, the most a playback takes back; not stored");
      platform::RaiseError(platform::kErrOverflow, "the struct is too large to store", "StoreStruct");
    }
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
  // An entry that was not written is not counted: the next one takes its place.
  if (!written) entry_counter_ = counter_before;
}

void cFileMgr::LoadStruct(RecordReader& in, PlaybackBag& bag) {
  const StructRecord record = ReadStructRecord(in);
  if (record.DataLength < 0 || record.DataLength > in.remaining()) throw RecordError("struct data length");
  const std::string stored = in.ReadBytes(record.DataLength);
  Bytes data(stored.begin(), stored.end());
  // Nothing larger is stored: such a length is damage, never a reason to
  // expand that far nor to hand out the bytes still compressed or encrypted.
  // (Plain bytes are the struct itself, whatever an older writer allowed.)
  if ((record.Compressed || record.Encrypted) && record.SourceLength > struct_limit.load()) {
    throw RecordError("struct source length");
  }
  data = RestoreStructData(std::move(data), record);
  for (int32_t i = 1; i <= bag.Count(); ++i) service::WriteSystemLog("Existing playback buffer key: " + bag.Key(i));
  if (!data.empty()) {
    service::WriteSystemLog("Adding playback buffer with key: " + record.Tag);
    bag.Remove(record.Tag);
    bag.Add(record.Tag, std::move(data));
    ++last_playback_.structs;
  }
}

}  // namespace store
