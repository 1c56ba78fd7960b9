#include "support/securelog/log_check.h"

namespace support::securelog {

bool IsEvidence(StateStanding standing) {
  switch (standing) {
    case StateStanding::kAgrees:
    case StateStanding::kNone:
    case StateStanding::kInterruptedStart:
    case StateStanding::kInterruptedClear:
    case StateStanding::kMarkLost: return false;
    default: return true;
  }
}

uint32_t FlagOf(StateStanding standing) {
  switch (standing) {
    case StateStanding::kMissing: return kMarkStateMissing;
    case StateStanding::kUnverified: return kMarkStateUnverified;
    case StateStanding::kOtherGeneration:
    case StateStanding::kLogEmptied: return kMarkStateOtherGeneration;
    case StateStanding::kRolledBack:
    case StateStanding::kMarksRemoved: return kMarkStateRolledBack;
    case StateStanding::kMarkLost: return kMarkRestored;
    default: return 0;
  }
}

StateCheck CheckState(const ChainMac* mac, const ScanResult& log, std::string_view folded_name,
                      const std::optional<std::string>& state_text) {
  StateCheck check;
  check.state.nonce = log.nonce;
  if (mac != nullptr && log.has_header) check.state.last = mac->Start(log.nonce, folded_name);
  // Without a state file that stands, the log's own last mark says what was
  // read and synced.
  auto from_log = [&](StateStanding standing) {
    check.standing = standing;
    if (log.last_mark) {
      check.state.read = log.last_mark->read;
      check.state.synced = log.last_mark->synced;
      check.state.marks = log.marks;
    }
    return check;
  };
  if (!state_text) return from_log(log.marks == 0 ? StateStanding::kNone : StateStanding::kMissing);
  std::optional<LogState> state = mac == nullptr ? std::nullopt : DecodeState(*mac, *state_text);
  if (!state) return from_log(StateStanding::kUnverified);
  const bool fresh = state->read == 0 && state->synced == 0 && state->marks == 1;
  if (!log.has_header) {
    if (!log.damage.empty()) return from_log(StateStanding::kAgrees);  // the damage is the problem
    if (fresh) {
      check.state = *state;
      check.standing = StateStanding::kInterruptedStart;
      return check;
    }
    // An emptied file beside a state from before mark records: a cleared log.
    if (state->marks == 0 && state->synced == 0) return from_log(StateStanding::kNone);
    return from_log(StateStanding::kLogEmptied);
  }
  if (state->nonce != log.nonce) {
    if (fresh && state->previous == log.nonce) {
      check.state = *state;
      check.standing = StateStanding::kInterruptedClear;
      return check;
    }
    // Before mark records a state file of an earlier generation counted as
    // nothing read; logs of that time still read so.
    if (state->marks == 0 && log.marks == 0) return from_log(StateStanding::kNone);
    return from_log(StateStanding::kOtherGeneration);
  }
  if (state->marks < log.marks) return from_log(StateStanding::kRolledBack);
  // A state file ahead of the log by more than the one mark a crash can
  // lose: the log was cut, and the state file says how far it went.
  check.state = *state;
  check.anchored = true;
  check.standing = state->marks == log.marks       ? StateStanding::kAgrees
                   : state->marks == log.marks + 1 ? StateStanding::kMarkLost
                                                   : StateStanding::kMarksRemoved;
  return check;
}

std::vector<std::string> LogProblems(const ScanResult& log, const StateCheck& check) {
  std::vector<std::string> problems;
  for (const Damage& damage : log.damage) problems.push_back(damage.reason);
  if (log.broken_entry) {
    problems.push_back("entry " + std::to_string(*log.broken_entry + 1) +
                       " does not verify (edited, removed, reordered or written with another key)");
  }
  if (log.broken_mark) {
    problems.push_back("the mark record at byte " + std::to_string(*log.broken_mark) + " does not verify");
  }
  switch (check.standing) {
    case StateStanding::kMissing: problems.push_back("the state file is missing"); break;
    case StateStanding::kUnverified: problems.push_back("the state file does not verify"); break;
    case StateStanding::kOtherGeneration:
      problems.push_back("the state file belongs to another generation of the log");
      break;
    case StateStanding::kRolledBack:
      problems.push_back("the state file is older than the log's marks (put back from earlier)");
      break;
    case StateStanding::kMarksRemoved:
      problems.push_back("mark records were removed from the log: the state file records " +
                         std::to_string(check.state.marks) + ", the log holds " + std::to_string(log.marks));
      break;
    case StateStanding::kLogEmptied:
      problems.push_back("the log file was emptied: its state file records entries or marks");
      break;
    default: break;
  }
  for (const FoundMark& mark : log.flagged_marks) {
    const uint32_t evidence = mark.flags & ~static_cast<uint32_t>(kMarkRestored);
    if (evidence == 0) continue;
    problems.push_back("after entry " + std::to_string(mark.entries) + ": " + MarkFlagsText(evidence));
  }
  if (log.has_header && check.state.synced > log.end.entries) {
    problems.push_back("entries removed: " + std::to_string(check.state.synced) + " were synced, " +
                       std::to_string(log.end.entries) + " are left");
  } else if (check.anchored && check.state.synced > 0) {
    const ChainPoint* point = log.Captured(check.state.synced);
    if (point != nullptr && point->last_entry != check.state.last) {
      problems.push_back("entry " + std::to_string(check.state.synced) + " is not the one that was synced");
    }
  }
  return problems;
}

}  // namespace support::securelog
