// The "store" commands: make, fill, finalize, list and play back store files
// with the file manager, in this process (a store the running service holds
// cannot be opened meanwhile).
//
// A store is built over several runs: "create" writes its header, each
// "add-..." opens it again, appends entries and records their count, and
// "finalize" compresses it when it was created with --compress. Long work
// shows its progress on a terminal (stderr) and stays quiet when piped.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "command.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/fs/file_ops.h"
#include "platform/registry/key_path.h"
#include "store/file_manager.h"
#include "store/folder_totals.h"
#include "store/safe_paths.h"
#include "store/store_catalog.h"

namespace hearthctl {
namespace {

namespace fs = std::filesystem;

constexpr char kDefaultToken[] = "hearthctl";

const GroupRegistration kGroup{
    "store", "make, fill, list and play back store files",
    "STORE is a store file. Entries are added in several runs: create, add-files / add-key /\n"
    "add-struct, then finalize (which compresses a store created with --compress). --token T\n"
    "names the token the store is made for (default \"hearthctl\"); add-... and finalize must\n"
    "give the same one. Files of 10,000,000 bytes or more in subfolders, and of --max-size\n"
    "bytes or more in DIR itself, are not copied: they are moved to the profile's lfiles\n"
    "folder, and playback moves them back."};

// Progress on a terminal: "12.3 of 200.0 MB, 120 of 4000 files", redrawn at
// most ten times a second.
class Progress {
 public:
  Progress(Io& io, std::string verb) : io_(io), verb_(std::move(verb)), shown_(::isatty(STDERR_FILENO) == 1) {}
  ~Progress() { Done(); }
  void SetTotals(int64_t bytes, int64_t files) {
    total_bytes_ = bytes;
    total_files_ = files;
  }
  void Show(const store::StoreProgress& now) {
    if (!shown_) return;
    const auto t = std::chrono::steady_clock::now();
    if (drawn_ && t - last_ < std::chrono::milliseconds(100)) return;
    last_ = t;
    drawn_ = true;
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(1);
    line << "\r" << verb_ << " " << static_cast<double>(now.bytes_done) / 1e6;
    if (total_bytes_ > 0) line << " of " << static_cast<double>(total_bytes_) / 1e6;
    line << " MB";
    if (total_files_ > 0 || now.files_done > 0) {
      line << ", " << now.files_done;
      if (total_files_ > 0) line << " of " << total_files_;
      line << " files";
    }
    line << "\033[K";
    io_.err << line.str() << std::flush;
  }
  void Done() {
    if (drawn_) io_.err << "\r\033[K" << std::flush;
    drawn_ = false;
  }

