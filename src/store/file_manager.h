// cFileMgr: keeps files open against every other opener ("protected" files)
// and creates, fills, finalizes and plays back store files (store_format.h).
//
//   auto mgr = store::CreateFileManager();                 // logs "Creating file manager"
//   auto& files = static_cast<store::cFileMgr&>(*mgr);
//   int32_t h = files.CreateStoreFile(path, "token", /*DoCompress=*/true);
//   files.BackupFiles("/srv/data", "", "*", true, false, h);
//   files.BackupRegKey(kHkeyLocalMachine, "SOFTWARE\\Norvale", true, false, h);
//   files.FinalizeStoreFile(h);                            // h is closed: the file was replaced
//   ...
//   auto bag = files.PlayBackStoreFile(path);              // files and keys come back
//
// Handles are file numbers of platform/fs (0 for none); every operation that
// takes one accepts only a handle of a file this object protects. No
// operation raises: each traps its errors (recorded as the thread's pending
// error) and answers 0, nothing or an empty bag.
//
// The object lives on one thread and takes no locks; the protection (an
// exclusive lock) is what keeps other processes out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/object.h"
#include "platform/fs/no_follow.h"
#include "store/playback_bag.h"
#include "store/record_reader.h"
#include "store/record_writer.h"
#include "store/store_enums.h"
#include "store/store_format.h"

namespace store {

// What long work has done so far, for a progress display.
struct StoreProgress {
  int64_t bytes_done = 0;
  int64_t files_done = 0;
  int64_t bytes_total = 0;  // what bytes_done counts up to; 0 when not known
};

// How the last playback ended.
enum class PlaybackOutcome {
  kNotRead,         // the store could not be opened: missing, or held by another process
  kComplete,        // every entry was read and everything in it written back
  kStoppedAtDamage, // the store is damaged: what the damage held (the entry, or every entry
                    // from it on) was not played back; what came before was
  kFileFailures,    // the store is whole, but files or registry values were not written:
                    // refused, or a file that could not be written ended the playback there
};

// What the last playback restored, and what it did not.
struct PlaybackCounts {
  int32_t entries = 0;
  int32_t keys = 0;
  int32_t values = 0;
  int32_t structs = 0;
  int32_t files = 0;
  int64_t bytes = 0;
  int32_t refused = 0;            // files not written: a link on the way, an unsafe name
  int32_t registry_failures = 0;  // keys or values that could not be written
  int32_t damaged = 0;            // damaged places met (the header, an entry, a record, the body)
  int32_t left_out = 0;           // below a restore root: registry entries and large files
  bool completed = false;         // read to its last entry (false when a file failure or damage ended it)
  bool stopped = false;           // ended early between two files because a stop was asked for
  PlaybackOutcome outcome = PlaybackOutcome::kNotRead;
};

// What the last BackupFiles did.
struct BackupCounts {
  int32_t files = 0;   // stored inline
  int64_t bytes = 0;
  int32_t moved = 0;   // moved to the large-file folder
  int32_t failed = 0;  // could not be stored (left in place)
  int32_t links = 0;   // symbolic links, never stored (left in place)
  int32_t refused = 0; // folders not walked: a link in the way
  bool written = true;  // false when the store could not be written: the call failed
  bool stopped = false; // the walk ended early because a stop was asked for: not every file is in
};

class cFileMgr : public platform::com::Object {
 public:
  cFileMgr();   // logs "Creating file manager"
  ~cFileMgr() override;  // logs "Terminating file manager"; protected files stay open
  cFileMgr(const cFileMgr&) = delete;
  cFileMgr& operator=(const cFileMgr&) = delete;

  // --- Public operations, in interface order --------------------------------

