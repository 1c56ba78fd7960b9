// The bytes of a secure log file and of its state file.
//
// Log file "<stem>.slog": a header line, then whole records back to back.
//   header  "HEARTH-SECURELOG 1 " + 32 hex digits (the generation nonce) + LF
//   record  'E', payload length (4 bytes, little endian), payload,
//           HMAC-SHA-256 of the entry (32 bytes, chain_mac.h)
// A record is written with one write() call; a process killed in the middle
// leaves at most one torn record at the end, which readers ignore and the
// next append cuts off.
//
// State file "<stem>.state" (replaced whole, durably): LF-ended lines
//   nonce <hex>   the generation the lines below belong to
//   read <n>      entries marked read (always the oldest n)
//   synced <n>    entries made durable by the last Sync
//   last <hex>    the hash of entry n-1 at that Sync (anchors the chain's end)
//   mac <hex>     HMAC of all the lines above
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/securelog/chain_mac.h"

namespace support::securelog {

inline constexpr std::string_view kHeaderMagic = "HEARTH-SECURELOG 1 ";
inline constexpr size_t kNonceLength = 32;
inline constexpr size_t kHeaderSize = kHeaderMagic.size() + kNonceLength + 1;
inline constexpr char kRecordTag = 'E';
inline constexpr size_t kRecordOverhead = 1 + 4 + 32;
inline constexpr char kLogSuffix[] = ".slog";
inline constexpr char kStateSuffix[] = ".state";
// The lock shared by every object and process working on the log.
inline constexpr char kLockSuffix[] = ".lock";

// Log names compare without regard to case: the file belongs to the name in
// lower case, with every byte but a-z, 0-9, '_' and '-' written as "%XX" (a
// name can never reach outside its folder).
std::string FoldedLogName(std::string_view name);
std::string LogFileStem(std::string_view name);
// The folded name back from a stem; nullopt for a stem not made this way.
std::optional<std::string> LogNameOfStem(std::string_view stem);

std::string HexText(std::string_view bytes);
std::optional<std::string> HexBytes(std::string_view hex);
std::string NewNonce();

std::string EncodeHeader(std::string_view nonce);
std::string EncodeRecord(std::string_view payload, const Mac& mac);

struct ScannedEntry {
  std::string payload;
  Mac mac{};
};

struct ScannedLog {
  bool has_header = false;  // false for an empty file (a log never written)
  std::string nonce;
  std::vector<ScannedEntry> entries;  // every whole record, in order
  uint64_t whole_end = 0;             // end of the last whole record
  // Not empty when bytes after `whole_end` are not a whole record: a torn
  // last record, or damage that hides every record after it.
  std::string damage;
};
ScannedLog ScanLog(std::string_view bytes);

// The first entry whose hash is not the one the chain gives, with the
// reason; nullopt when every entry verifies.
struct ChainBreak {
  size_t index = 0;
  std::string reason;
};
std::optional<ChainBreak> CheckChain(const ChainMac& mac, const ScannedLog& log, std::string_view folded_name);

struct LogState {
  std::string nonce;
  uint64_t read = 0;
  uint64_t synced = 0;
  Mac last{};
};
std::string EncodeState(const ChainMac& mac, const LogState& state);
// nullopt for a text that is not a state written with this key.
std::optional<LogState> DecodeState(const ChainMac& mac, std::string_view text);

}  // namespace support::securelog
