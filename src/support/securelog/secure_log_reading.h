// Reading secure logs from outside the service (hearthctl securelog): which
// logs a folder holds, and one log's entries and problems, without changing
// anything (no key is made, no mark is set). A log is read as a stream; a
// tail that looks cut short is looked at again under the log's lock, so an
// append in progress is never taken for damage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace support {
namespace securelog {
struct VerificationKey;
}

struct SecureLogInspection {
  std::string name;  // the log's name in lower case
  bool exists = false;
  uint64_t entries = 0;               // entries found (numbered as the chain numbers them)
  uint64_t read = 0;                  // the oldest `read` entries are marked read
  std::vector<std::string> problems;  // empty when the log verifies
  // Sealing (seal_keys.h): the seal records found and, with a verification
  // key, whether they prove the log up to the last one.
  uint64_t seals = 0;
  uint64_t sealed_entries = 0;       // entries the last seal covers
  uint64_t first_seal_epoch = 0;     // the epoch of the generation's first seal
  uint64_t first_sealed_entries = 0; // entries the first seal covers
  bool seals_checked = false;        // a verification key was given
  uint64_t sealed_until = 0;         // end of the last sealed epoch (seconds since 1970), when checked
};

enum class EntriesWanted { kNone, kUnread, kAll };

// The names (lower case) of the logs in the folder, sorted.
std::vector<std::string> SecureLogNames(const std::string& folder);

// Raises platform::BasicError when the log is there but cannot be read (not
// a regular file, a read error). `key_path` empty: the machine key. A missing key makes the log
// unverifiable (one problem) but it is still read. The entries asked for are
// handed to `entry`, oldest first, as they are read.
// With `verification_key` (hearthctl securelog setup-keys printed it) every
// seal is checked with the key of its epoch: the log up to the last seal is
// then proven even against someone who holds the machine's keys now.
SecureLogInspection InspectSecureLog(const std::string& folder, const std::string& name,
                                     const std::string& key_path = {}, EntriesWanted wanted = EntriesWanted::kNone,
                                     const std::function<void(std::string_view)>& entry = {},
                                     const securelog::VerificationKey* verification_key = nullptr);

// Tests: called before a tail that looked cut short is looked at again under
// the lock (a writer can finish its record there).
void SetTailRecheckHookForTesting(std::function<void()> hook);

}  // namespace support
