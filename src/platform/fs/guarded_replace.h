// Renaming a finished file onto a name that others may be opening at that
// very moment, without ever swapping a file under a holder that denied
// sharing.
//
// The replace holds a shared lock on the file it replaces from its check
// until its rename is done: a holder that denies sharing makes it fail, and
// one arriving meanwhile cannot take its lock. Replaces in a folder take
// turns under an exclusive lock on the folder; an opener refused a lock
// looks at that folder lock to tell a replace under way (wait for it, then
// open the new file) from a real holder (refused). An opener also checks,
// once locked, that the name still leads to the file it opened.
#pragma once

#include <functional>
#include <string>

namespace platform::fs {

// Renames `from` onto `to`. With `replace` false an existing `to` is kept
// (false, errno EEXIST). False, errno EWOULDBLOCK, when `to` is held with
// sharing denied; EISDIR when it is a folder.
bool RenameGuarded(const std::string& from, const std::string& to, bool replace);

// The same for `to_name` in the open folder `to_folder`, `from_name` in
// `from_folder` (both plain names): nothing on the way is looked up by path
// again, and a link in `to_name`'s place is replaced, never followed.
bool RenameGuardedAt(int from_folder, const std::string& from_name, int to_folder, const std::string& to_name,
                     bool replace);

// For an opener refused a lock on a file in `folder`: true when a replace
// there was under way and has ended (open again), false when none was.
bool WaitForReplaceIn(const std::string& folder);

// Test seams: `before_rename` runs in a replace after its check, with its
// locks held; `opener_waits` when an opener starts waiting for a replace.
// Empty functions remove them.
void SetReplaceHooksForTesting(std::function<void()> before_rename, std::function<void()> opener_waits);

}  // namespace platform::fs