 private:
  Io& io_;
  std::string verb_;
  bool shown_;
  bool drawn_ = false;
  int64_t total_bytes_ = 0;
  int64_t total_files_ = 0;
  std::chrono::steady_clock::time_point last_{};
};

std::string Absolute(const std::string& path) {
  std::error_code error;
  const fs::path full = fs::absolute(path, error);
  return error ? path : full.lexically_normal().string();
}

// Opens STORE for adding; reports and answers 0 when it cannot.
int32_t OpenForAdding(store::cFileMgr& mgr, const Command& self, const std::string& path, const std::string& token,
                      Io& io) {
  if (!platform::fs::FileExists(path)) {
    Report(io, self, "no store file " + path, kExitFailure);
    return 0;
  }
  const int32_t handle = mgr.ReopenStoreFile(path, token);
  if (!handle) {
    Report(io, self,
           path + " takes no more entries: not a store file of token \"" + token +
               "\", already compressed, damaged, or held by another process",
           kExitFailure);
  }
  return handle;
}

// A run whose entries could not be written (or counted): the store keeps
// the entries it had, this run's are not counted.
int NotWritten(Io& io, const Command& self, const std::string& path) {
  return Report(io, self, "nothing stored: " + path + " could not be written: " + platform::Err::Description(),
                kExitFailure);
}

int Create(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--compress"}, {"--token"}, &parsed, &error)) return UsageError(io, self, error);
  if (parsed.positional.size() != 1) return UsageError(io, self, "STORE expected");
  const std::string path = Absolute(parsed.positional[0]);
  store::cFileMgr mgr;
  const bool compress = parsed.Has("--compress");
  if (!mgr.CreateStoreFile(path, parsed.Option("--token", kDefaultToken), compress)) {
    return Report(io, self, "cannot create " + path, kExitFailure);
  }
  io.out << "created " << path << (compress ? " (compressed when finalized)" : "") << "\n";
  return kExitOk;
}

int AddFiles(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--recurse"}, {"--mask", "--exclude", "--max-size", "--token"}, &parsed, &error)) {
    return UsageError(io, self, error);
  }
  if (parsed.positional.size() != 2) return UsageError(io, self, "STORE and DIR expected");
  int64_t max_size = store::kDefaultMaxFileSize;
  if (parsed.Has("--max-size")) {
    std::optional<long long> n = WholeNumber(parsed.Option("--max-size"), 1, INT64_MAX);
    if (!n) return UsageError(io, self, "--max-size must be a whole number of bytes from 1");
    max_size = *n;
  }
  std::string exclude;
  if (parsed.Has("--exclude")) {
    exclude = "|";
    std::stringstream names(parsed.Option("--exclude"));
    for (std::string name; std::getline(names, name, ',');) {
      if (!name.empty()) exclude += platform::LCase(name) + "|";
    }
  }
  const std::string path = Absolute(parsed.positional[0]);
  const std::string dir = Absolute(parsed.positional[1]);
  if (!platform::fs::FolderExists(dir)) return Report(io, self, "no folder " + dir, kExitFailure);

  store::cFileMgr mgr;
  const int32_t handle = OpenForAdding(mgr, self, path, parsed.Option("--token", kDefaultToken), io);
  if (!handle) return kExitFailure;
  const bool recurse = parsed.Has("--recurse");
  Progress progress(io, "storing");
  if (::isatty(STDERR_FILENO) == 1) {
    const store::FolderTotals totals = store::CountFolder(dir, recurse, exclude);
    progress.SetTotals(totals.bytes, totals.files);
  }
  mgr.SetProgress([&](const store::StoreProgress& now) { progress.Show(now); });
  platform::Err::Clear();
  mgr.BackupFiles(dir, "", parsed.Option("--mask", "*"), recurse, false, handle, exclude, max_size);
  const store::BackupCounts& done = mgr.LastBackup();
  // Entries the header does not count are never played back.
  const bool counted = done.written && mgr.WriteEntryCount(handle);
  progress.Done();
  if (!counted) return NotWritten(io, self, path);
  io.out << "stored " << done.files << " files (" << done.bytes << " bytes) from " << dir << " as entry "
         << mgr.EntryCounter();
  if (done.moved) io.out << "; " << done.moved << " large files moved to lfiles";
  if (done.links) io.out << "; " << done.links << " symbolic links left out";
  io.out << "\n";
  if (done.failed || done.refused) {
    return Report(io, self,
                  std::to_string(done.failed + done.refused) +
                      " files or folders could not be read and were not stored (see the system log)",
                  kExitFailure);
  }
  return kExitOk;
}

int AddKey(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--subkeys"}, {"--token"}, &parsed, &error)) return UsageError(io, self, error);
  if (parsed.positional.size() != 2) return UsageError(io, self, "STORE and KEY expected");
  const auto key = platform::registry::ParseRootedKeyPath(parsed.positional[1]);
  if (!key) return UsageError(io, self, "KEY must be a root and a path: HKLM\\SOFTWARE\\...");
  const std::string path = Absolute(parsed.positional[0]);
  store::cFileMgr mgr;
  const int32_t handle = OpenForAdding(mgr, self, path, parsed.Option("--token", kDefaultToken), io);
  if (!handle) return kExitFailure;
  const int32_t before = mgr.EntryCounter();
  platform::Err::Clear();
  mgr.BackupRegKey(static_cast<int32_t>(key->root), key->sub_key, parsed.Has("--subkeys"), false, handle);
  if (mgr.EntryCounter() == before) {
    return Report(io, self, "cannot read " + parsed.positional[1], kExitFailure);
  }
  if (platform::Err::IsSet() || !mgr.WriteEntryCount(handle)) return NotWritten(io, self, path);
  io.out << "stored " << parsed.positional[1] << " in " << mgr.EntryCounter() - before << " entries\n";
  return kExitOk;
}

int AddStruct(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {"--encrypt", "--hash", "--compress"}, {"--token", "--type"}, &parsed, &error)) {
    return UsageError(io, self, error);
  }
  if (parsed.positional.size() != 3) return UsageError(io, self, "STORE, TAG and FILE expected");
  int32_t type = store::ST_RAW;
  if (parsed.Has("--type")) {
    std::optional<long long> n = WholeNumber(parsed.Option("--type"), 0, 5);
    if (!n) return UsageError(io, self, "--type must be 0 to 5");
    type = static_cast<int32_t>(*n);
  }
  std::ifstream file(parsed.positional[2], std::ios::binary);
  if (!file) return Report(io, self, "cannot read " + parsed.positional[2], kExitFailure);
  store::Bytes buffer{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (buffer.empty()) return Report(io, self, parsed.positional[2] + " is empty: nothing to store", kExitFailure);
  const size_t size = buffer.size();
  const std::string path = Absolute(parsed.positional[0]);
  store::cFileMgr mgr;
  const int32_t handle = OpenForAdding(mgr, self, path, parsed.Option("--token", kDefaultToken), io);
  if (!handle) return kExitFailure;
  platform::Err::Clear();
  mgr.StoreStruct(parsed.positional[1], handle, parsed.Has("--encrypt") ? store::EK_SPECIFIED : store::EK_NONE,
                  parsed.Has("--hash"), parsed.Has("--compress"), type, buffer);
  if (platform::Err::IsSet() || !mgr.WriteEntryCount(handle)) {
    return Report(io, self, "not stored: " + platform::Err::Description(), kExitFailure);
  }
  io.out << "stored " << size << " bytes as '" << parsed.positional[1] << "' (" << buffer.size()
         << " bytes in the store) as entry " << mgr.EntryCounter() << "\n";
  return kExitOk;
}

