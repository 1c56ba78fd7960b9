// Store files for administrators on the bus (the Cockpit page's Backups):
// back up a folder into a new store file, list a store file's entries, play
// one back where it came from or below a chosen folder. Backup and playback
// answer at once with an operation number; the work runs on the bus's store
// thread (store_work.h), one job at a time, and reports through the
// StoreProgress and StoreFinished signals. A listing answers when it has
// read the file, without holding the bus thread meanwhile.
//
// All three are root's: a backup reads any file and playback writes
// anywhere, as root; a listing reads any file the caller names.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

#include "bus/answer_limit.h"
#include "bus/bus_names.h"
#include "bus/call_context.h"
#include "bus/call_error.h"
#include "bus/member_table.h"
#include "bus/store_work.h"
#include "platform/basic/err.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/rename_keeping.h"
#include "platform/root/machine_root.h"
#include "store/file_manager.h"
#include "store/folder_totals.h"
#include "store/safe_paths.h"
#include "store/store_catalog.h"

// The tables name only the fields a member needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bus {
namespace {

namespace fs = std::filesystem;

// Stores made by the service carry this token.
constexpr char kStoreToken[] = "hearth";
// Where a store file named without a folder lives: below the machine root,
// where the unit lets the service write.
constexpr char kStoreFolder[] = "backups";

constexpr char kReadsAnyFile[] = "it reads any file as root";
constexpr char kWritesAnywhere[] = "it writes files anywhere as root";

// What a store is called while it is written.
constexpr char kPartialSuffix[] = ".partial";

// A MaxFileSize no file reaches: the bus's backups move nothing aside.
constexpr int64_t kNeverMoved = INT64_MAX;

// Progress signals at most this often (and once at the end of the work).
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

std::atomic<int32_t> next_operation{1};

std::string ReadText(sd_bus_message* message) {
  const char* text = nullptr;
  if (sd_bus_message_read_basic(message, 's', &text) < 0) throw CallError(kErrorInvalidArgs, "a text was expected");
  return text ? text : "";
}

bool ReadFlag(sd_bus_message* message) {
  int flag = 0;
  if (sd_bus_message_read_basic(message, 'b', &flag) < 0) throw CallError(kErrorInvalidArgs, "a boolean was expected");
  return flag != 0;
}

std::string DefaultStoreFolder() { return (platform::MachineRoot() / kStoreFolder).lexically_normal().string(); }

// A path from "/", or a plain file name in the default store folder.
std::string StorePath(const std::string& given) {
  if (given.starts_with('/')) return fs::path(given).lexically_normal().string();
  if (!store::IsSafeFileName(given)) {
    throw CallError(kErrorInvalidArgs, "\"" + given + "\" is no store file: give a path from / or a file name for " +
                                           DefaultStoreFolder());
  }
  return DefaultStoreFolder() + "/" + given;
}

std::string AbsoluteFolder(const std::string& given, const char* what) {
  if (!given.starts_with('/')) throw CallError(kErrorInvalidArgs, std::string(what) + " must be a path from /");
  return fs::path(given).lexically_normal().string();
}

// Why the service cannot write in `folder` (or the nearest folder above it
// that exists), when the file system is read-only to it; empty otherwise.
// Under the unit's ProtectSystem=strict that is every place outside the
// machine root and the unit's ReadWritePaths.
std::string ReadOnlyReason(std::string folder) {
  fs::path at(folder);
  std::error_code error;
  while (!fs::exists(at, error) && at.has_relative_path()) at = at.parent_path();
  if (::access(at.c_str(), W_OK) == 0 || errno != EROFS) return {};
  return at.string() + " is on a file system that is read-only to the service: its unit lets it write only below " +
         platform::MachineRoot().string() +
         " and the unit's ReadWritePaths (docs/design/install.md says which drop-in adds a folder)";
}

void RefuseReadOnly(const std::string& folder) {
  const std::string why = ReadOnlyReason(folder);
  if (!why.empty()) throw CallError(kErrorFailed, "cannot write there: " + why);
}

// Sends StoreProgress now and then, from the store thread.
class ProgressSignals {
 public:
  ProgressSignals(CallContext::BusPost post, int32_t operation, const char* kind)
      : post_(std::move(post)), operation_(operation), kind_(kind) {}
  void SetTotals(int64_t bytes, int64_t files) {
    bytes_total_ = bytes;
    files_total_ = files;
  }
  void Show(const store::StoreProgress& now, bool last = false) {
    latest_ = now;
    const auto t = std::chrono::steady_clock::now();
    if (!last && sent_ && t - sent_at_ < kProgressEvery) return;
    sent_ = true;
    sent_at_ = t;
    const int64_t bytes_total = now.bytes_total > 0 ? now.bytes_total : bytes_total_;
    post_([operation = operation_, kind = kind_, now, bytes_total, files_total = files_total_](sd_bus* bus) {
      if (bus == nullptr) return;
      sd_bus_emit_signal(bus, kFileManagerPath, kFileManagerInterface, "StoreProgress", "isxxxx", operation, kind,
                         static_cast<int64_t>(now.bytes_done), static_cast<int64_t>(bytes_total),
                         static_cast<int64_t>(now.files_done), static_cast<int64_t>(files_total));
    });
  }
  // What the store reported last, sent or not.
  const store::StoreProgress& Latest() const { return latest_; }

