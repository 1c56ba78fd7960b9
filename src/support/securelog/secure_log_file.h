// The secure log component: one append-only file per log name in a folder
// (the profile folder's "securelog"), each entry chained to the one before
// by HMAC-SHA-256 under the machine's key (machine_key.h), the read marks and
// the last Sync's anchor in a state file beside it (log_format.h).
//
// Several objects, threads or processes may work on one log: each operation
// takes an exclusive lock on the file and notices what others appended. A log
// that does not verify is still read and written; what is wrong goes to the
// diagnostic sink (the system log) once per object and problem.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

  std::string folder_;
  std::string key_path_;
  std::string name_;
  std::string folded_;
  std::string log_path_;
  std::string state_path_;
  int fd_ = -1;
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
