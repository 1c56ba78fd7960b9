// The folder blocks of a file set entry, and RestoreFile for each file.
#include <cerrno>
#include <ctime>

#include "contracts/support_objects.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/fs/attributes.h"
#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/file_times.h"
#include "platform/fs/folders.h"
#include "platform/fs/no_follow.h"
#include "store/file_manager.h"
#include "store/large_files.h"
#include "store/safe_paths.h"
#include "store/yield.h"
#include "systemlog/system_log.h"

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

platform::fs::Folder cFileMgr::OpenRestoreFolder(const std::string& BasePath, platform::fs::WalkStop* stop) const {
  using platform::fs::LinkPolicy;
  // Where the files came from is walked without following a link a user
  // could have planted; below a restore root, no link at all.
  if (restore_root_.empty()) return platform::fs::OpenFolderPath(BasePath, LinkPolicy::kTrustRootMade, true, stop);
  if (!IsSafeBasePath(BasePath)) {
    *stop = {BasePath, EINVAL};
    return {};
  }
  platform::fs::Folder root = platform::fs::OpenFolderPath(restore_root_, LinkPolicy::kTrustRootMade, true, stop);
  return platform::fs::OpenFolderBelow(root, BasePath, LinkPolicy::kRefuseAll, true, stop);
}

namespace {

// Why a walk did not reach its folder, for the log.
std::string WhyRefused(const platform::fs::WalkStop& stop) {
  switch (stop.error) {
    case ELOOP:
      return stop.path + " is a symbolic link";
    case ENOTDIR:
      return stop.path + " is not a folder";
    default:
      return stop.path + " cannot be reached";
  }
}

// The owner a restored file gets and the widest mode: the folder's owner,
// the folder's read bits (never execute, never more than 0644).
platform::fs::NodeStatus RestoredFileOwner(const platform::fs::Folder& folder) {
  platform::fs::NodeStatus owner = folder.Status();
  owner.mode = (owner.mode & 0644) | 0600;
  return owner;
}

}  // namespace

bool cFileMgr::RestoreFolderBlocks(RecordReader& in, const std::string& Filename, int32_t entry_number) {
  (void)Filename;
  (void)entry_number;
  while (in.remaining() >= 8) {
    const FolderRecord folder_record = ReadFolderRecord(in);
    if (folder_record.FileCount < 0 || folder_record.FileCount > in.remaining() / kSmallestFileRecord) {
      throw RecordError("file count");
    }
    platform::fs::WalkStop stop;
    const platform::fs::Folder base = OpenRestoreFolder(folder_record.BasePath, &stop);
    if (!base.ok()) {
      service::WriteSystemLog("PlayBackStoreFile: refusing to restore into '" + folder_record.BasePath +
                              "': " + WhyRefused(stop));
    }
    // Files of one folder follow each other: its descriptor serves them all.
    std::string open_rel_path;
    platform::fs::Folder folder;
    platform::fs::NodeStatus owner;
    for (int32_t i = 0; i < folder_record.FileCount; ++i) {
      if (StopRequested()) {
        last_playback_.stopped = true;
        return false;
      }
      const FileRecord record = ReadFileRecord(in);
      const int64_t data_length = StoredDataLength(record);
      if (data_length < 0 || data_length > in.remaining()) throw RecordError("file data length");
      if (!base.ok()) {
        ++last_playback_.refused;
        in.Skip(data_length);
        continue;
      }
      if (!IsSafeFileName(record.FileName) || !IsSafeRelPath(record.RelPath)) {
        service::WriteSystemLog("RestoreFile: refusing the unsafe name '" + record.RelPath + record.FileName +
                                "' in " + folder_record.BasePath);
        ++last_playback_.refused;
        in.Skip(data_length);
        continue;
      }
      if (!folder.ok() || record.RelPath != open_rel_path) {
        open_rel_path = record.RelPath;
        folder = platform::fs::OpenFolderBelow(base, record.RelPath, platform::fs::LinkPolicy::kRefuseAll, true, &stop);
        if (folder.ok()) owner = RestoredFileOwner(folder);
      }
      if (!folder.ok()) {
        service::WriteSystemLog("RestoreFile: refusing '" + folder_record.BasePath + record.RelPath +
                                record.FileName + "': " + WhyRefused(stop));
        ++last_playback_.refused;
        in.Skip(data_length);
        continue;
      }
      platform::Err::Clear();
      bool written = false;
      if (!platform::Step([&] { written = RestoreFile(in, folder, owner, record, data_length); })) return false;
      if (!written) continue;  // refused or left out, and counted so
      ++last_playback_.files;
      ++progress_state_.files_done;
      ReportProgress();
    }
  }
  return true;
}

bool cFileMgr::RestoreFile(RecordReader& in, const platform::fs::Folder& folder, const platform::fs::NodeStatus& owner,
                           const FileRecord& record, int64_t data_length) {
  const std::string destination = folder.path() + "/" + record.FileName;
  if (record.FullChunks == kMovedFileChunks) {
    if (!restore_root_.empty()) {
      // The file is in the profile's large-file folder, outside the root;
      // a store that is not trusted must not take files out of it either.
      service::WriteSystemLog("RestoreFile: '" + destination + "' left in the large-file folder: restoring below " +
                              restore_root_);
      ++last_playback_.left_out;
      return false;
    }
    const platform::fs::Folder large =
        platform::fs::OpenFolderPath(LargeFilesFolder(), platform::fs::LinkPolicy::kTrustRootMade, false);
    if (!platform::fs::RenameBetween(large, record.FileName, folder, record.FileName, /*replace=*/true)) {
      platform::RaiseError(platform::kErrPathFileAccess, "READ_WRITE_ERROR 0x" + platform::Hex(platform::kErrPathFileAccess),
                           "RestoreFile");
    }
    return true;
  }
  // The stored data must be readable before the destination is emptied for
  // them: a damaged store leaves the file as it was.
  in.Expect(data_length);
  contracts::Support().Files()->PreparePath(destination);
  // Emptied on opening: a restored file is the stored file, not the stored
  // bytes over a longer old one. Never through a link, never into a file
  // that has other names.
  const int number = platform::fs::OpenFileIn(
      folder, record.FileName, platform::fs::OpenMode::kOutput, platform::fs::Access::kDefault,
      platform::fs::Share::kDenyAll, nullptr, {.mode = owner.mode, .fresh_when_linked = true});
  if (number == 0) {
    if (platform::fs::StatusIn(folder, record.FileName).kind == platform::fs::NodeKind::kLink) {
      // Refused, not failed: the link stays, the playback goes on.
      service::WriteSystemLog("RestoreFile: refusing '" + destination + "': it is a symbolic link");
      ++last_playback_.refused;
      in.Skip(data_length);
      return false;
    }
    platform::RaiseError(platform::kErrInvalidCall, "DESTFILE_UNWRITEABLE", "RestoreFile");
  }

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
    YieldToPendingEvents();
  }
  if (!failure) {
    if (auto when = LocalTimeOf(record.Modified)) platform::fs::SetModifiedTime(number, *when);
    // The folder's owner, never set-user or set-group; read-only stays so.
    mode_t mode = owner.mode;
    if (record.Attributes & platform::fs::kReadOnly) mode &= ~static_cast<mode_t>(0222);
    platform::fs::SetOwnerAndMode(number, owner.uid, owner.gid, mode);
  }
  platform::fs::CloseFile(number);
  if (failure) {
    in.SeekTo(data_end);
    platform::RaiseError(failure, "READ_WRITE_ERROR 0x" + platform::Hex(failure), "RestoreFile");
  }
  return true;
}

}  // namespace store
