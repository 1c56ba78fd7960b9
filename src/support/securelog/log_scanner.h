// Reading a secure log front to back as a stream: one bounded buffer, the
// chain checked as it goes, payloads kept only of the entries the caller
// asks for. Damage in the middle does not hide what follows it: the scanner
// looks past a bad record for the next record whose hash follows the chain,
// so every entry that can still be found and verified is served.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/securelog/chain_mac.h"
#include "support/securelog/log_format.h"

namespace support::securelog {

// Where the bytes come from: a file or memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() = 0;
  // Up to `size` bytes from `at`; fewer only at the end. Raises
  // platform::BasicError when the bytes cannot be read.
  virtual size_t ReadAt(uint64_t at, char* out, size_t size) = 0;
};

class FileSource : public ByteSource {
 public:
  // `limit`: bytes past it are not looked at.
  FileSource(int fd, std::string path, uint64_t limit = UINT64_MAX)
      : fd_(fd), path_(std::move(path)), limit_(limit) {}
  uint64_t Size() override;
  size_t ReadAt(uint64_t at, char* out, size_t size) override;

 private:
  int fd_;
  std::string path_;
  uint64_t limit_;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() override { return bytes_.size(); }
  size_t ReadAt(uint64_t at, char* out, size_t size) override;

 private:
  std::string_view bytes_;
};

// A place between two records: where the next one starts and what it follows.
struct ChainPoint {
  uint64_t offset = 0;
  uint64_t entries = 0;  // entries before it
  Mac last{};            // the chain's hash the next entry or mark follows
  Mac last_entry{};      // the hash of the last entry (the chain's start when none)
};

struct Damage {
  uint64_t offset = 0;
  uint64_t length = 0;
  std::string reason;
};

struct FoundMark {
  uint64_t offset = 0;
  uint64_t entries = 0;  // entries before it
  uint64_t read = 0;
  uint64_t synced = 0;
  uint32_t flags = 0;
  Mac mac{};
};

struct FoundSeal {
  uint64_t offset = 0;
  std::string nonce;  // of the log's generation
  SealRecord seal;
  ChainPoint at;  // the chain where the seal stands, as the scan found it
};

struct ScanResult {
  bool has_header = false;  // false for an empty file (a log never written) or a damaged header
  std::string nonce;
  uint64_t size = 0;        // the file's size when it was read
  ChainPoint end;           // after the last whole record
  std::vector<Damage> damage;
  // The last damage is a record cut short by the end of the file, as a
  // writer killed in the middle leaves it.
  bool torn_tail = false;
  std::optional<uint64_t> broken_entry;   // the first entry (from 0) whose hash is wrong
  std::optional<uint64_t> broken_mark;    // byte offset of the first mark whose hash is wrong
  uint64_t marks = 0;
  std::optional<FoundMark> last_mark;
  std::vector<FoundMark> flagged_marks;  // marks that carry flags (evidence)
  uint64_t seals = 0;
  std::optional<FoundSeal> last_seal;
  // The points before the entries of `ScanHooks::capture_at` that were found.
  std::vector<std::pair<uint64_t, ChainPoint>> captured;
  const ChainPoint* Captured(uint64_t index) const {
    for (const auto& [at, point] : captured) {
      if (at == index) return &point;
    }
    return nullptr;
  }
  bool clean() const { return has_header && damage.empty(); }
};

struct ScanHooks {
  // Entries from this index on are handed to `entry` with their payload.
  uint64_t payloads_from = UINT64_MAX;
  std::function<void(uint64_t index, std::string_view payload)> entry;
  std::function<void(const FoundSeal&)> seal;
  std::vector<uint64_t> capture_at;
};

// The whole log. `mac` null: nothing is verified and nothing past damage is
// found (finding it needs the chain).
ScanResult ScanLog(ByteSource& source, const ChainMac* mac, std::string_view folded_name,
                   const ScanHooks& hooks = {});

// Goes on from `from` (a point of the earlier scan `known` of the same
// generation, before any damage it found): only the bytes after it are
// read, and the result is `known`'s with what follows added. Falls back to a
// whole scan when the header is no longer the one `known` saw.
ScanResult ContinueScan(ByteSource& source, const ChainMac* mac, std::string_view folded_name,
                        const ScanResult& known, const ChainPoint& from, const ScanHooks& hooks = {});

}  // namespace support::securelog
