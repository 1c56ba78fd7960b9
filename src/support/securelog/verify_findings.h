// What verifying a secure log found, in the words hearthctl prints and the
// service answers on the bus: one line per finding.
//
//   secure log 'report': 2 entries, the chain verifies
//   secure log 'report': 1 seals; entries 1 to 2 sealed, proven up to ...
//   secure log 'report' does not verify: entry 2 does not verify (...)
#pragma once

#include <string>
#include <vector>

#include "support/securelog/secure_log_reading.h"

namespace support {

// `key_given`: the log was inspected with a verification key, so the seal
// line says what the seals prove.
std::vector<std::string> VerifyFindings(const SecureLogInspection& log, bool key_given);

// "verifies" or "does not verify".
const char* VerificationState(const SecureLogInspection& log);

}  // namespace support