int Finalize(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {"--token"}, &parsed, &error)) return UsageError(io, self, error);
  if (parsed.positional.size() != 1) return UsageError(io, self, "STORE expected");
  const std::string path = Absolute(parsed.positional[0]);
  store::cFileMgr mgr;
  const int32_t handle = OpenForAdding(mgr, self, path, parsed.Option("--token", kDefaultToken), io);
  if (!handle) return kExitFailure;
  Progress progress(io, "compressing");
  progress.SetTotals(mgr.SafeFileSize(path), 0);
  mgr.SetProgress([&](const store::StoreProgress& now) { progress.Show(now); });
  platform::Err::Clear();
  mgr.FinalizeStoreFile(handle);
  progress.Done();
  mgr.UnprotectFile(path);
  const store::StoreCatalog catalog = store::ReadStoreCatalog(path);
  if (!catalog.error.empty()) return Report(io, self, path + ": " + catalog.error, kExitFailure);
  if (catalog.header.Compressed && !catalog.body_compressed && !catalog.entries.empty()) {
    return Report(io, self, "not compressed: " + platform::Err::Description(), kExitFailure);
  }
  io.out << "finalized " << path << ": " << catalog.header.EntryCount << " entries, " << catalog.file_size
         << " bytes" << (catalog.body_compressed ? ", compressed" : "") << "\n";
  return kExitOk;
}

