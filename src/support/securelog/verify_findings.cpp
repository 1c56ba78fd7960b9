#include "support/securelog/verify_findings.h"

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace support {
namespace {

std::string UtcTime(uint64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  ::gmtime_r(&time, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text;
}

// What the seals prove, in one line.
std::string SealLine(const SecureLogInspection& log) {
  if (log.seals == 0) return "not sealed yet";
  const uint64_t after = log.entries - std::min(log.entries, log.sealed_entries);
  std::string line = std::to_string(log.seals) + " seals; ";
  line += log.sealed_entries == 0 ? std::string("no entries sealed")
                                  : "entries 1 to " + std::to_string(log.sealed_entries) + " sealed";
  if (log.seals_checked) {
    // The first seal's time matters too: a log rewritten by someone holding
    // the machine's keys can only be sealed from the time they held them.
    line += ", proven up to " + UtcTime(log.sealed_until) + " (first seal: entries 1 to " +
            std::to_string(log.first_sealed_entries) + ", epoch " + std::to_string(log.first_seal_epoch) + ")";
  } else {
    line += " (not checked without --verification-key)";
  }
  line += "; " + std::to_string(after) + " entries after the last seal";
  return line;
}

}  // namespace

std::vector<std::string> VerifyFindings(const SecureLogInspection& log, bool key_given) {
  const std::string prefix = "secure log '" + log.name + "'";
  std::vector<std::string> lines;
  if (log.problems.empty()) {
    lines.push_back(prefix + ": " + std::to_string(log.entries) + " entries, the chain verifies");
    if (log.seals > 0 || key_given) lines.push_back(prefix + ": " + SealLine(log));
    return lines;
  }
  for (const std::string& problem : log.problems) lines.push_back(prefix + " does not verify: " + problem);
  return lines;
}

const char* VerificationState(const SecureLogInspection& log) {
  return log.problems.empty() ? "verifies" : "does not verify";
}

}  // namespace support
