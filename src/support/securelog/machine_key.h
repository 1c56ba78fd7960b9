// The per-machine key of the secure logs: 32 random bytes in a file only root
// may read ("keys/securelog.key" below the machine root, mode 0600, in a
// folder of mode 0700), made on first use.
#pragma once

#include <string>

#include "support/securelog/chain_mac.h"

namespace support::securelog {

// <root>/keys/securelog.key
std::string MachineKeyPath();

// The key in `path`, creating the file when it is missing. Two processes that
// create it at once end up with the same key (the file appears whole or not
// at all). Raises platform::BasicError when the file cannot be made or holds
// something else than a key: a damaged key file is never replaced, because
// every existing log depends on it.
MacKey LoadOrCreateMachineKey(const std::string& path);

}  // namespace support::securelog
