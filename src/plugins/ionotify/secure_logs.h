// The secure report logs of the calling thread (SecureLogs): one secure log
// component per log name (names compare without regard to case), opened on
// first use and kept for the thread's life.
#pragma once

#include <memory>
#include <string>

#include "contracts/secure_log.h"

namespace plugins::ionotify {

// The thread's log of that name, opened with the name and the log
// identifier when new. Raises what opening raises (nothing is kept then).
std::shared_ptr<contracts::SecureLog> FindOrOpenSecureLog(const std::string& name);

// Appends when both texts are at least one character long.
void AppendSecureLogEntry(const std::string& name, const std::string& entry);

// Logs "Clearing secure log with name '...'" and empties the log.
void ClearSecureLog(const std::string& name);

// Sync on every open log of the thread, in the order they were opened; a log
// that fails does not stop the others.
void SyncSecureLogs();

// The report log entry, every field escaped for its place.
std::string SecureLogEntry(const std::string& alert_id, const std::string& when, const std::string& user,
                           const std::string& referer, const std::string& url);

}  // namespace plugins::ionotify
