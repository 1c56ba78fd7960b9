// What is wrong with a secure log: its chain, damage, and how its state file
// stands against the mark records in the log.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/securelog/chain_mac.h"
#include "support/securelog/log_format.h"
#include "support/securelog/log_scanner.h"

namespace support::securelog {

enum class StateStanding {
  kAgrees,             // the state file is the one the log's last mark mirrors
  kNone,               // no state file, and none is owed (a log from before mark records)
  kInterruptedStart,   // a generation's start was recorded but its header not written
  kInterruptedClear,   // a Clear was recorded but the log not yet emptied
  kMarkLost,           // the state is one mark ahead: that mark's record was lost in a crash
  kMissing,            // the log holds marks but there is no state file
  kUnverified,         // the state file does not verify
  kOtherGeneration,    // it belongs to another generation of the log
  kRolledBack,         // it is older than the log's last mark
  kMarksRemoved,       // the log holds fewer marks than the state records
  kLogEmptied,         // the log file is empty though the state records entries or marks
};

// Whether the standing is evidence of a change by hand (to be reported, and
// kept aside rather than overwritten).
bool IsEvidence(StateStanding standing);
// The mark flag that records a replaced state file of that standing.
uint32_t FlagOf(StateStanding standing);

struct StateCheck {
  StateStanding standing = StateStanding::kNone;
  // The marks in force: the state file's where it stands, else the log's
  // last mark, else none (read 0, synced 0, the chain's start).
  LogState state;
  bool anchored = false;  // state.last is known (the state file's own)
};

// Needs only the state file and the scan's mark records.
StateCheck CheckState(const ChainMac* mac, const ScanResult& log, std::string_view folded_name,
                      const std::optional<std::string>& state_text);

// Every problem, in words; empty when the log verifies. The scan must have
// captured the entry `check.state.synced` (ScanHooks::capture_at) for the
// anchor to be checked.
std::vector<std::string> LogProblems(const ScanResult& log, const StateCheck& check);

}  // namespace support::securelog
