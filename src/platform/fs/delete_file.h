// The deletion step shared by DeleteFile and Kill.
#pragma once

#include <string>

namespace platform::fs {

// Deletes a file (never a folder). 0 on success, else the errno reason:
// ENOENT missing, EISDIR a folder, EWOULDBLOCK held with sharing denied.
// While it deletes, it holds the file shared, so no opener can slip in and
// take it with sharing denied between the check and the unlink.
int DeleteFileReason(const std::string& path);

}  // namespace platform::fs