  // Opens the file (created when missing, mode 0600) with sharing denied
  // and keeps it open; the handle, or 0. It is found again by the exact
  // same path: letter case counts, as it does for the file system.
  int32_t ProtectFile(const std::string& Filename);
  void UnprotectFile(const std::string& Filename);
  int32_t GetProtectedFileHandle(const std::string& Filename) const;
  // A new store file with its header, protected, positioned after the
  // header; 0 when it cannot be created.
  int32_t CreateStoreFile(const std::string& Filename, const std::string& TokenID, bool DoCompress);
  // A finalized, uncompressed store file of the same token, positioned after
  // its last entry; 0 otherwise.
  int32_t OpenStoreFileForAppend(const std::string& Filename, const std::string& TokenID);
  // Writes the entry count into the header and, for a compressed store,
  // compresses the body and replaces the file with the result in one atomic
  // step (the file is then protected under a new handle).
  void FinalizeStoreFile(int32_t hStoreFile);
  void BackupRegKey(int32_t BaseKey, const std::string& KeyName, bool fAlsoSubKeys, bool fDeleteKeys,
                    int32_t hStoreFile);
  void BackupFiles(const std::string& BasePath, const std::string& RelPath, const std::string& FileMask,
                   bool fRecurseSubdirs, bool fDeleteFiles, int32_t hStoreFile, const std::string& ExcludePaths = {},
                   int64_t MaxFileSize = kDefaultMaxFileSize);
  int64_t SafeFileSize(const std::string& Filename);
  std::shared_ptr<PlaybackBag> PlayBackStoreFile(const std::string& Filename);
  // `StructBuffer` holds the stored (compressed, encrypted) bytes afterwards.
  void StoreStruct(const std::string& Tag, int32_t hStoreFile, int32_t EncryptionKeyType, bool fDoHash,
                   bool fDoCompress, int32_t StructType, Bytes& StructBuffer);
  void KillFile(const std::string& Filename);

  // --- Internal operations (not reachable late-bound) -----------------------

