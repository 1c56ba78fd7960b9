// The secure log component: named, tamper-evident report logs. The system
// appends entries to a log by name and hands them back to clients, each once
// as "unread".
//
//   auto log = contracts::CreateSupportObject<contracts::SecureLog>();
//   log->Open("REPORT", contracts::kSecureLogIdentifier);
//   log->Append("<entry ... />");
//   std::string unread = log->GetEntries(true, true);
//
// Every operation raises platform::BasicError when it fails.
#pragma once

#include <string>

namespace contracts {

// The one log identifier the system opens every log with.
inline constexpr char kSecureLogIdentifier[] = "{3B7D2A90-6C1E-4f58-A2D4-7E90C1B5F3A6}";

// The folder the secure log component keeps the logs in (for readers that
// list and verify them without opening them for writing).
std::string SecureLogFolder();

class SecureLog {
 public:
  virtual ~SecureLog() = default;

  // Opens (creating when new) the log of that name; names compare without
  // regard to letter case.
  virtual void Open(const std::string& log_name, const std::string& log_identifier) = 0;
  // The entries, oldest first, each followed by CR LF: all of them, or only
  // those not yet marked read; `mark_read` then marks every entry read.
  virtual std::string GetEntries(bool only_unread, bool mark_read) = 0;
  virtual void Append(const std::string& entry) = 0;
  // Makes every entry appended so far durable (on disk).
  virtual void Sync() = 0;
  // Empties the log.
  virtual void Clear() = 0;
};

}  // namespace contracts
