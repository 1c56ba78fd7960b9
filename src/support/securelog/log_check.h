// What is wrong with a secure log: its chain, a torn or damaged tail, and the
// anchor its last Sync left in the state file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/securelog/chain_mac.h"
#include "support/securelog/log_format.h"

namespace support::securelog {

// The state that belongs to the log's current generation: the decoded state
// file, or a fresh one (nothing read, nothing synced) when the file is
// missing, does not verify or belongs to an earlier generation.
// `state_damaged` tells the second case apart.
LogState CurrentState(const ChainMac& mac, const ScannedLog& log, std::string_view folded_name,
                      const std::optional<std::string>& state_text, bool* state_damaged);

// Every problem, in words; empty when the log verifies.
std::vector<std::string> LogProblems(const ChainMac& mac, const ScannedLog& log, std::string_view folded_name,
                                     const std::optional<std::string>& state_text);

}  // namespace support::securelog