  // Opens a store file to add entries whatever its Compressed flag, as long
  // as its body is not compressed yet; 0 otherwise. Used by tools that add
  // to one store in several runs (hearthctl).
  int32_t ReopenStoreFile(const std::string& Filename, const std::string& TokenID);
  // Writes the entry counter into the header without compressing; false
  // (with the thread's error set) when it cannot.
  bool WriteEntryCount(int32_t hStoreFile);
  // Playback writes every restored file below this folder (BasePath joined
  // under it) instead of where it came from, and nothing outside it: no link
  // below it is followed (nor one to it that a user made), registry entries
  // are left out and large files stay in the large-file folder. Empty:
  // where it came from.
  void SetRestoreRoot(std::string root) { restore_root_ = std::move(root); }
  // Called after each file stored or restored and each chunk compressed or
  // expanded.
  void SetProgress(std::function<void(const StoreProgress&)> progress) { progress_ = std::move(progress); }
  // Asked between two files (and between entries of a playback): true ends
  // a playback there, never in the middle of a file, and a backup's walk
  // there or within the file it copies (its store is not to be kept); the
  // counts say `stopped`. For work that must not outlive its service.
  void SetStopCheck(std::function<bool()> stop) { stop_check_ = std::move(stop); }
  const PlaybackCounts& LastPlayback() const { return last_playback_; }
  const BackupCounts& LastBackup() const { return last_backup_; }
  const std::string& CurrentStoreName() const { return current_store_name_; }
  int32_t EntryCounter() const { return entry_counter_; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;
  // One late-bound call at a time: a call pumped while another runs (a
  // backup or playback yields between chunks) is refused with the thread's
  // error set to "busy" and answers Empty (an empty bag for
  // PlayBackStoreFile), so it can never switch the current store under the
  // running one.
  std::optional<platform::Variant> TryInvoke(std::string_view name, platform::com::Args args) override;
  std::optional<platform::Variant> TryInvoke(platform::com::DispId id, platform::com::Args args) override;

 private:
  struct ProtectedSlot {
    std::string name;  // the path as given; empty: a free slot
    int32_t handle = 0;
    bool finalized = false;  // a finalized store: nothing more is written through this handle
  };

  // Puts a file this object opened itself (sharing denied) into the table.
  int32_t AdoptProtected(const std::string& Filename, int number);
  // True for the handle of a store this object holds open for writing. A
  // finalized store's handle (until it is opened for adding again) logs why
  // not; any other number but 0 is not written to either. Both set the
  // thread's error as `operation`'s.
  bool WritableHandle(int32_t handle, const char* operation) const;
  void MarkFinalized(const std::string& Filename);
  std::string ProtectedName(int32_t handle) const;
  void ReportProgress();
  bool StopRequested() const { return stop_check_ && stop_check_(); }
  // How a playback ended, from what it counted; `opened`: the store was opened.
  static PlaybackOutcome OutcomeOf(const PlaybackCounts& counts, bool opened);

  // Reads the header at the start of a protected file; nothing when the
  // signature is wrong or the header does not fit.
  std::optional<StoreFileHeader> ReadHeader(int32_t handle, int64_t* header_size) const;
  // Walks the entry chain; the position after the last entry and its number,
  // or nothing when an entry header is wrong.
  bool WalkEntries(int32_t handle, int64_t start, int32_t count, int64_t* end, int32_t* last_number) const;
  int32_t OpenForAdding(const std::string& Filename, const std::string& TokenID, bool accept_compressed_flag);
  // Compresses the body of the protected store into a work file and puts it
  // in place of the store.
  void CompressStore(int32_t hStoreFile, const StoreFileHeader& header, int64_t header_size);
  // Plays back a store whose header says Compressed, expanding its body into
  // the store's replacement while the entries play back from it.
  void PlayBackCompressed(const std::string& Filename, int32_t handle, const StoreFileHeader& header,
                          int64_t header_size, PlaybackBag& bag);
  // Plays back `EntryCount` entries from `start`; false when a file failure
  // or damage ended it early.
  bool PlayBackEntries(ByteSource& source, const std::string& Filename, int32_t EntryCount, int64_t start,
                       int64_t length, PlaybackBag& bag);

  // Appends the key's entries; with `deletions`, the keys to delete once they
  // are safely stored, deepest first.
  void BackupRegKeyTo(RecordWriter& out, int32_t BaseKey, const std::string& KeyName, bool fAlsoSubKeys,
                      std::vector<std::string>* deletions);
  class FileSet;
  void BackupFilesTo(RecordWriter& out, FileSet& set, const platform::fs::Folder& folder, std::string BasePath,
                     std::string RelPath, const std::string& FileMask, bool fRecurseSubdirs, bool fDeleteFiles,
                     const std::string& ExcludePaths, int64_t MaxFileSize);
  void BackupFile(RecordWriter& out, const platform::fs::Folder& folder, const std::string& RelPath,
                  const std::string& FileName);
  void MoveLargeFile(RecordWriter& out, FileSet& set, const platform::fs::Folder& folder, const std::string& RelPath,
                     const std::string& FileName);
  // The bytes a file of `length` takes in a file set entry, its record included.
  static int64_t FileBlockSize(const std::string& RelPath, const std::string& FileName, int64_t length);

  // Playback steps; each reads one entry's body from `in`.
  void RestoreRegKeys(RecordReader& in);
  void RestoreRegValue(RecordReader& in);
  void LoadStruct(RecordReader& in, PlaybackBag& bag);
  // False when a file failure ends the playback.
  bool RestoreFolderBlocks(RecordReader& in, const std::string& Filename, int32_t entry_number);
  // One file of a folder block, its record already read, into `folder`
  // with `owner`'s owner and (at most) mode. False when a link in its place
  // refused it or a restore root left it out (logged and counted); raises
  // when the file cannot be written.
  bool RestoreFile(RecordReader& in, const platform::fs::Folder& folder, const platform::fs::NodeStatus& owner,
                   const FileRecord& record, int64_t data_length);
  // Where a stored folder goes on this machine (the restore root applied),
  // open, reached without following a link a user could have made (created
  // when missing); not ok() with the reason in *stop.
  platform::fs::Folder OpenRestoreFolder(const std::string& BasePath, platform::fs::WalkStop* stop) const;

  std::optional<std::vector<ProtectedSlot>> protected_;
  std::string current_store_name_;
  int32_t entry_counter_ = 0;
  int64_t entry_position_ = 0;

  std::string restore_root_;
  std::string running_;  // the late-bound call that runs, while one does
  std::function<void(const StoreProgress&)> progress_;
  std::function<bool()> stop_check_;
  StoreProgress progress_state_;
  PlaybackCounts last_playback_;
  BackupCounts last_backup_;
};

// A new cFileMgr, as cIoNotify.GetFileManager hands it out.
platform::com::ObjectPtr CreateFileManager();

// Entries of file sets are split before they hold more than `limit` bytes
// (a Long's largest value unless a test sets a smaller one; 0 resets it).
void SetEntryLimitForTesting(int64_t limit);

// Structs are stored and expanded up to `limit` bytes (kLargestStruct
// unless a test sets a smaller one; 0 resets it).
void SetStructLimitForTesting(int32_t limit);

// Called after each chunk a finalize compresses or a playback expands, with
// the chunk's number (from 1); a test uses it to stop the process midway.
void SetChunkHookForTesting(std::function<void(int32_t chunk)> hook);

}  // namespace store
