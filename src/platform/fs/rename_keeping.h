// A rename that never replaces: for chains of generations, where a rename
// onto a file that is still there would silently lose that file.
#pragma once

#include <string>

namespace platform::fs {

// Renames a file or folder to `to` only when nothing exists under that name;
// the test and the rename are one step (renameat2 RENAME_NOREPLACE; where the
// file system lacks it, a hard link and an unlink, which refuse an existing
// name just the same). False when `to` exists, the source is missing,
// either file is held with sharing denied, or the system refuses.
bool RenameKeeping(const std::string& from, const std::string& to);

}  // namespace platform::fs
