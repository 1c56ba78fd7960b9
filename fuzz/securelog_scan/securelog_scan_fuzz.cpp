// Outside bytes as a secure log file (and as its state file), read through
// the streaming scanner with a fixed key.
//
// Besides "no crash, no hang": the scan never reaches past the bytes; entry
// payloads come in increasing order and lie inside the file; a scan that
// goes on from a point it captured ends where the whole scan ends; every
// problem is said in words; and a log written again from the entries found
// scans clean with the same entries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/securelog/chain_mac.h"
#include "support/securelog/log_check.h"
#include "support/securelog/log_format.h"
#include "support/securelog/log_scanner.h"

namespace {

using namespace support::securelog;

const ChainMac& Key() {
  static const ChainMac mac([] {
    MacKey key{};
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
    return key;
  }());
  return mac;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const ChainMac& mac = Key();
  MemorySource source(bytes);

  std::vector<std::string> entries;
  uint64_t next_index = 0;
  ScanHooks hooks;
  hooks.payloads_from = 0;
  hooks.capture_at = {1, 3};
  hooks.entry = [&](uint64_t index, std::string_view payload) {
    Check(index >= next_index && payload.size() <= size);
    next_index = index + 1;
    entries.emplace_back(payload);
  };
  const ScanResult log = ScanLog(source, &mac, "report", hooks);
  Check(log.end.offset <= size && log.size == size);
  Check(log.end.entries >= entries.size());
  for (const Damage& damage : log.damage) Check(damage.offset <= size && !damage.reason.empty());

  // Going on from a captured point ends where the whole scan ended.
  if (const ChainPoint* point = log.Captured(1); point != nullptr && log.damage.empty()) {
    const ScanResult again = ContinueScan(source, &mac, "report", log, *point);
    Check(again.end.offset == log.end.offset && again.end.entries == log.end.entries);
  }

  // The same bytes as a state file: decoded or refused, never more.
  const StateCheck check = CheckState(&mac, log, "report", std::string(bytes));
  for (const std::string& problem : LogProblems(log, check)) Check(!problem.empty());

  // Without a key nothing past damage is found, and nothing breaks.
  const ScanResult keyless = ScanLog(source, nullptr, "report");
  Check(keyless.end.offset <= size);

  // The entries found, written again as a log, scan clean and the same.
  if (log.has_header && entries.size() == log.end.entries) {
    std::string rewritten = EncodeHeader(log.nonce);
    Mac last = mac.Start(log.nonce, "report");
    for (size_t i = 0; i < entries.size(); ++i) {
      last = mac.Entry(last, i, entries[i]);
      rewritten += EncodeRecord(entries[i], last);
    }
    MemorySource clean(rewritten);
    std::vector<std::string> found;
    ScanHooks collect;
    collect.payloads_from = 0;
    collect.entry = [&](uint64_t, std::string_view payload) { found.emplace_back(payload); };
    const ScanResult second = ScanLog(clean, &mac, "report", collect);
    Check(second.clean() && !second.broken_entry && found == entries);
  }
  return 0;
}
