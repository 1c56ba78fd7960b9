#include "support/securelog/log_check.h"

namespace support::securelog {

LogState CurrentState(const ChainMac& mac, const ScannedLog& log, std::string_view folded_name,
                      const std::optional<std::string>& state_text, bool* state_damaged) {
  if (state_damaged != nullptr) *state_damaged = false;
  std::optional<LogState> state;
  if (state_text) {
    state = DecodeState(mac, *state_text);
    if (!state && state_damaged != nullptr) *state_damaged = true;
  }
  if (state && log.has_header && state->nonce == log.nonce) return *state;
  LogState fresh;
  fresh.nonce = log.nonce;
  fresh.last = log.has_header ? mac.Start(log.nonce, folded_name) : Mac{};
  return fresh;
}

std::vector<std::string> LogProblems(const ChainMac& mac, const ScannedLog& log, std::string_view folded_name,
                                     const std::optional<std::string>& state_text) {
  std::vector<std::string> problems;
  if (!log.damage.empty()) problems.push_back(log.damage);
  if (std::optional<ChainBreak> broken = CheckChain(mac, log, folded_name)) problems.push_back(broken->reason);
  bool state_damaged = false;
  LogState state = CurrentState(mac, log, folded_name, state_text, &state_damaged);
  if (state_damaged) problems.push_back("the state file does not verify");
  if (state.synced > log.entries.size()) {
    problems.push_back("entries removed: " + std::to_string(state.synced) + " were synced, " +
                       std::to_string(log.entries.size()) + " are left");
  } else if (state.synced > 0 && log.entries[state.synced - 1].mac != state.last) {
    problems.push_back("entry " + std::to_string(state.synced) + " is not the one that was synced");
  }
  return problems;
}

}  // namespace support::securelog
