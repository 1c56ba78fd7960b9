// The secure log component: one append-only file per log name in a folder
// (the profile folder's "securelog"), each entry chained to the one before
// by HMAC-SHA-256 under the machine's key (machine_key.h), the read marks and
// the last Sync's anchor in a state file beside it (log_format.h).
//
// Several objects, threads or processes may work on one log: each operation
// takes the log's lock and notices what others appended. The lock is a
// shared mutex in "<stem>.lock" beside the log (platform/fs/shared_mutex_file.h),
// with a count of the changes made to the log: an append that follows the
// object's own costs one system call besides the write. Where that file
// cannot be used, the lock is an exclusive file lock on the log. A log
// that does not verify is still read and written; what is wrong goes to the
// diagnostic sink (the system log) once per object and problem.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs/shared_mutex_file.h"
#include "service/contracts/secure_log.h"
#include "support/securelog/chain_mac.h"
#include "support/securelog/log_format.h"

namespace support {

// "<profile folder>/securelog"
std::string SecureLogFolder(const std::string& profile_folder);

class SecureLogFile : public contracts::SecureLog {
 public:
  // `key_path` empty: the machine key (securelog::MachineKeyPath()).
  explicit SecureLogFile(std::string folder, std::string key_path = {});
  ~SecureLogFile() override;

  void Open(const std::string& log_name, const std::string& log_identifier) override;
  std::string GetEntries(bool only_unread, bool mark_read) override;
  void Append(const std::string& entry) override;
  void Sync() override;
  void Clear() override;

  std::string LogPath() const { return log_path_; }

 private:
  class Lock;
  void RequireOpen() const;
  std::string ReadFile() const;
  // Brings what this object knows of the file up to date; `repair` cuts off
  // a torn last record (and moves a damaged file aside) so that appends can
  // follow.
  void Refresh(bool repair);
  void Learn(const securelog::ScannedLog& log);
  void ReportProblems(const securelog::ScannedLog& log);
  void StartGeneration();
  securelog::LogState ReadState(const securelog::ScannedLog& log);
  void WriteState(const securelog::LogState& state);
  // Before each change to the log file, under the lock: the other objects'
  // next look at the file is then a whole one.
  void NoteChange();
  // Reopens the log path when the descriptor no longer refers to it (another
  // object moved a damaged file aside).
  void FollowPath();

  std::string folder_;
  std::string key_path_;
  std::string name_;
  std::string folded_;
  std::string log_path_;
  std::string state_path_;
  int fd_ = -1;
  platform::fs::SharedMutexFile shared_lock_;
  // The change count when this object last looked at the whole file, and
  // whether the file was whole then (no torn or damaged bytes).
  uint64_t seen_changes_ = 0;
  bool clean_ = false;
  std::unique_ptr<securelog::ChainMac> mac_;
  // What the file held the last time this object looked: valid while its
  // size is known_size_.
  uint64_t known_size_ = UINT64_MAX;
  bool has_header_ = false;
  std::string nonce_;
  uint64_t count_ = 0;
  securelog::Mac last_{};
  std::vector<std::string> reported_;
};

}  // namespace support
