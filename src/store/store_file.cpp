// The store-file life cycle: create, open for append, finalize.
#include <algorithm>

#include "contracts/support_objects.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/no_follow.h"
#include "settings/folders/text_utilities.h"
#include "store/file_manager.h"
#include "systemlog/system_log.h"

namespace store {

int32_t cFileMgr::CreateStoreFile(const std::string& Filename, const std::string& TokenID, bool DoCompress) {
  int32_t handle = 0;
  platform::Step([&] {
    UnprotectFile(Filename);
    // The folder is reached without a link a user could have planted on the
    // way, so the old file deleted and the new one made are both there.
    std::string name;
    const platform::fs::Folder folder =
        platform::fs::OpenFolderOf(Filename, platform::fs::LinkPolicy::kTrustRootMade, &name);
    platform::fs::DeleteFileIn(folder, name);
    // A new file, for its owner alone: never one that someone put (or
    // linked) in its place since.
    int32_t error = 0;
    const int number =
        platform::fs::OpenFileIn(folder, name, platform::fs::OpenMode::kBinary, platform::fs::Access::kReadWrite,
                                 platform::fs::Share::kDenyAll, &error, {.mode = 0600, .exclusive = true});
    if (number == 0) return;
    contracts::Support().Files()->PreparePath(Filename);

    StoreFileHeader header;
    header.TokenID = TokenID;
    header.Compressed = DoCompress;
    platform::Quietly([&] { header.Stamp = contracts::Support().Environment()->Stamp(); });
    current_store_name_ = Filename;
    entry_counter_ = 0;

    const bool written = platform::Step([&] {
      std::string bytes;
      Encode(bytes, header);
      if (!platform::fs::WriteAt(number, 0, bytes)) platform::RaiseError(platform::kErrDeviceIo, {}, "CreateStoreFile");
    });
    if (!written) {
      platform::fs::CloseFile(number);
      service::WriteSystemLog("Error " + platform::Err::Description() + " in " + platform::Err::Source() +
                              " creating store file " + Filename);
      return;
    }
    // The file it created stays open as the protected handle: closing and
    // opening it again by name would open whatever is there by then.
    handle = AdoptProtected(Filename, number);
    if (handle) platform::fs::SeekTo(handle, platform::fs::FileLength(handle));
  });
  return handle;
}

std::optional<StoreFileHeader> cFileMgr::ReadHeader(int32_t handle, int64_t* header_size) const {
  try {
    RecordReader in(handle, 0, platform::fs::FileLength(handle));
    if (!ReadSignature(in, kFileSignature)) return std::nullopt;
    StoreFileHeader header = ReadStoreFileHeader(in);
    if (header_size) *header_size = in.position();
    return header;
  } catch (const RecordError&) {
    return std::nullopt;
  }
}

bool cFileMgr::WalkEntries(int32_t handle, int64_t start, int32_t count, int64_t* end, int32_t* last_number) const {
  const int64_t length = platform::fs::FileLength(handle);
  int64_t position = start;
  int32_t number = 0;
  try {
    for (int32_t i = 0; i < count; ++i) {
      RecordReader in(handle, position, length);
      if (!ReadSignature(in, kEntrySignature)) return false;
      const EntryHeader entry = ReadEntryHeader(in);
      if (entry.DataLength < 0 || entry.DataLength > in.remaining()) return false;
      position = in.position() + entry.DataLength;
      number = entry.EntryNumber;
    }
  } catch (const RecordError&) {
    return false;
  }
  *end = position;
  *last_number = number;
  return true;
}

int32_t cFileMgr::OpenForAdding(const std::string& Filename, const std::string& TokenID,
                                bool accept_compressed_flag) {
  if (!platform::fs::FileExists(Filename)) return 0;
  int32_t handle = GetProtectedFileHandle(Filename);
  if (!handle) handle = ProtectFile(Filename);
  if (!handle) {
    service::WriteSystemLog("SystemService - OpenStoreFileForAppend: " + platform::FormatGeneralDate(platform::Now()) +
                            ": ProtectFile(" + Filename + ") failed, NOT accessing the file");
    return 0;
  }
  int64_t header_size = 0;
  const std::optional<StoreFileHeader> header = ReadHeader(handle, &header_size);
  bool accepted = header && settings::TrimControlChars(header->TokenID) == settings::TrimControlChars(TokenID);
  if (accepted && header->Compressed) {
    // Only a body that is still a chain of entries (or none) can take more.
    accepted = false;
    if (accept_compressed_flag) {
      const int64_t length = platform::fs::FileLength(handle);
      if (length == header_size) {
        accepted = true;
      } else {
        auto start = platform::fs::ReadAt(handle, header_size, kEntrySignature.size());
        accepted = start && *start == kEntrySignature;
      }
    }
  }
  int64_t end = 0;
  int32_t last_number = 0;
  if (accepted && WalkEntries(handle, header_size, header->EntryCount, &end, &last_number)) {
    for (ProtectedSlot& slot : *protected_) {
      if (slot.handle == handle) slot.finalized = false;
    }
    current_store_name_ = Filename;
    entry_counter_ = last_number;
    platform::fs::SeekTo(handle, end);
    return handle;
  }
  UnprotectFile(Filename);
  return 0;
}

int32_t cFileMgr::OpenStoreFileForAppend(const std::string& Filename, const std::string& TokenID) {
  int32_t handle = 0;
  platform::Step([&] { handle = OpenForAdding(Filename, TokenID, /*accept_compressed_flag=*/false); });
  return handle;
}

int32_t cFileMgr::ReopenStoreFile(const std::string& Filename, const std::string& TokenID) {
  int32_t handle = 0;
  platform::Step([&] { handle = OpenForAdding(Filename, TokenID, /*accept_compressed_flag=*/true); });
  return handle;
}

bool cFileMgr::WriteEntryCount(int32_t hStoreFile) {
  if (!WritableHandle(hStoreFile, "WriteEntryCount")) return false;
  return platform::Step([&] {
    int64_t header_size = 0;
    std::optional<StoreFileHeader> header = ReadHeader(hStoreFile, &header_size);
    if (!header) platform::RaiseError(platform::kErrDeviceIo, "invalid store file header", "FinalizeStoreFile");
    header->EntryCount = entry_counter_;
    std::string bytes;
    Encode(bytes, *header);
    const int64_t position = platform::fs::Tell(hStoreFile);
    if (!platform::fs::WriteAt(hStoreFile, 0, bytes)) platform::RaiseError(platform::kErrDeviceIo, {}, "FinalizeStoreFile");
    platform::fs::SeekTo(hStoreFile, position);
  });
}

void cFileMgr::FinalizeStoreFile(int32_t hStoreFile) {
  // A second finalize would compress the compressed body again.
  if (!WritableHandle(hStoreFile, "FinalizeStoreFile")) return;
  const std::string name = ProtectedName(hStoreFile);
  const std::string path = platform::fs::OpenFilePath(hStoreFile);
  bool counted = false;
  platform::Step([&] {
    int64_t header_size = 0;
    std::optional<StoreFileHeader> header = ReadHeader(hStoreFile, &header_size);
    if (!header) platform::RaiseError(platform::kErrDeviceIo, "invalid store file header", "FinalizeStoreFile");
    header->EntryCount = entry_counter_;
    std::string bytes;
    Encode(bytes, *header);
    if (!platform::fs::WriteAt(hStoreFile, 0, bytes)) platform::RaiseError(platform::kErrDeviceIo, {}, "FinalizeStoreFile");
    counted = true;
    if (!header->Compressed) return;
    if (!platform::Step([&] { CompressStore(hStoreFile, *header, header_size); })) {
      service::WriteSystemLog("FinalizeStoreFile: " + path +
                              " is not compressed: " + platform::Err::Description());
    }
  });
  // Under whichever handle protects it now (a compressed store is a new
  // file, under a number that may be the old one), until it is opened for
  // adding again.
  if (counted) {
    MarkFinalized(name);
    MarkFinalized(path);
  }
}

}  // namespace store