int List(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  int exit_code = kExitOk;
  if (!ParseCommandArguments(self, args, 1, 1, {}, &parsed, io, &exit_code)) return exit_code;
  const std::string path = Absolute(parsed.positional[0]);
  const store::StoreCatalog catalog = store::ReadStoreCatalog(path);
  if (!catalog.error.empty()) return Report(io, self, path + ": " + catalog.error, kExitFailure);
  std::string token = catalog.header.TokenID;
  while (!token.empty() && token.back() == ' ') token.pop_back();
  io.out << path << ": token \"" << token << "\", " << catalog.header.EntryCount << " entries, " << catalog.file_size
         << " bytes" << (catalog.body_compressed ? ", compressed" : "")
         << (catalog.header.Compressed && !catalog.body_compressed ? ", to be compressed" : "") << ", stamp "
         << catalog.header.Stamp << "\n";
  for (const store::CatalogEntry& entry : catalog.entries) {
    io.out << entry.number << "\t" << store::EntryKindName(entry.type) << "\t" << entry.data_length << "\t"
           << entry.description << "\n";
  }
  if (!catalog.damage.empty()) return Report(io, self, path + ": " + catalog.damage, kExitFailure);
  return kExitOk;
}

// Says what a playback did not do, one line each; exit 1 when there is anything.
int PlaybackProblems(Io& io, const Command& self, const store::PlaybackCounts& done) {
  if (done.outcome == store::PlaybackOutcome::kComplete) return kExitOk;
  const std::string why = platform::Err::IsSet() ? platform::Err::Description() : "see the system log";
  if (done.outcome == store::PlaybackOutcome::kNotRead) {
    return Report(io, self, "the store cannot be opened: " + why, kExitFailure);
  }
  if (done.damaged) {
    Report(io, self, "the store is damaged: what the damage held was not played back (see the system log)",
           kExitFailure);
  } else if (!done.completed) {
    Report(io, self, "playback ended early: " + why, kExitFailure);
  }
  if (done.refused) {
    Report(io, self,
           std::to_string(done.refused) + " files refused: a symbolic link in the way or an unsafe name (see the "
                                          "system log)",
           kExitFailure);
  }
  if (done.registry_failures) {
    Report(io, self,
           std::to_string(done.registry_failures) + " registry keys or values not written (see the system log)",
           kExitFailure);
  }
  return kExitFailure;
}

int Playback(const Command& self, const Arguments& args, Io& io) {
  ParsedArguments parsed;
  std::string error;
  if (!ParseArguments(args, {}, {"--structs-to", "--to"}, &parsed, &error)) return UsageError(io, self, error);
  if (parsed.positional.size() != 1) return UsageError(io, self, "STORE expected");
  if (parsed.Has("--to") && parsed.Option("--to").empty()) return UsageError(io, self, "--to needs a folder");
  const std::string path = Absolute(parsed.positional[0]);
  if (!platform::fs::FileExists(path)) return Report(io, self, "no store file " + path, kExitFailure);
  const std::string structs_to = parsed.Option("--structs-to");
  if (!structs_to.empty() && !platform::fs::MakeFolderTree(structs_to)) {
    return Report(io, self, "cannot create " + structs_to, kExitFailure);
  }
  store::cFileMgr mgr;
  // Made by the playback itself if missing, reached without a user's link.
  const std::string restore_root = parsed.Has("--to") ? Absolute(parsed.Option("--to")) : std::string();
  mgr.SetRestoreRoot(restore_root);
  Progress progress(io, "restoring");
  mgr.SetProgress([&](const store::StoreProgress& now) {
    progress.SetTotals(now.bytes_total, 0);
    progress.Show(now);
  });
  platform::Err::Clear();
  auto bag = mgr.PlayBackStoreFile(path);
  progress.Done();
  const store::PlaybackCounts& done = mgr.LastPlayback();
  int written = 0;
  if (!structs_to.empty()) {
    for (int32_t i = 1; i <= bag->Count(); ++i) {
      const std::string tag = bag->Key(i);
      if (!store::IsSafeFileName(tag)) {
        Report(io, self, "struct '" + tag + "' not written: its tag is no file name", kExitFailure);
        continue;
      }
      const store::Bytes* item = bag->Item(tag);
      std::ofstream out(fs::path(structs_to) / tag, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(item->data()), static_cast<std::streamsize>(item->size()));
      if (out) ++written;
    }
  }
  io.out << "played back " << done.entries << " entries from " << path << ": " << done.keys << " keys, "
         << done.values << " values, " << done.files << " files (" << done.bytes << " bytes), " << done.structs
         << " structs";
  if (!structs_to.empty()) io.out << " (" << written << " written to " << structs_to << ")";
  if (!restore_root.empty()) {
    io.out << ", below " << restore_root;
    if (done.left_out) io.out << " (" << done.left_out << " registry entries and large files left out)";
  }
  io.out << "\n";
  return PlaybackProblems(io, self, done);
}

