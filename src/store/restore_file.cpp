// The folder blocks of a file set entry, and RestoreFile for each file.
#include <ctime>

#include "platform/apartment/apartment.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/fs/attributes.h"
#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/file_times.h"
#include "platform/fs/folders.h"
#include "service/contracts/support_objects.h"
#include "systemlog/system_log.h"
#include "store/file_manager.h"
#include "store/large_files.h"
#include "store/safe_paths.h"

namespace store {
namespace {

// The smallest FileRecord: two empty texts, the date, attributes, two Longs.
constexpr int64_t kSmallestFileRecord = 2 + 2 + 8 + 2 + 4 + 4;

// Bytes of file data that follow a record; -1 when the counts are damaged.
int64_t StoredDataLength(const FileRecord& record) {
  if (record.FullChunks == kMovedFileChunks || record.FullChunks == -1) return 0;
  if (record.FullChunks < -1 || record.LastChunkSize < 0 || record.LastChunkSize > kFileChunkSize) return -1;
  return static_cast<int64_t>(record.FullChunks) * kFileChunkSize + record.LastChunkSize;
}

// The local time of a date serial, to the second; nothing for serials that
// are not a time of this era.
std::optional<platform::fs::FileClock::time_point> LocalTimeOf(double serial) {
  if (!(serial > 1.0 && serial < platform::kMaxDateSerial)) return std::nullopt;
  std::tm parts{};
  parts.tm_year = platform::Year(serial) - 1900;
  parts.tm_mon = platform::Month(serial) - 1;
  parts.tm_mday = platform::Day(serial);
  parts.tm_hour = platform::Hour(serial);
  parts.tm_min = platform::Minute(serial);
  parts.tm_sec = platform::Second(serial);
  parts.tm_isdst = -1;
  const std::time_t when = std::mktime(&parts);
  if (when == static_cast<std::time_t>(-1)) return std::nullopt;
  return platform::fs::FileClock::from_time_t(when);
}

}  // namespace

std::string cFileMgr::RestoreFolder(const std::string& BasePath) const {
  if (restore_root_.empty()) return BasePath;
  if (!IsSafeBasePath(BasePath)) return {};
  std::string folder = restore_root_;
  if (folder.ends_with('/')) folder.pop_back();
  return folder + BasePath;
}

bool cFileMgr::RestoreFolderBlocks(RecordReader& in, const std::string& Filename, int32_t entry_number) {
  (void)Filename;
  (void)entry_number;
  while (in.remaining() >= 8) {
    const FolderRecord folder_record = ReadFolderRecord(in);
    if (folder_record.FileCount < 0 || folder_record.FileCount > in.remaining() / kSmallestFileRecord) {
      throw RecordError("file count");
    }
    std::string folder = RestoreFolder(folder_record.BasePath);
    if (folder.empty()) {
      service::WriteSystemLog("PlayBackStoreFile: refusing to restore into '" + folder_record.BasePath + "'");
    } else {
      if (!folder.ends_with('/')) folder += '/';
      if (!platform::fs::FolderExists(folder)) platform::fs::MakeFolderTree(folder);
    }
    for (int32_t i = 0; i < folder_record.FileCount; ++i) {
      const FileRecord record = ReadFileRecord(in);
      const int64_t data_length = StoredDataLength(record);
      if (data_length < 0 || data_length > in.remaining()) throw RecordError("file data length");
      if (folder.empty() || !IsSafeFileName(record.FileName) || !IsSafeRelPath(record.RelPath)) {
        if (!folder.empty()) {
          service::WriteSystemLog("RestoreFile: refusing the unsafe name '" + record.RelPath + record.FileName +
                                  "' in " + folder_record.BasePath);
        }
        in.Skip(data_length);
        continue;
      }
      platform::Err::Clear();
      platform::Step([&] { RestoreFile(in, folder, record, data_length); });
      if (platform::Err::IsSet()) return false;
      ++last_playback_.files;
      ++progress_state_.files_done;
      ReportProgress();
    }
  }
  return true;
}

void cFileMgr::RestoreFile(RecordReader& in, const std::string& folder, const FileRecord& record,
                           int64_t data_length) {
  const std::string destination_folder = folder + record.RelPath;
  const std::string destination = destination_folder + record.FileName;
  if (record.FullChunks == kMovedFileChunks) {
    if (!platform::fs::FolderExists(destination_folder)) platform::fs::MakeFolderTree(destination_folder);
    if (!platform::fs::RenameReplacing(platform::fs::JoinPath(LargeFilesFolder(), record.FileName), destination)) {
      platform::RaiseError(platform::kErrPathFileAccess, "READ_WRITE_ERROR 0x" + platform::Hex(platform::kErrPathFileAccess),
                           "RestoreFile");
    }
    return;
  }
  // The stored data must be readable before the destination is emptied for
  // them: a damaged store leaves the file as it was.
  in.Expect(data_length);
  if (!platform::fs::FolderExists(destination_folder)) platform::fs::MakeFolderTree(destination_folder);
  contracts::Support().Files()->PreparePath(destination);
  // Emptied on opening: a restored file is the stored file, not the stored
  // bytes over a longer old one.
  const int number = platform::fs::OpenFile(destination, platform::fs::OpenMode::kOutput,
                                            platform::fs::Access::kDefault, platform::fs::Share::kDenyAll);
  if (number == 0) platform::RaiseError(platform::kErrInvalidCall, "DESTFILE_UNWRITEABLE", "RestoreFile");

  const int64_t data_end = in.position() + data_length;
  int32_t failure = 0;
  std::string chunk;
  for (int64_t done = 0; done < data_length && failure == 0;) {
    const int64_t size = std::min<int64_t>(kFileChunkSize, data_length - done);
    if (!platform::Step([&] { in.ReadInto(chunk, size); })) {
      failure = platform::kErrDeviceIo;
    } else if (static_cast<int64_t>(chunk.size()) != size) {
      failure = platform::kErrInputPastEnd;
    } else if (!platform::fs::WriteNext(number, chunk)) {
      failure = platform::kErrDiskFull;
    }
    done += size;
    progress_state_.bytes_done = in.position();
    last_playback_.bytes += static_cast<int64_t>(chunk.size());
    platform::Apartment::Current()->PumpPending();
  }
  platform::fs::CloseFile(number);
  if (failure) {
    in.SeekTo(data_end);
    platform::RaiseError(failure, "READ_WRITE_ERROR 0x" + platform::Hex(failure), "RestoreFile");
  }
  if (auto when = LocalTimeOf(record.Modified)) platform::fs::SetLastWriteTime(destination, *when);
  platform::fs::SetFileAttributes(destination, record.Attributes);
}

}  // namespace store
