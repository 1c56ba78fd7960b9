// The bytes of a secure log file and of its state file.
//
// Log file "<stem>.slog": a header line, then whole records back to back.
//   header  "HEARTH-SECURELOG 1 " + 32 hex digits (the generation nonce) + LF
//   entry   'E', payload length (4 bytes, little endian), payload,
//           HMAC-SHA-256 of the entry (32 bytes, chain_mac.h)
//   mark    'M', read (8 bytes), synced (8 bytes), flags (4 bytes), HMAC (32):
//           the read marks as they were saved, in the same chain as the
//           entries, so a state file put back from earlier is seen
//   seal    'S', epoch (8), next epoch (8), entries before it (8), the chain's
//           hash it closes (32), HMAC under the epoch's sealing key (32);
//           outside the chain (seal_keys.h)
// Numbers are little endian. A record is written with one write() call; a
// process killed in the middle leaves at most one torn record at the end,
// which readers ignore and the next append cuts off.
//
// State file "<stem>.state" (replaced whole, durably, before the mark record
// that mirrors it is appended): LF-ended lines
//   nonce <hex>     the generation the lines below belong to
//   read <n>        entries marked read (always the oldest n)
//   synced <n>      entries made durable by the last Sync or marking read
//   last <hex>      the hash of entry n-1 at that point (anchors the chain's end)
//   marks <n>       mark records the generation holds with this one
//   previous <hex>  the generation this one replaced ("-" for none)
//   mac <hex>       HMAC of all the lines above
// State files written before mark records existed have only the first four
// lines and the mac; they read as "marks 0".
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
inline constexpr char kMarkTag = 'M';
inline constexpr size_t kMarkSize = 1 + 8 + 8 + 4 + 32;
inline constexpr char kSealTag = 'S';
inline constexpr size_t kSealSize = 1 + 8 + 8 + 8 + 32 + 32;
// Append refuses a bigger entry; a record claiming more is damage, never a
// torn last record.
inline constexpr size_t kMaxEntrySize = 16u << 20;

// Why a mark record was written with more than the marks: what the writer
// found wrong with the state file and replaced (the evidence stays in the
// chain even after the state file is written anew).
enum MarkFlags : uint32_t {
  kMarkStateMissing = 1,
  kMarkStateUnverified = 2,
  kMarkStateRolledBack = 4,
  kMarkStateOtherGeneration = 8,
  kMarkSalvaged = 16,  // the first mark of a log carried over from a damaged file
  kMarkRestored = 32,  // a mark whose record was lost in a crash, written again
};
std::string MarkFlagsText(uint32_t flags);

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
std::string EncodeMark(uint64_t read, uint64_t synced, uint32_t flags, const Mac& mac);

struct SealRecord {
  uint64_t epoch = 0;
  uint64_t next_epoch = 0;
  uint64_t entries = 0;
  Mac chain{};
  Mac mac{};
};
std::string EncodeSeal(const SealRecord& seal);
SealRecord DecodeSeal(std::string_view record);  // `record` is kSealSize bytes

struct LogState {
  std::string nonce;
  uint64_t read = 0;
  uint64_t synced = 0;
  Mac last{};
  uint64_t marks = 0;
  std::string previous;  // empty for none
};
std::string EncodeState(const ChainMac& mac, const LogState& state);
// nullopt for a text that is not a state written with this key.
std::optional<LogState> DecodeState(const ChainMac& mac, std::string_view text);

}  // namespace support::securelog
