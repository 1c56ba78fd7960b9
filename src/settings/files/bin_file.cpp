#include "settings/files/bin_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "contracts/support_objects.h"
#include "platform/fs/durable.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/temp_sibling.h"
#include "settings/files/checksum.h"
#include "systemlog/system_log.h"

namespace settings {
namespace {

constexpr std::size_t kChecksumSize = 4;
// The smallest file a write produces: two data bytes and the checksum.
constexpr std::size_t kSmallestWrittenFile = 2 + kChecksumSize;

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<bool(BinFileStep)>& Hook() {
  static std::function<bool(BinFileStep)> hook;
  return hook;
}

// False when a test's hook stops the write at this step.
bool Reached(BinFileStep step) {
  std::function<bool(BinFileStep)> hook;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    hook = Hook();
  }
  return !hook || hook(step);
}

std::string_view AsText(std::span<const uint8_t> bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// A file's data part (its contents without the checksum) when the file holds
// data and a checksum that matches it; nullopt otherwise. `log_mismatch`
// writes the checksum line.
std::optional<ByteArray> CheckedData(const std::string& path, ByteArray contents, bool log_mismatch) {
  if (contents.size() <= kChecksumSize) return std::nullopt;
  const std::size_t length = contents.size() - kChecksumSize;
  const uint8_t* bytes = contents.data();
  const uint32_t stored = static_cast<uint32_t>(bytes[length]) | static_cast<uint32_t>(bytes[length + 1]) << 8 |
                          static_cast<uint32_t>(bytes[length + 2]) << 16 |
                          static_cast<uint32_t>(bytes[length + 3]) << 24;
  if (static_cast<int32_t>(stored) != Checksum(std::span(bytes, length))) {
    if (log_mismatch) service::WriteSystemLog("ReadFromBinFile - Checksum Error in file '" + path + "'");
    return std::nullopt;
  }
  contents.resize(length);
  return contents;
}

// A work file an interrupted write left behind is complete when it is as
// long as a write makes it, its checksum holds and it is not the run of
// zeros a crash can leave in a file's unwritten pages.
std::optional<ByteArray> CompleteWorkFileData(const std::string& work, const ByteArray& contents) {
  if (contents.size() < kSmallestWrittenFile) return std::nullopt;
  if (std::all_of(contents.begin(), contents.end(), [](uint8_t c) { return c == 0; })) return std::nullopt;
  return CheckedData(work, contents, false);
}

bool WriteWorkFile(const std::string& work, const ByteArray& data) {
  const int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const int32_t sum = Checksum(data);
  const uint32_t bits = static_cast<uint32_t>(sum);
  const char trailer[kChecksumSize] = {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
                                       static_cast<char>((bits >> 16) & 0xFF), static_cast<char>(bits >> 24)};
  const std::string_view text = AsText(data);
  const std::size_t half = text.size() / 2;
  const bool written = Reached(BinFileStep::kWorkFileCreated) && platform::fs::WriteAll(fd, text.substr(0, half)) &&
                       Reached(BinFileStep::kWorkFileHalfWritten) &&
                       platform::fs::WriteAll(fd, text.substr(half)) && Reached(BinFileStep::kWorkFileDataWritten) &&
                       platform::fs::WriteAll(fd, std::string_view(trailer, kChecksumSize)) &&
                       Reached(BinFileStep::kWorkFileComplete) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  return written && closed && Reached(BinFileStep::kWorkFileFlushed);
}

}  // namespace

void SetBinFileStepHook(std::function<bool(BinFileStep step)> hook) {
  std::lock_guard<std::mutex> lock(HookMutex());
  Hook() = std::move(hook);
}

bool WriteToBinFile(const SettingsFilePaths& paths, const ByteArray& data) {
  try {
    auto files = contracts::Support().Files();
    files->PreparePath(paths.live);
    files->PreparePath(paths.work);
    if (platform::fs::FileExists(paths.work)) platform::fs::DeleteFile(paths.work);
    if (data.size() < 2) return false;
    // The live file is replaced only by a work file that is complete and on
    // disk, in one rename: a crash leaves the old file or the new one.
    if (!WriteWorkFile(paths.work, data)) return false;
    if (::rename(paths.work.c_str(), paths.live.c_str()) != 0) return false;
    platform::fs::SyncFolder(FolderOf(paths.live));
    return Reached(BinFileStep::kLiveFileReplaced);
  } catch (...) {
    return false;
  }
}

ByteArray ReadFromBinFile(const SettingsFilePaths& paths, WorkFileHandling work, const WorkFileCheck& holds_snapshot) {
  try {
    if (platform::fs::FileExists(paths.work)) {
      std::optional<ByteArray> contents = platform::fs::ReadWholeFileBytes(paths.work);
      std::optional<ByteArray> complete;
      if (contents) complete = CompleteWorkFileData(paths.work, *contents);
      if (complete && holds_snapshot && !holds_snapshot(*complete)) complete.reset();
      if (work == WorkFileHandling::kReadOnly) {
        if (complete) return std::move(*complete);
      } else if (complete) {
        // A write that stopped between its flush and its rename: finish it.
        contracts::Support().Files()->PreparePath(paths.live);
        if (::rename(paths.work.c_str(), paths.live.c_str()) == 0) platform::fs::SyncFolder(FolderOf(paths.live));
        return std::move(*complete);
      } else if (contents) {
        // A torn work file must not cost the last good settings.
        service::WriteSystemLog("ReadFromBinFile - Discarding incomplete work file '" + paths.work + "'");
        contracts::Support().Files()->PreparePath(paths.work);
        platform::fs::DeleteFile(paths.work);
      }
    }
    std::optional<ByteArray> contents = platform::fs::ReadWholeFileBytes(paths.live);
    if (!contents) return {};
    std::optional<ByteArray> data = CheckedData(paths.live, std::move(*contents), true);
    return data ? std::move(*data) : ByteArray();
  } catch (...) {
    return {};
  }
}

}  // namespace settings
