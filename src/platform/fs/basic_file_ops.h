// The Basic statements `Kill` and `Name ... As`, raising Basic errors through
// RaiseError (platform::BasicError) so that a routine running them as Steps
// records the number and description Basic would give. Use file_ops.h where a
// plain result is wanted.
#pragma once

#include <string>

namespace platform::fs {

// Kill: deletes the files `pattern` names. The last part may hold the
// wildcards "*" and "?" (see MatchesMask in dir.h); a wildcard never matches a
// hidden file (name starting with "."), an exact name does. Folders are never
// deleted. Errors, raised at the first file that fails:
//   53 File not found     nothing matches (also: the name is a folder)
//   76 Path not found     the folder part does not exist
//   75 Path/File access error  the file is read-only (no write bit), as on
//                              Windows; clear it with SetFileAttributes first
//   70 Permission denied  the file is held with sharing denied, or the folder
//                         refuses the deletion
void Kill(const std::string& pattern);

// Name old As new: renames or moves a file or folder; never replaces. A file
// moves across file systems too (copied, then the source removed). Errors:
//   53 File not found     `from` does not exist
//   58 File already exists  `to` exists
//   76 Path not found     the folder of `to` does not exist
//   70 Permission denied  `from` is held with sharing denied, or refused
//   75 Path/File access error  anything else (a folder across file systems)
void Name(const std::string& from, const std::string& to);

}  // namespace platform::fs
