// The settings file on disk: the encrypted snapshot followed by its checksum
// (signed 32-bit, little-endian), with no header.
//
// Writing goes to the work file (".exb"), which is flushed to disk and then
// renamed over the live file (".exl") in one step, so the live file is always
// the old or the complete new one. Reading first settles a work file left by
// an interrupted write: a complete one (its checksum holds and it holds a
// snapshot) replaces the live file, a torn one is deleted and logged.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "settings/files/settings_file_base.h"
#include "settings/files/snapshot_cipher.h"

namespace settings {

// Writes `data` (at least 2 bytes; fewer writes nothing) and its checksum to
// the work file and puts it in place of the live file. True when the live
// file now holds the data. Never raises.
bool WriteToBinFile(const SettingsFilePaths& paths, const ByteArray& data);

// How a read treats a work file left beside the live file.
enum class WorkFileHandling {
  kSettle,    // promote a complete one, delete a torn one (the owner's read)
  kReadOnly,  // change nothing on disk; read a complete one instead of the
              // live file (a reader beside the running service)
};

// Whether a work file's data is what a write puts there (a snapshot that
// decrypts for its owner); an empty function takes any data.
using WorkFileCheck = std::function<bool(const ByteArray& data)>;

// The data bytes of the live file (after settling a left-over work file);
// empty when it is missing, shorter than 5 bytes, unreadable, or its
// checksum does not hold ("ReadFromBinFile - Checksum Error in file '...'"
// in the system log). A work file counts as complete when its checksum holds
// and `holds_snapshot` accepts its data. Never raises.
ByteArray ReadFromBinFile(const SettingsFilePaths& paths, WorkFileHandling work = WorkFileHandling::kSettle,
                          const WorkFileCheck& holds_snapshot = {});

// The moments of a write, in order, for tests that interrupt one.
enum class BinFileStep {
  kWorkFileCreated,       // the work file exists, empty
  kWorkFileHalfWritten,   // half of the data is in it
  kWorkFileDataWritten,   // all the data, no checksum yet
  kWorkFileComplete,      // data and checksum, not yet flushed
  kWorkFileFlushed,       // on disk, not yet renamed
  kLiveFileReplaced,      // renamed over the live file
};

// Called at each moment of every write; returning false makes the write fail
// there (the work file is left as it stands, as a crash would leave it). An
// empty function removes the hook. Process-wide; for tests.
void SetBinFileStepHook(std::function<bool(BinFileStep step)> hook);

}  // namespace settings
