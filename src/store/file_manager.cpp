#include "store/file_manager.h"

#include "platform/basic/err.h"
#include "platform/fs/file_ops.h"
#include "systemlog/system_log.h"
#include "store/chunk_hook.h"

namespace store {

cFileMgr::cFileMgr() { service::WriteSystemLog("Creating file manager"); }

cFileMgr::~cFileMgr() { service::WriteSystemLog("Terminating file manager"); }

platform::com::ObjectPtr CreateFileManager() { return std::make_shared<cFileMgr>(); }

int64_t cFileMgr::SafeFileSize(const std::string& Filename) {
  const int64_t size = platform::fs::FileSize(Filename);
  return size < 0 ? 0 : size;
}

void cFileMgr::KillFile(const std::string& Filename) { platform::fs::DeleteFileQuietly(Filename); }

void cFileMgr::ReportProgress() {
  if (progress_) platform::Quietly([&] { progress_(progress_state_); });
}

}  // namespace store
