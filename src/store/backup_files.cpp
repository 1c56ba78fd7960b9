// BackupFiles: a folder's files (and, recursing, its subfolders') into file
// set entries; BackupFile copies one file in, the large-file move sets one
// aside in the profile's "lfiles" folder.
//
// The walk runs as root over folders that users own: every folder is opened
// from its parent's descriptor without following links, a link is never
// stored, descended into or deleted through, and a source is deleted only
// once the bytes that hold it are on disk.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

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
#include "store/yield.h"
#include "systemlog/system_log.h"

namespace store {
namespace {

// Whole 32,768-byte chunks at a time.
constexpr int64_t kBackupReadBlock = 32 * kFileChunkSize;

// The most bytes an entry may hold after its header: DataLength is a Long.
std::atomic<int64_t> entry_limit{0x7FFFFFFF};

int16_t AttributesOf(const std::string& name, const platform::fs::NodeStatus& status) {
  int16_t attributes = platform::fs::kNormal;
  if ((status.mode & 0222) == 0) attributes |= platform::fs::kReadOnly;
  if (name.size() > 1 && name.front() == '.') attributes |= platform::fs::kHidden;
  return attributes;
}

std::string WhyRefused(const platform::fs::WalkStop& stop) {
  return stop.error == ELOOP ? stop.path + " is a symbolic link" : stop.path + " cannot be opened";
}

}  // namespace

void SetEntryLimitForTesting(int64_t limit) { entry_limit = limit > 0 ? limit : 0x7FFFFFFF; }

// The file set entry being written and its open folder record. An entry that
// would grow past what DataLength can say is closed and a new one begun, its
// folder record naming the same BasePath, so no byte is ever cut off.
class cFileMgr::FileSet {
 public:
  FileSet(cFileMgr& mgr, RecordWriter& out) : mgr_(mgr), out_(out) {}

  void BeginEntry() {
    entry_ = EntryHeader{kFileSetEntry, -1, ++mgr_.entry_counter_};
    entry_position_ = out_.position();
    mgr_.entry_position_ = entry_position_;
    entry_open_ = true;
    std::string head;
    Encode(head, entry_);
    out_.Write(head);
  }
  void EndEntry() {
    if (!entry_open_) return;
    WriteEntryLength();
    entry_open_ = false;
  }
  void BeginFolder(const std::string& BasePath) {
    std::string bytes;
    Encode(bytes, FolderRecord{BasePath, -1});
    MakeRoom(static_cast<int64_t>(bytes.size()));
    folder_ = FolderRecord{BasePath, -1};
    folder_position_ = out_.position();
    count_ = 0;
    folder_open_ = true;
    out_.Write(bytes);
  }
  void EndFolder() {
    if (!folder_open_) return;
    folder_.FileCount = count_;
    std::string bytes;
    Encode(bytes, folder_);
    out_.Rewrite(folder_position_, bytes);
    folder_open_ = false;
  }
  // Room for `bytes` more in the entry; false when no entry could hold them.
  bool MakeRoom(int64_t bytes) {
    if (!entry_open_) return true;
    const int64_t limit = entry_limit.load();
    if (out_.position() + bytes - entry_position_ - kEntryHeaderSize <= limit) return true;
    const int64_t fresh_entry_room = limit - (folder_open_ ? FolderRecordSize() : 0);
    if (bytes > fresh_entry_room) return false;
    const bool reopen = folder_open_;
    EndFolder();
    EndEntry();
    BeginEntry();
    if (reopen) BeginFolder(folder_.BasePath);
    return true;
  }
  void Counted() { ++count_; }
  // Makes the store say what has been written so far (this entry's length,
  // the entry count in the file header) and flushes it to disk.
  void Commit() {
    if (entry_open_) WriteEntryLength();
    // The count goes to disk with the bytes: an entry the header does not
    // count is never played back.
    if (!mgr_.WriteEntryCount(out_.number())) platform::RaiseError(platform::Err::Number(), platform::Err::Description());
    out_.Commit();
  }

 private:
  int64_t FolderRecordSize() const {
    std::string bytes;
    Encode(bytes, folder_);
    return static_cast<int64_t>(bytes.size());
  }
  void WriteEntryLength() {
    entry_.DataLength = static_cast<int32_t>(out_.end() - entry_position_ - kEntryHeaderSize);
    std::string head;
    Encode(head, entry_);
    out_.Rewrite(entry_position_, head);
  }

