// What a backup of a folder will look at, counted before it starts, so that
// its progress can say "of how much".
#pragma once

#include <cstdint>
#include <string>

namespace store {

struct FolderTotals {
  int64_t files = 0;
  int64_t bytes = 0;
};

// The regular files below `folder` and their bytes: its own files, and with
// `recurse` those of its subfolders but the ones `exclude` names at the top
// ("|name|" in lower case, as BackupFiles takes it). Links are not followed
// (a backup does not follow them either); what cannot be read counts 0.
FolderTotals CountFolder(const std::string& folder, bool recurse, const std::string& exclude = {});

}  // namespace store
