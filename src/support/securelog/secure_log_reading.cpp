#include "support/securelog/secure_log_reading.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "platform/fs/durable.h"
#include "support/securelog/log_check.h"
#include "support/securelog/log_format.h"
#include "support/securelog/machine_key.h"

namespace support {

std::vector<std::string> SecureLogNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    const std::filesystem::path& path = item.path();
    if (path.extension() != securelog::kLogSuffix) continue;
    if (std::optional<std::string> name = securelog::LogNameOfStem(path.stem().string())) names.push_back(*name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

SecureLogInspection InspectSecureLog(const std::string& folder, const std::string& name,
                                     const std::string& key_path) {
  SecureLogInspection inspection;
  inspection.name = securelog::FoldedLogName(name);
  const std::string stem = folder + "/" + securelog::LogFileStem(name);
  std::optional<std::string> bytes = platform::fs::ReadWholeFile(stem + securelog::kLogSuffix);
  if (!bytes) return inspection;
  inspection.exists = true;
  securelog::ScannedLog log = securelog::ScanLog(*bytes);
  for (const securelog::ScannedEntry& entry : log.entries) inspection.entries.push_back(entry.payload);

  const std::string key_file = key_path.empty() ? securelog::MachineKeyPath() : key_path;
  std::optional<std::string> key_bytes = platform::fs::ReadWholeFile(key_file);
  if (!key_bytes || key_bytes->size() != securelog::MacKey{}.size()) {
    inspection.problems.push_back("the secure log key " + key_file + " is missing or damaged");
    if (!log.damage.empty()) inspection.problems.push_back(log.damage);
    return inspection;
  }
  securelog::MacKey key{};
  std::copy(key_bytes->begin(), key_bytes->end(), key.begin());
  securelog::ChainMac mac(key);
  const std::optional<std::string> state_text = platform::fs::ReadWholeFile(stem + securelog::kStateSuffix);
  inspection.problems = securelog::LogProblems(mac, log, inspection.name, state_text);
  securelog::LogState state = securelog::CurrentState(mac, log, inspection.name, state_text, nullptr);
  inspection.read = std::min<uint64_t>(state.read, log.entries.size());
  return inspection;
}

}  // namespace support