 private:
  CallContext::BusPost post_;
  int32_t operation_;
  const char* kind_;
  int64_t bytes_total_ = 0;
  int64_t files_total_ = 0;
  bool sent_ = false;
  std::chrono::steady_clock::time_point sent_at_{};
  store::StoreProgress latest_{};
};

struct Finished {
  int32_t operation = 0;
  const char* kind = "";
  std::string store;
  std::string outcome;
  std::string summary;
  int32_t entries = 0;
  int32_t files = 0;
  int64_t bytes = 0;
  int32_t skipped = 0;
  int32_t failed = 0;
};

void SendFinished(const CallContext::BusPost& post, Finished done) {
  post([done = std::move(done)](sd_bus* bus) {
    if (bus == nullptr) return;
    sd_bus_emit_signal(bus, kFileManagerPath, kFileManagerInterface, "StoreFinished", "issssiixii", done.operation,
                       done.kind, done.store.c_str(), done.outcome.c_str(), done.summary.c_str(), done.entries,
                       done.files, done.bytes, done.skipped, done.failed);
  });
}

std::string Pending() { return platform::Err::IsSet() ? platform::Err::Description() : std::string(); }

// The job of BackupFolder: a new store file holding the folder, finalized.
Finished Backup(store::cFileMgr& files, const CallContext::BusPost& post, int32_t operation, const std::string& folder,
                const std::string& store_file, bool recurse, bool compress) {
  Finished done{.operation = operation, .kind = "backup", .store = store_file};
  ProgressSignals progress(post, operation, "backup");
  const store::FolderTotals totals = store::CountFolder(folder, recurse);
  progress.SetTotals(totals.bytes, totals.files);
  progress.Show({});
  if (fs::path(store_file).parent_path() == DefaultStoreFolder()) platform::fs::MakeFolderTree(DefaultStoreFolder());
  // The store is written under a work name and takes its own name only once
  // it is whole: a service killed in the middle leaves "<name>.partial",
  // never a store that lists and plays back as an empty one.
  const std::string work = store_file + kPartialSuffix;
  const int32_t handle = files.CreateStoreFile(work, kStoreToken, compress);
  if (!handle) {
    std::string why = ReadOnlyReason(fs::path(store_file).parent_path().string());
    if (why.empty()) why = Pending();
    if (why.empty()) why = "see the system log";
    done.outcome = "not written";
    done.summary = "cannot create " + work + ": " + why;
    return done;
  }
  files.SetProgress([&](const store::StoreProgress& now) { progress.Show(now); });
  // A backup copies: no file is moved out of the folder into the large-file
  // folder, whatever its size (one too large for a store entry is left out
  // and counted as failed).
  files.BackupFiles(folder, "", "*", recurse, false, handle, {}, kNeverMoved);
  const store::BackupCounts counts = files.LastBackup();
  const std::string backup_error = Pending();
  const int32_t entries_written = files.EntryCounter();
  if (counts.written && !counts.stopped) files.FinalizeStoreFile(handle);
  const std::string finalize_error = Pending();
  files.SetProgress(nullptr);
  files.UnprotectFile(work);
  if (counts.stopped) {
    files.KillFile(work);
    done.outcome = "not written";
    done.summary = "the backup of " + folder + " into " + store_file +
                   " was stopped before its end because the service is stopping; the part written was removed";
    return done;
  }
  // What is on disk is the answer: a store that does not count every entry
  // written (a large folder fills more than one), or that should be
  // compressed and is not, was not made.
  const store::StoreCatalog catalog = store::ReadStoreCatalog(work);
  const bool whole = counts.written && catalog.error.empty() && entries_written >= 1 &&
                     catalog.header.EntryCount == entries_written &&
                     catalog.entries.size() == static_cast<size_t>(entries_written) && catalog.damage.empty() &&
                     (!compress || catalog.body_compressed);
  if (!whole) {
    files.KillFile(work);
    done.outcome = "not written";
    const std::string why = !backup_error.empty() ? backup_error : !finalize_error.empty() ? finalize_error : catalog.error;
    done.summary = "the store " + store_file + " could not be written" + (why.empty() ? "" : ": " + why) +
                   " (it was removed; see the system log)";
    return done;
  }
  // Never over a file that took the name meanwhile.
  if (!platform::fs::RenameKeeping(work, store_file)) {
    files.KillFile(work);
    done.outcome = "not written";
    done.summary = "the store " + store_file + " could not take its name (a file of that name appeared meanwhile, " +
                   "or the folder refused); what was written was removed";
    return done;
  }
  progress.Show({.bytes_done = counts.bytes, .files_done = counts.files}, /*last=*/true);
  done.entries = entries_written;
  done.files = counts.files + counts.moved;
  done.bytes = counts.bytes;
  done.skipped = counts.links;
  done.failed = counts.failed + counts.refused;
  done.outcome = done.failed ? "file failures" : "complete";
  done.summary = "stored " + std::to_string(counts.files) + " files (" + std::to_string(counts.bytes) + " bytes) from " +
                 folder + " in " + store_file;
  if (counts.moved) done.summary += "; " + std::to_string(counts.moved) + " large files moved to the lfiles folder";
  if (counts.links) done.summary += "; " + std::to_string(counts.links) + " symbolic links skipped";
  if (done.failed) {
    done.summary += "; " + std::to_string(done.failed) + " files or folders could not be read and were not stored (see the system log)";
  }
  return done;
}

const char* OutcomeName(store::PlaybackOutcome outcome) {
  switch (outcome) {
    case store::PlaybackOutcome::kNotRead: return "not read";
    case store::PlaybackOutcome::kComplete: return "complete";
    case store::PlaybackOutcome::kStoppedAtDamage: return "stopped at damage";
    case store::PlaybackOutcome::kFileFailures: return "file failures";
  }
  return "not read";
}

// The job of PlayBackStoreFile.
Finished Playback(store::cFileMgr& files, const CallContext::BusPost& post, int32_t operation, const std::string& store_file,
                  const std::string& below) {
  Finished done{.operation = operation, .kind = "playback", .store = store_file};
  ProgressSignals progress(post, operation, "playback");
  progress.Show({});
  files.SetRestoreRoot(below);
  files.SetProgress([&](const store::StoreProgress& now) { progress.Show(now); });
  auto bag = files.PlayBackStoreFile(store_file);
  const std::string error = Pending();
  files.SetProgress(nullptr);
  files.SetRestoreRoot({});
  files.UnprotectFile(store_file);
  const store::PlaybackCounts c = files.LastPlayback();
  // The last word keeps the measure of the ones before it: the store's bytes
  // read, all of them once the playback went through (the files' own bytes
  // are in StoreFinished).
  const store::StoreProgress read = progress.Latest();
  progress.Show({.bytes_done = c.completed ? read.bytes_total : read.bytes_done,
                 .files_done = c.files,
                 .bytes_total = read.bytes_total},
                /*last=*/true);
  done.outcome = OutcomeName(c.outcome);
  done.entries = c.entries;
  done.files = c.files;
  done.bytes = c.bytes;
  done.skipped = c.refused + c.left_out;
  done.failed = c.registry_failures + c.damaged + (c.completed || c.damaged ? 0 : 1);
  if (c.outcome == store::PlaybackOutcome::kNotRead) {
    done.summary = "the store " + store_file + " cannot be opened" + (error.empty() ? "" : ": " + error) +
                   " (missing, or held by another process)";
    return done;
  }
  done.summary = "played back " + std::to_string(c.entries) + " entries from " + store_file + ": " +
                 std::to_string(c.files) + " files (" + std::to_string(c.bytes) + " bytes), " + std::to_string(c.keys) +
                 " keys, " + std::to_string(c.values) + " values, " + std::to_string(c.structs) + " structs";
  if (!below.empty()) done.summary += ", below " + below;
  if (c.left_out) done.summary += "; " + std::to_string(c.left_out) + " registry entries and large files left out";
  if (c.refused) done.summary += "; " + std::to_string(c.refused) + " files refused: a symbolic link in the way or an unsafe name";
  if (c.registry_failures) done.summary += "; " + std::to_string(c.registry_failures) + " registry keys or values not written";
  if (c.damaged) done.summary += "; the store is damaged: what the damage held was not played back";
  if (c.stopped) {
    done.summary += "; playback ended early: the service is stopping (files not yet reached were not written)";
  } else if (!c.completed && !c.damaged) {
    done.summary += "; playback ended early" + (error.empty() ? std::string() : ": " + error);
    const std::string why = ReadOnlyReason(below.empty() ? "/" : below);
    if (!why.empty()) done.summary += " (" + why + ")";
  }
  return done;
}

int ReplyWithCatalog(sd_bus_message* call, const std::string& store_file, const store::StoreCatalog& catalog) {
  if (!catalog.error.empty()) {
    return sd_bus_reply_method_errorf(call, kErrorFailed, "%s: %s", store_file.c_str(), catalog.error.c_str());
  }
  size_t size = store_file.size() + 64;
  for (const store::CatalogEntry& entry : catalog.entries) size += entry.description.size() + 32;
  if (size > kMaxAnswerBytes) {
    return sd_bus_reply_method_errorf(call, kErrorFailed,
                                      "%s: the listing of its %zu entries is larger than one message on the bus may be "
                                      "(hearthctl store list prints it)",
                                      store_file.c_str(), catalog.entries.size());
  }
  sd_bus_message* reply = nullptr;
  int r = sd_bus_message_new_method_return(call, &reply);
  if (r < 0) return r;
  std::string token = catalog.header.TokenID;
  while (!token.empty() && token.back() == ' ') token.pop_back();
  r = sd_bus_message_append(reply, "ssixb", store_file.c_str(), token.c_str(), catalog.header.EntryCount,
                            static_cast<int64_t>(catalog.file_size), static_cast<int>(catalog.body_compressed));
  if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(isis)");
  for (const store::CatalogEntry& entry : catalog.entries) {
    if (r < 0) break;
    r = sd_bus_message_append(reply, "(isis)", entry.number, store::EntryKindName(entry.type).c_str(), entry.data_length,
                              entry.description.c_str());
  }
  if (r >= 0) r = sd_bus_message_close_container(reply);
  if (r >= 0) r = sd_bus_message_append(reply, "s", catalog.damage.c_str());
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  // An answer that could not be made or sent (too large for the bus) still
  // ends the call, so its caller does not wait for its time-out.
  if (r < 0) {
    r = sd_bus_reply_method_errorf(call, kErrorFailed, "%s: the listing of %zu entries cannot be sent: %s",
                                   store_file.c_str(), catalog.entries.size(), std::strerror(-r));
  }
  return r;
}

void StartOrRefuse(CallContext& context, std::string what, StoreWork::Job job, StoreWork::Failure failed) {
  std::string busy;
  switch (context.StoreOperations().Start(std::move(what), std::move(job), std::move(failed), &busy)) {
    case StoreWork::Started::kYes: return;
    case StoreWork::Started::kBusy:
      throw CallError(kErrorBusy, "busy: the " + busy + " runs; one store operation at a time, try again when it has finished");
    case StoreWork::Started::kStopping: throw CallError(kErrorNotAvailable, "the service is stopping");
  }
}

// A job that raised still ends in a StoreFinished, so its caller never waits
// for one that does not come.
StoreWork::Failure FinishAsFailed(const CallContext::BusPost& post, int32_t operation, const char* kind,
                                  const std::string& store_file, const char* outcome, std::string what) {
  return [post, operation, kind, store_file, outcome, what = std::move(what)](const std::string& why) {
    SendFinished(post, {.operation = operation, .kind = kind, .store = store_file, .outcome = outcome,
                        .summary = "the " + what + " failed: " + why + " (see the system log)",
                        .failed = 1});
  };
}

// Whether `path` lies in `folder` or is it, once links in either are
// followed as far as they exist.
bool Inside(const std::string& path, const std::string& folder) {
  std::error_code error;
  const fs::path real_path = fs::weakly_canonical(path, error);
  if (error) return false;
  const fs::path real_folder = fs::weakly_canonical(folder, error);
  if (error) return false;
  const std::string p = real_path.string(), f = real_folder.string();
  return p == f || p.starts_with(f.ends_with('/') ? f : f + "/");
}

int BackupFolder(CallContext& context, sd_bus_message* message) {
  const std::string folder = AbsoluteFolder(ReadText(message), "the folder");
  const std::string store_file = StorePath(ReadText(message));
  const bool recurse = ReadFlag(message);
  const bool compress = ReadFlag(message);
  if (!platform::fs::FolderExists(folder)) throw CallError(kErrorInvalidArgs, "no folder " + folder);
  // Through a link too: a store written inside the folder it walks would
  // store itself.
  if (store_file == folder || store_file.starts_with(folder + "/") || Inside(store_file, folder)) {
    throw CallError(kErrorInvalidArgs, "the store file " + store_file + " cannot be inside the folder it stores");
  }
  const std::string store_folder = fs::path(store_file).parent_path().string();
  if (store_folder != DefaultStoreFolder() && !platform::fs::FolderExists(store_folder)) {
    throw CallError(kErrorInvalidArgs, "no folder " + store_folder + " for the store file");
  }
  // A backup never replaces an earlier one without being asked to.
  if (platform::fs::FileExists(store_file)) {
    throw CallError(kErrorInvalidArgs, "the store file " + store_file + " exists already: choose another name");
  }
  RefuseReadOnly(store_folder);
  const int32_t operation = next_operation++;
  const std::string what = "backup of " + folder + " into " + store_file;
  auto post = context.BusPoster();
  StartOrRefuse(context, what,
                [post, operation, folder, store_file, recurse, compress](store::cFileMgr& files) {
                  SendFinished(post, Backup(files, post, operation, folder, store_file, recurse, compress));
                },
                FinishAsFailed(post, operation, "backup", store_file, "not written", what));
  return sd_bus_reply_method_return(message, "is", operation, store_file.c_str());
}

int PlayBackStoreFile(CallContext& context, sd_bus_message* message) {
  const std::string store_file = StorePath(ReadText(message));
  const std::string given_below = ReadText(message);
  const std::string below = given_below.empty() ? std::string() : AbsoluteFolder(given_below, "the folder to play back below");
  if (!platform::fs::FileExists(store_file)) throw CallError(kErrorInvalidArgs, "no store file " + store_file);
  if (!below.empty()) RefuseReadOnly(below);
  const int32_t operation = next_operation++;
  const std::string what = "playback of " + store_file;
  auto post = context.BusPoster();
  StartOrRefuse(context, what,
                [post, operation, store_file, below](store::cFileMgr& files) {
                  SendFinished(post, Playback(files, post, operation, store_file, below));
                },
                FinishAsFailed(post, operation, "playback", store_file, "not read", what));
  return sd_bus_reply_method_return(message, "i", operation);
}

int ListStoreFile(CallContext& context, sd_bus_message* message) {
  const std::string store_file = StorePath(ReadText(message));
  if (!platform::fs::FileExists(store_file)) throw CallError(kErrorInvalidArgs, "no store file " + store_file);
  // The call is answered from the bus thread once the store thread has read
  // the file; the message stays with the job until then.
  std::shared_ptr<sd_bus_message> call(sd_bus_message_ref(message), &sd_bus_message_unref);
  auto post = context.BusPoster();
  StartOrRefuse(
      context, "listing of " + store_file,
      [post, call, store_file](store::cFileMgr&) {
        auto catalog = std::make_shared<store::StoreCatalog>(store::ReadStoreCatalog(store_file));
        // The message is let go on the bus thread, with the answer.
        post([call, store_file, catalog](sd_bus*) { ReplyWithCatalog(call.get(), store_file, *catalog); });
      },
      [post, call, store_file](const std::string& why) {
        post([call, store_file, why](sd_bus*) {
          sd_bus_reply_method_errorf(call.get(), kErrorFailed, "%s: cannot be listed: %s", store_file.c_str(),
                                     why.c_str());
        });
      });
  return 1;
}

}  // namespace

