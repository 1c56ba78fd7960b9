// Plain file and folder operations. None of them throws: each answers with a
// bool (or a value with a stated "missing" result) and leaves errno-free, clear
// outcomes to the caller. A bad path (empty, holding a NUL byte, too long)
// simply fails.
//
// Files that another opener holds with sharing denied (see sharing.h) can be
// neither deleted, renamed, replaced nor copied from: those calls fail, as
// they do on Windows. Files held shared do not stand in the way.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

// True when `path` names an existing regular file (symbolic links followed).
bool FileExists(const std::string& path);
// True when `path` names an existing folder.
bool FolderExists(const std::string& path);
// True when anything exists under that name.
bool PathExists(const std::string& path);

// Length of the file in bytes; -1 when it is missing or not a regular file.
int64_t FileSize(const std::string& path);

// Deletes a file (not a folder). False when it is missing, is a folder, is held
// with sharing denied, or the folder refuses.
bool DeleteFile(const std::string& path);

// Deletes a file and ignores every failure (`KillFileQuietly` of the settings
// code). Never touches the thread's error state.
void DeleteFileQuietly(const std::string& path);

// Renames a file or folder, replacing an existing file at `to` in one atomic
// step (rename(2)): a reader sees the old or the new file, never none. Across
// file systems the file is copied next to `to`, flushed and renamed over it,
// then the source is removed. False when the source is missing or either
// file is held with sharing denied.
bool RenameReplacing(const std::string& from, const std::string& to);

// Copies a regular file with its permission bits and last write time. The
// copy is written beside `to` and renamed over it, so `to` is the old or the
// complete new file. With `overwrite` false an existing `to` makes it fail.
bool CopyFile(const std::string& from, const std::string& to, bool overwrite = true);

// Creates one folder; true when it now exists (also when it existed).
bool MakeFolder(const std::string& path);

// Creates the folder and every missing parent; true when it now exists.
bool MakeFolderTree(const std::string& path);

// Removes an empty folder; false when missing, not empty or refused.
bool RemoveFolder(const std::string& path);

}  // namespace platform::fs
