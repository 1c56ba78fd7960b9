// BackupFiles: a folder's files (and, recursing, its subfolders') into one
// file set entry; BackupFile copies one file in, the large-file move sets
// one aside in the profile's "lfiles" folder.
#include <algorithm>
#include <vector>

#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/fs/attributes.h"
#include "platform/fs/basic_file_ops.h"
#include "platform/fs/dir.h"
#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/file_times.h"
#include "platform/fs/folders.h"
#include "store/file_manager.h"
#include "store/large_files.h"

namespace store {
namespace {

// Whole 32,768-byte chunks at a time.
constexpr int64_t kBackupReadBlock = 32 * kFileChunkSize;

}  // namespace

void cFileMgr::BackupFiles(const std::string& BasePath, const std::string& RelPath, const std::string& FileMask,
                           bool fRecurseSubdirs, bool fDeleteFiles, int32_t hStoreFile,
                           const std::string& ExcludePaths, int64_t MaxFileSize) {
  if (!OwnsHandle(hStoreFile)) return;
  platform::Step([&] {
    RecordWriter out(hStoreFile, platform::fs::Tell(hStoreFile));
    progress_state_ = {};
    last_backup_ = {};
    BackupFilesTo(out, BasePath, RelPath, FileMask, fRecurseSubdirs, fDeleteFiles, ExcludePaths, MaxFileSize);
    out.Finish();
  });
}

void cFileMgr::BackupFilesTo(RecordWriter& out, std::string BasePath, std::string RelPath,
                             const std::string& FileMask, bool fRecurseSubdirs, bool fDeleteFiles,
                             const std::string& ExcludePaths, int64_t MaxFileSize) {
  if (!BasePath.ends_with('/')) BasePath += '/';
  if (!RelPath.empty() && !RelPath.ends_with('/')) RelPath += '/';
  const std::string folder = BasePath + RelPath;

  int64_t entry_position = 0;
  EntryHeader entry{kFileSetEntry, -1, 0};
  if (RelPath.empty()) {
    entry.EntryNumber = ++entry_counter_;
    entry_position = out.position();
    entry_position_ = entry_position;
    std::string head;
    Encode(head, entry);
    out.Write(head);
  }

  FolderRecord folder_record{BasePath, -1};
  const int64_t folder_position = out.position();
  std::string record;
  Encode(record, folder_record);
  out.Write(record);

  int32_t attributes = platform::fs::kNormal | platform::fs::kHidden | platform::fs::kSystem;
  if (fRecurseSubdirs) attributes |= platform::fs::kDirectory;
  const std::vector<platform::fs::DirEntry> names = platform::fs::ListDirectory(folder, FileMask, attributes);

  int32_t count = 0;
  std::vector<std::string> subfolders;
  for (const platform::fs::DirEntry& name : names) {
    // Only the folder entries themselves are passed over: hidden files and
    // folders (names beginning with ".") are stored like the others.
    if (name.name == "." || name.name == "..") continue;
    if (name.attributes & platform::fs::kDirectory) {
      if (ExcludePaths.find("|" + platform::LCase(name.name) + "|") == std::string::npos) {
        subfolders.push_back(name.name);
      }
      continue;
    }
    platform::Err::Clear();
    const std::string path = folder + name.name;
    if (platform::fs::FileSize(path) >= MaxFileSize) {
      if (platform::Step([&] { MoveLargeFile(out, BasePath, RelPath, name.name); })) {
        ++count;
        ++last_backup_.moved;
      } else {
        ++last_backup_.failed;
      }
    } else {
      platform::Step([&] { BackupFile(out, BasePath, RelPath, name.name); });
      if (platform::Err::IsSet()) ++last_backup_.failed;
      if (!platform::Err::IsSet()) {
        ++count;
        ++last_backup_.files;
        if (fDeleteFiles) {
          platform::fs::SetFileAttributes(path, platform::fs::kNormal);
          platform::fs::DeleteFile(path);
        }
      }
    }
    ++progress_state_.files_done;
    ReportProgress();
  }

  folder_record.FileCount = count;
  record.clear();
  Encode(record, folder_record);
  out.Rewrite(folder_position, record);

  for (const std::string& subfolder : subfolders) {
    BackupFilesTo(out, BasePath + RelPath, subfolder, FileMask, fRecurseSubdirs, fDeleteFiles, {},
                  kDefaultMaxFileSize);
  }

  if (!RelPath.empty() && fDeleteFiles) platform::fs::RemoveFolder(folder);

  if (RelPath.empty()) {
    entry.DataLength = static_cast<int32_t>(std::min<int64_t>(out.end() - entry_position - kEntryHeaderSize, 0x7FFFFFFF));
    std::string head;
    Encode(head, entry);
    out.Rewrite(entry_position, head);
  }
}

void cFileMgr::BackupFile(RecordWriter& out, const std::string& BasePath, const std::string& RelPath,
                          const std::string& FileName) {
  const std::string path = BasePath + RelPath + FileName;
  const int number = platform::fs::OpenFile(path, platform::fs::OpenMode::kBinary, platform::fs::Access::kRead,
                                            platform::fs::Share::kDenyAll);
  if (number == 0) platform::RaiseError(platform::kErrInvalidCall, "SOURCEFILE_UNREADABLE", "BackupFile");

  const int64_t length = platform::fs::FileLength(number);
  FileRecord record;
  record.RelPath = RelPath;
  record.FileName = FileName;
  record.Modified = platform::fs::FileDateTime(path);
  record.Attributes = static_cast<int16_t>(platform::fs::FileAttributes(path));
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
  platform::Step([&] {
    std::string bytes;
    Encode(bytes, record);
    out.Write(bytes);
    // The data are the file's bytes in order, whatever blocks they are read
    // in: large blocks spare a large file thousands of small reads.
    const int64_t data_length = static_cast<int64_t>(record.FullChunks) * kFileChunkSize + record.LastChunkSize;
    for (int64_t done = 0; done < data_length;) {
      const int64_t size = std::min(kBackupReadBlock, data_length - done);
      auto data = platform::fs::ReadNext(number, static_cast<size_t>(size));
      if (!data || static_cast<int64_t>(data->size()) != size) platform::RaiseError(platform::kErrInputPastEnd);
      out.Write(*data);
      done += size;
      progress_state_.bytes_done += size;
    }
    last_backup_.bytes += length;
  });
  if (platform::Err::IsSet()) failure = platform::Err::Number();
  platform::fs::CloseFile(number);
  if (failure) {
    // The next record overwrites the partial one.
    out.RewindTo(record_position);
    platform::RaiseError(platform::kErrInvalidCall, "READ_WRITE_ERROR 0x" + platform::Hex(failure), "BackupFile");
  }
}

void cFileMgr::MoveLargeFile(RecordWriter& out, const std::string& BasePath, const std::string& RelPath,
                             const std::string& FileName) {
  const std::string folder = LargeFilesFolder();
  platform::fs::MakeFolderTree(folder);
  // Moved first: a file that cannot be set aside (another of the same name
  // is there already) stays where it is and gets no record.
  platform::fs::Name(BasePath + RelPath + FileName, platform::fs::JoinPath(folder, FileName));
  FileRecord record;
  record.RelPath = RelPath;
  record.FileName = FileName;
  record.FullChunks = kMovedFileChunks;
  record.LastChunkSize = 0;
  std::string bytes;
  Encode(bytes, record);
  out.Write(bytes);
}

}  // namespace store