  cFileMgr& mgr_;
  RecordWriter& out_;
  EntryHeader entry_{};
  int64_t entry_position_ = 0;
  bool entry_open_ = false;
  FolderRecord folder_{};
  int64_t folder_position_ = 0;
  int32_t count_ = 0;
  bool folder_open_ = false;
};

void cFileMgr::BackupFiles(const std::string& BasePath, const std::string& RelPath, const std::string& FileMask,
                           bool fRecurseSubdirs, bool fDeleteFiles, int32_t hStoreFile,
                           const std::string& ExcludePaths, int64_t MaxFileSize) {
  last_backup_ = {};
  if (!WritableHandle(hStoreFile, "BackupFiles")) {
    last_backup_.written = false;
    return;
  }
  last_backup_.written = platform::Step([&] {
    RecordWriter out(hStoreFile, platform::fs::Tell(hStoreFile));
    progress_state_ = {};
    std::string base = BasePath;
    if (!base.ends_with('/')) base += '/';
    platform::fs::WalkStop stop;
    platform::fs::Folder folder = platform::fs::OpenFolderPath(base, platform::fs::LinkPolicy::kTrustRootMade,
                                                               false, &stop);
    if (folder.ok() && !RelPath.empty()) {
      folder = platform::fs::OpenFolderBelow(folder, RelPath, platform::fs::LinkPolicy::kRefuseAll, false, &stop);
    }
    if (!folder.ok() && stop.error != ENOENT) {
      service::WriteSystemLog("BackupFiles: refusing '" + base + RelPath + "': " + WhyRefused(stop));
      ++last_backup_.refused;
    }
    FileSet set(*this, out);
    BackupFilesTo(out, set, folder, base, RelPath, FileMask, fRecurseSubdirs, fDeleteFiles, ExcludePaths,
                  MaxFileSize);
    out.Finish();
  });
}

void cFileMgr::BackupFilesTo(RecordWriter& out, FileSet& set, const platform::fs::Folder& folder,
                             std::string BasePath, std::string RelPath, const std::string& FileMask,
                             bool fRecurseSubdirs, bool fDeleteFiles, const std::string& ExcludePaths,
                             int64_t MaxFileSize) {
  if (!BasePath.ends_with('/')) BasePath += '/';
  if (!RelPath.empty() && !RelPath.ends_with('/')) RelPath += '/';
  const bool outermost = RelPath.empty();

  if (outermost) set.BeginEntry();
  set.BeginFolder(BasePath);

  std::vector<platform::fs::FolderItem> items;
  if (folder.ok()) items = platform::fs::ListFolder(folder, FileMask);
  std::vector<std::string> subfolders;
  std::vector<std::string> stored;  // deleted once their bytes are on disk
  for (const platform::fs::FolderItem& item : items) {
    if (StopRequested()) {
      last_backup_.stopped = true;
      break;
    }
    const std::string path = BasePath + RelPath + item.name;
    switch (item.status.kind) {
      case platform::fs::NodeKind::kFolder:
        if (fRecurseSubdirs && ExcludePaths.find("|" + platform::LCase(item.name) + "|") == std::string::npos) {
          subfolders.push_back(item.name);
        }
        continue;
      case platform::fs::NodeKind::kLink:
        // The format has no place for a link: its bytes would come back as a
        // file. It stays where it is, never followed.
        service::WriteSystemLog("BackupFiles: skipping the symbolic link '" + path + "'");
        ++last_backup_.links;
        continue;
      case platform::fs::NodeKind::kFile:
        break;
      default:
        service::WriteSystemLog("BackupFiles: skipping '" + path + "': not a regular file");
        ++last_backup_.failed;
        continue;
    }
    platform::Err::Clear();
    if (item.status.size >= MaxFileSize) {
      if (platform::Step([&] { MoveLargeFile(out, set, folder, RelPath, item.name); })) {
        set.Counted();
        ++last_backup_.moved;
      } else {
        ++last_backup_.failed;
      }
    } else if (!set.MakeRoom(FileBlockSize(RelPath, item.name, item.status.size))) {
      service::WriteSystemLog("BackupFiles: '" + path + "' is too large for one store entry");
      ++last_backup_.failed;
    } else if (platform::Step([&] { BackupFile(out, folder, RelPath, item.name); })) {
      set.Counted();
      ++last_backup_.files;
      if (fDeleteFiles) stored.push_back(item.name);
    } else {
      ++last_backup_.failed;
    }
    ++progress_state_.files_done;
    ReportProgress();
  }
  set.EndFolder();

  if (!stored.empty()) {
    // A failed write leaves every source in place and fails the call.
    set.Commit();
    for (const std::string& name : stored) platform::fs::RemoveFileIn(folder, name);
  }

  for (const std::string& subfolder : subfolders) {
    if (last_backup_.stopped || StopRequested()) {
      last_backup_.stopped = true;
      break;
    }
    platform::fs::WalkStop stop;
    const platform::fs::Folder child =
        platform::fs::OpenFolderBelow(folder, subfolder, platform::fs::LinkPolicy::kRefuseAll, false, &stop);
    if (!child.ok()) {
      // Swapped for a link since it was listed.
      service::WriteSystemLog("BackupFiles: refusing '" + BasePath + RelPath + subfolder + "': " + WhyRefused(stop));
      ++last_backup_.refused;
      continue;
    }
    BackupFilesTo(out, set, child, BasePath + RelPath, subfolder, FileMask, fRecurseSubdirs, fDeleteFiles, {},
                  kDefaultMaxFileSize);
    // It goes only when it has become empty; the outermost folder never does.
    if (fDeleteFiles) platform::fs::RemoveFolderIn(folder, subfolder);
  }

  if (outermost) set.EndEntry();
}

int64_t cFileMgr::FileBlockSize(const std::string& RelPath, const std::string& FileName, int64_t length) {
  std::string bytes;
  Encode(bytes, FileRecord{RelPath, FileName, 0.0, 0, 0, 0});
  return static_cast<int64_t>(bytes.size()) + length;
}

void cFileMgr::BackupFile(RecordWriter& out, const platform::fs::Folder& folder, const std::string& RelPath,
                          const std::string& FileName) {
  // Never through a link, never anything but a regular file.
  const int number = platform::fs::OpenFileIn(folder, FileName, platform::fs::OpenMode::kBinary,
                                              platform::fs::Access::kRead, platform::fs::Share::kDenyAll, nullptr);
  if (number == 0) platform::RaiseError(platform::kErrInvalidCall, "SOURCEFILE_UNREADABLE", "BackupFile");
  const std::optional<platform::fs::NodeStatus> status = platform::fs::OpenFileStatus(number);
  // A file with other names and another owner than its folder's is someone
  // else's file linked in: playback would give it to the folder's owner.
  if (!status || (status->links > 1 && status->uid != folder.Status().uid)) {
    platform::fs::CloseFile(number);
    service::WriteSystemLog("BackupFile: refusing '" + folder.path() + "/" + FileName +
                            "': a hard link to a file of another owner");
    platform::RaiseError(platform::kErrInvalidCall, "SOURCEFILE_UNREADABLE", "BackupFile");
  }

  const int64_t length = status->size;
  FileRecord record;
  record.RelPath = RelPath;
  record.FileName = FileName;
  record.Modified = platform::fs::LocalDateSerial(status->modified);
  record.Attributes = AttributesOf(FileName, *status);
  // A length that divides evenly ends in a whole last chunk (an empty file
  // in FullChunks -1 and a last chunk of 32,768 with no data).
  record.FullChunks = static_cast<int32_t>(length / kFileChunkSize);
  record.LastChunkSize = static_cast<int32_t>(length % kFileChunkSize);
  if (record.LastChunkSize == 0) {
    record.FullChunks -= 1;
    record.LastChunkSize = static_cast<int32_t>(kFileChunkSize);
  }

  const int64_t record_position = out.position();
  int32_t failure = 0;
  const bool copied = platform::Step([&] {
    std::string bytes;
    Encode(bytes, record);
    out.Write(bytes);
    // The data are the file's bytes in order, whatever blocks they are read
    // in: large blocks spare a large file thousands of small reads.
    const int64_t data_length = static_cast<int64_t>(record.FullChunks) * kFileChunkSize + record.LastChunkSize;
    for (int64_t done = 0; done < data_length;) {
      // A stop asked for ends the walk here too: a long file need not be
      // finished for a store that will not be kept.
      if (StopRequested()) {
        last_backup_.stopped = true;
        platform::RaiseError(platform::kErrInvalidCall, "stopped", "BackupFile");
      }
      const int64_t size = std::min(kBackupReadBlock, data_length - done);
      auto data = platform::fs::ReadNext(number, static_cast<size_t>(size));
      if (!data || static_cast<int64_t>(data->size()) != size) platform::RaiseError(platform::kErrInputPastEnd);
      out.Write(*data);
      done += size;
      progress_state_.bytes_done += size;
      YieldToPendingEvents();
    }
    last_backup_.bytes += length;
  });
  if (!copied) failure = platform::Err::Number();
  platform::fs::CloseFile(number);
  if (!copied) {
    // The next record overwrites the partial one.
    out.RewindTo(record_position);
    platform::RaiseError(platform::kErrInvalidCall, "READ_WRITE_ERROR 0x" + platform::Hex(failure), "BackupFile");
  }
}

void cFileMgr::MoveLargeFile(RecordWriter& out, FileSet& set, const platform::fs::Folder& folder,
                             const std::string& RelPath, const std::string& FileName) {
  const std::string large = LargeFilesFolder();
  platform::fs::MakeFolderTree(large);
  const platform::fs::Folder to =
      platform::fs::OpenFolderPath(large, platform::fs::LinkPolicy::kTrustRootMade, false);
  FileRecord record;
  record.RelPath = RelPath;
  record.FileName = FileName;
  record.FullChunks = kMovedFileChunks;
  record.LastChunkSize = 0;
  std::string bytes;
  Encode(bytes, record);
  if (!set.MakeRoom(static_cast<int64_t>(bytes.size()))) platform::RaiseError(platform::kErrOverflow, {}, "BackupFile");
  // Held while it moves: a file another opener holds stays. Moved first: a
  // file that cannot be set aside (another of the same name is there
  // already) stays where it is and gets no record.
  const int number = platform::fs::OpenFileIn(folder, FileName, platform::fs::OpenMode::kBinary,
                                              platform::fs::Access::kRead, platform::fs::Share::kDenyAll, nullptr);
  const bool moved = number != 0 && platform::fs::RenameBetween(folder, FileName, to, FileName, /*replace=*/false);
  if (number != 0) platform::fs::CloseFile(number);
  if (!moved) platform::RaiseError(platform::kErrPathFileAccess, {}, "BackupFile");
  out.Write(bytes);
}

}  // namespace store