const BusInterface& FileManagerInterface() {
  static const BusInterface table{
      kFileManagerInterface,
      {
          {.name = "BackupFolder", .in = "ssbb", .in_names = {"Folder", "StoreFile", "fRecurseSubdirs", "DoCompress"},
           .out = "is", .out_names = {"Operation", "StoreFile"}, .access = Access::kRoot,
           .access_why = kReadsAnyFile, .custom = BackupFolder},
          {.name = "ListStoreFile", .in = "s", .in_names = {"StoreFile"}, .out = "ssixba(isis)s",
           .out_names = {"StoreFile", "TokenID", "EntryCount", "FileSize", "Compressed", "Entries", "Damage"},
           .access = Access::kRoot, .access_why = kReadsAnyFile, .custom = ListStoreFile},
          {.name = "PlayBackStoreFile", .in = "ss", .in_names = {"StoreFile", "RestoreBelow"}, .out = "i",
           .out_names = {"Operation"}, .access = Access::kRoot, .access_why = kWritesAnywhere,
           .custom = PlayBackStoreFile},
      },
      {
          {"StoreProgress", "isxxxx", {"Operation", "Kind", "BytesDone", "BytesTotal", "FilesDone", "FilesTotal"}},
          {"StoreFinished", "issssiixii",
           {"Operation", "Kind", "StoreFile", "Outcome", "Summary", "Entries", "Files", "Bytes", "Skipped", "Failed"}},
      },
  };
  return table;
}

}  // namespace bus
