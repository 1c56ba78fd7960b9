// The per-machine key of the secure logs: 32 random bytes in a file only root
// may read ("keys/securelog.key" below the machine root, mode 0600, in a
// folder of mode 0700), made on first use.
#pragma once

#include <string>

#include "support/securelog/chain_mac.h"

namespace support::securelog {

// <root>/keys/securelog.key
std::string MachineKeyPath();

// The key in `path`, creating the file when it is missing. Two threads or
// processes that create it at once end up with the same key: the file is
// written whole under no name (or a unique work name) and then linked into
// place, so it appears whole or not at all. A file of another size is
// damage: it is kept aside ("<path>.damaged.<time>"), reported, and a new key
// made. Raises platform::BasicError when no key can be made or read.
MacKey LoadOrCreateMachineKey(const std::string& path);

}  // namespace support::securelog