const CommandRegistration kCreate{{
    .group = "store",
    .name = "create",
    .arguments = "STORE [--compress] [--token T]",
    .summary = "create an empty store file (an existing one is replaced)",
    .details = "With --compress the body is compressed by \"store finalize\".",
    .run = Create,
}};

const CommandRegistration kAddFiles{{
    .group = "store",
    .name = "add-files",
    .arguments = "STORE DIR [--mask M] [--recurse] [--exclude NAME,...] [--max-size N] [--token T]",
    .summary = "store the files of a folder",
    .details = "M is a file mask (default \"*\"; \"*\" and \"?\" wildcards, letter case counts). --recurse\n"
               "descends into subfolders whose names match the mask too; --exclude names folders of DIR\n"
               "itself (any letter case) not to descend into. Hidden files are stored like the others;\n"
               "symbolic links are left out, never followed. Files of N bytes or more (default 10000000)\n"
               "in DIR are moved to the profile's lfiles folder. Exit 1 when a file or folder could not\n"
               "be read, or the store could not be written (then nothing of this run is stored).",
    .run = AddFiles,
}};

const CommandRegistration kAddKey{{
    .group = "store",
    .name = "add-key",
    .arguments = "STORE KEY [--subkeys] [--token T]",
    .summary = "store a registry key and every key below it",
    .details = "KEY is a root and a path: HKLM\\SOFTWARE\\Norvale. Every key below KEY gets an entry of its\n"
               "own; with --subkeys the values of KEY's direct subkeys are also stored in KEY's entry.",
    .run = AddKey,
}};

const CommandRegistration kAddStruct{{
    .group = "store",
    .name = "add-struct",
    .arguments = "STORE TAG FILE [--encrypt] [--hash] [--compress] [--type 0-5] [--token T]",
    .summary = "store the bytes of FILE under TAG",
    .details = "Playback hands them back under TAG (see \"store playback --structs-to\").",
    .run = AddStruct,
}};

const CommandRegistration kFinalize{{
    .group = "store",
    .name = "finalize",
    .arguments = "STORE [--token T]",
    .summary = "record the entry count and compress the store if it was created so",
    .details = "The compressed store replaces the old one in one step: a crash leaves the one or the other.",
    .run = Finalize,
}};

const CommandRegistration kList{{
    .group = "store",
    .name = "list",
    .arguments = "STORE",
    .summary = "print the header, then one line per entry: number, type, size, what it holds",
    .details = "",
    .run = List,
}};

const CommandRegistration kPlayback{{
    .group = "store",
    .name = "playback",
    .arguments = "STORE [--to DIR] [--structs-to DIR]",
    .summary = "put every key and file of the store back where it came from",
    .details = "A compressed store is left uncompressed. With --structs-to each struct entry is written\n"
               "to DIR/TAG.\n"
               "--to DIR plays a store you do not trust back below DIR (made if missing): each file goes\n"
               "to DIR followed by the folder it came from, and nothing it holds is written outside DIR.\n"
               "Registry entries are left out and files moved to lfiles stay there. A symbolic link\n"
               "below DIR is never followed, nor one in DIR's place unless root made it.\n"
               "Files are restored as their folder's owner's, never wider than 0644.\n"
               "Exit 1 when anything was not played back: a damaged store (what the damage held is lost),\n"
               "files refused (a symbolic link in the way, an unsafe name), registry values not set, or\n"
               "a file that cannot be written, which ends the playback (what came before stays restored).",
    .run = Playback,
}};

}  // namespace
}  // namespace hearthctl
