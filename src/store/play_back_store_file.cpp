// PlayBackStoreFile: every entry of a store file back where it came from,
// the struct entries into the bag.
#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "systemlog/system_log.h"
#include "store/file_manager.h"

namespace store {

std::shared_ptr<PlaybackBag> cFileMgr::PlayBackStoreFile(const std::string& Filename) {
  auto bag = std::make_shared<PlaybackBag>();
  last_playback_ = {};
  platform::Step([&] {
    if (SafeFileSize(Filename) < kSmallestStoreFile) return;
    int32_t handle = GetProtectedFileHandle(Filename);
    if (!handle) handle = ProtectFile(Filename);
    if (!handle) return;
    int64_t header_size = 0;
    std::optional<StoreFileHeader> header = ReadHeader(handle, &header_size);
    if (!header) {
      service::WriteSystemLog("Error reading file '" + Filename + "' (invalid file header)");
      return;
    }
    if (header->Compressed && !ExpandStore(Filename, handle, *header, header_size)) return;

    const int64_t length = platform::fs::FileLength(handle);
    progress_state_ = {};
    int64_t position = header_size;
    for (int32_t number = 1; number <= header->EntryCount; ++number) {
      RecordReader in(handle, position, length);
      EntryHeader entry;
      bool valid = false;
      try {
        valid = ReadSignature(in, kEntrySignature);
        if (valid) entry = ReadEntryHeader(in);
      } catch (const RecordError&) {
        valid = false;
      }
      // A body that does not fit in the file is as wrong as its signature.
      if (!valid || entry.DataLength < 0 || entry.DataLength > in.remaining()) {
        service::WriteSystemLog("Error reading entry " + std::to_string(number) + " in file '" + Filename +
                                "' (invalid entry header)");
        break;
      }
      const int64_t body = in.position();
      in.SetLimit(body + entry.DataLength);
      bool go_on = true;
      try {
        switch (entry.EntryType) {
          case kRegistryKeyEntry:
            RestoreRegKeys(in);
            break;
          case kRegistryValueEntry:
            RestoreRegValue(in);
            break;
          case kStructEntry:
            LoadStruct(in, *bag);
            break;
          case kFileSetEntry:
            go_on = RestoreFolderBlocks(in, Filename, number);
            break;
          default:
            break;
        }
      } catch (const RecordError&) {
        service::WriteSystemLog("Error reading entry " + std::to_string(number) + " in file '" + Filename +
                                "' (invalid record)");
      } catch (...) {
        platform::Err::SetFrom(std::current_exception());
      }
      ++last_playback_.entries;
      if (!go_on) return;
      position = body + entry.DataLength;
      progress_state_.bytes_done = position;
      ReportProgress();
    }
    last_playback_.completed = true;
  });
  return bag;
}

}  // namespace store
