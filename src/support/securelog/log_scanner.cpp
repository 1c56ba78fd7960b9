#include "support/securelog/log_scanner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/basic/err.h"

namespace support::securelog {
namespace {

// The one buffer of a scan: big enough for any ordinary record, small enough
// that a log of any size reads in bounded memory.
constexpr size_t kWindow = 1u << 20;
// Looking for the chain again after damage: candidates whose payload is
// larger are passed over, at most this many entry numbers are tried per
// candidate, and at most this many bytes are hashed in all. Half the window
// lets a record and the bytes just before it be seen at once, so a log of
// large entries is found again after damage as one of small entries is.
constexpr uint32_t kResyncMaxPayload = kWindow / 2;
constexpr uint64_t kResyncMaxGuesses = 64;
constexpr uint64_t kResyncBudget = 32u << 20;
constexpr size_t kMaxDamageListed = 64;
// What stays of the bytes before a read: the previous record's hash, a seal.
constexpr uint64_t kKeepBehind = 80u << 10;

[[noreturn]] void Fail(const std::string& what) {
  platform::RaiseError(platform::kErrDeviceIo, "secure log: " + what, "SecureLog");
}

bool IsTag(char c) { return c == kRecordTag || c == kMarkTag || c == kSealTag; }

class Window {
 public:
  Window(ByteSource& source, uint64_t size) : source_(source), size_(size) { buffer_.reserve(kWindow); }

  uint64_t size() const { return size_; }

  // Bytes [at, at + n), or null when they lie past the end. n <= kWindow.
  const char* Get(uint64_t at, size_t n) {
    if (at > size_ || n > size_ - at) return nullptr;
    if (at >= base_ && at - base_ + n <= buffer_.size()) return buffer_.data() + (at - base_);
    // A little of what lies before stays in the buffer: looking for the
    // chain after damage reads a few bytes back and a record ahead.
    const uint64_t back = n + kKeepBehind <= kWindow ? std::min<uint64_t>(at, kKeepBehind) : 0;
    const uint64_t base = at - back;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kWindow, size_ - base));
    buffer_.resize(want);
    size_t got = 0;
    while (got < want) {
      const size_t read = source_.ReadAt(base + got, buffer_.data() + got, want - got);
      if (read == 0) break;
      got += read;
    }
    buffer_.resize(got);
    base_ = base;
    if (got < back + n) {
      size_ = base + got;  // the file became shorter while it was read
      return nullptr;
    }
    return buffer_.data() + back;
  }

 private:
  ByteSource& source_;
  uint64_t size_;
  uint64_t base_ = 0;
  std::string buffer_;
};

class Scanner {
 public:
  Scanner(ByteSource& source, const ChainMac* mac, std::string_view folded_name, const ScanHooks& hooks,
          ScanResult& result)
      : window_(source, source.Size()), mac_(mac), folded_(folded_name), hooks_(hooks), result_(result) {
    result_.size = window_.size();
  }

  bool ReadHeader() {
    if (window_.size() == 0) return false;
    const char* header = window_.Get(0, kHeaderSize);
    if (header == nullptr || std::string_view(header, kHeaderMagic.size()) != kHeaderMagic ||
        header[kHeaderSize - 1] != '\n' || !HexBytes(std::string_view(header + kHeaderMagic.size(), kNonceLength))) {
      result_.damage.push_back({0, window_.size(), "the file does not start with a secure log header"});
      return false;
    }
    result_.has_header = true;
    result_.nonce.assign(header + kHeaderMagic.size(), kNonceLength);
    return true;
  }

  std::string_view HeaderNonce() {
    const char* header = window_.Get(0, kHeaderSize);
    if (header == nullptr || std::string_view(header, kHeaderMagic.size()) != kHeaderMagic) return {};
    return std::string_view(header + kHeaderMagic.size(), kNonceLength);
  }

  ChainPoint StartPoint() const {
    ChainPoint point;
    point.offset = kHeaderSize;
    if (mac_ != nullptr) point.last = mac_->Start(result_.nonce, folded_);
    point.last_entry = point.last;
    return point;
  }

  void Run(ChainPoint point) {
    while (point.offset < window_.size()) {
      Capture(point);
      if (!Record(point)) {
        if (!Resync(point)) break;
      }
    }
    Capture(point);
    result_.end = point;
  }

 private:
  void Capture(const ChainPoint& point) {
    for (uint64_t index : hooks_.capture_at) {
      if (index == point.entries && result_.Captured(index) == nullptr) result_.captured.emplace_back(index, point);
    }
  }

  // Reads the record at `point` and moves past it; false when it is not a
  // whole record.
  bool Record(ChainPoint& point) {
    const char* tag = window_.Get(point.offset, 1);
    if (tag == nullptr) return false;
    switch (*tag) {
      case kRecordTag: return Entry(point);
      case kMarkTag: return Mark(point);
      case kSealTag: return Seal(point);
      default: return false;
    }
  }

  bool Entry(ChainPoint& point) {
    const char* head = window_.Get(point.offset, 5);
    if (head == nullptr) return false;
    const uint64_t length = ReadLittleEndian(head + 1, 4);
    if (length + kRecordOverhead > window_.size() - point.offset) return false;
    const uint64_t index = point.entries;
    const bool wanted = index >= hooks_.payloads_from && hooks_.entry;
    Mac stored{};
    std::optional<Mac> computed;
    std::string payload;
    if (length + kRecordOverhead <= kWindow) {
      const char* record = window_.Get(point.offset, static_cast<size_t>(length + kRecordOverhead));
      if (record == nullptr) return false;
      const std::string_view text(record + 5, static_cast<size_t>(length));
      std::memcpy(stored.data(), record + 5 + length, stored.size());
      if (mac_ != nullptr) computed = mac_->Entry(point.last, index, text);
      if (wanted) hooks_.entry(index, text);
    } else {
      // A payload larger than the buffer passes through in pieces.
      std::optional<ChainMac::EntryHash> hash;
      if (mac_ != nullptr) hash.emplace(*mac_, point.last, index);
      uint64_t at = point.offset + 5;
      uint64_t left = length;
      while (left > 0) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, kWindow));
        const char* bytes = window_.Get(at, piece);
        if (bytes == nullptr) return false;
        if (hash) hash->Add(std::string_view(bytes, piece));
        if (wanted) payload.append(bytes, piece);
        at += piece;
        left -= piece;
      }
      const char* mac = window_.Get(at, stored.size());
      if (mac == nullptr) return false;
      std::memcpy(stored.data(), mac, stored.size());
      if (hash) computed = hash->Finish();
      if (wanted) hooks_.entry(index, payload);
    }
    if (computed && *computed != stored && !result_.broken_entry) result_.broken_entry = index;
    point.offset += kRecordOverhead + length;
    point.entries = index + 1;
    point.last = stored;
    point.last_entry = stored;
    return true;
  }

  bool Mark(ChainPoint& point) {
    const char* record = window_.Get(point.offset, kMarkSize);
    if (record == nullptr) return false;
    FoundMark mark;
    mark.offset = point.offset;
    mark.entries = point.entries;
    mark.read = ReadLittleEndian(record + 1, 8);
    mark.synced = ReadLittleEndian(record + 9, 8);
    mark.flags = static_cast<uint32_t>(ReadLittleEndian(record + 17, 4));
    std::memcpy(mark.mac.data(), record + 21, mark.mac.size());
    if (mac_ != nullptr && mac_->Mark(point.last, mark.read, mark.synced, mark.flags) != mark.mac &&
        !result_.broken_mark) {
      result_.broken_mark = point.offset;
    }
    ++result_.marks;
    result_.last_mark = mark;
    if (mark.flags != 0 && result_.flagged_marks.size() < kMaxDamageListed) result_.flagged_marks.push_back(mark);
    point.offset += kMarkSize;
    point.last = mark.mac;
    return true;
  }

  bool Seal(ChainPoint& point) {
    const char* record = window_.Get(point.offset, kSealSize);
    if (record == nullptr) return false;
    FoundSeal found{point.offset, result_.nonce, DecodeSeal(std::string_view(record, kSealSize)), point};
    if (hooks_.seal) hooks_.seal(found);
    ++result_.seals;
    result_.last_seal = std::move(found);
    point.offset += kSealSize;
    return true;
  }

  // Whether an entry record at `at` following `previous` as entry `index`
  // verifies. Only small records are tried.
  bool EntryFollows(uint64_t at, const Mac& previous, uint64_t first_index, uint64_t guesses, uint64_t* index) {
    const char* head = window_.Get(at, 5);
    if (head == nullptr) return false;
    const uint64_t length = ReadLittleEndian(head + 1, 4);
    if (length > kResyncMaxPayload || length + kRecordOverhead > window_.size() - at) return false;
    const uint64_t end = at + kRecordOverhead + length;
    if (end < window_.size()) {
      const char* next = window_.Get(end, 1);
      if (next == nullptr || !IsTag(*next)) return false;
    }
    const char* record = window_.Get(at, static_cast<size_t>(length + kRecordOverhead));
    if (record == nullptr) return false;
    const std::string_view payload(record + 5, static_cast<size_t>(length));
    Mac stored{};
    std::memcpy(stored.data(), record + 5 + length, stored.size());
    for (uint64_t i = 0; i < guesses && hashed_ < kResyncBudget; ++i) {
      hashed_ += length + 40;
      if (mac_->Entry(previous, first_index + i, payload) == stored) {
        *index = first_index + i;
        return true;
      }
    }
    return false;
  }

  // After a bad record at `point`: the next place where the chain goes on.
  bool Resync(ChainPoint& point) {
    const uint64_t bad = point.offset;
    const uint64_t size = window_.size();
    const char* tag = window_.Get(bad, 1);
    if (tag == nullptr) return false;
    uint64_t index = 0;
    // The tag byte alone may be what is damaged.
    if (mac_ != nullptr && *tag != kRecordTag && EntryFollows(bad, point.last, point.entries, 1, &index)) {
      AddDamage({bad, 1, "damaged record at byte " + std::to_string(bad) + ": its first byte; the entry verifies"});
      SkipEntryWithBadTag(point);
      return true;
    }
    for (uint64_t at = bad + 1; mac_ != nullptr && at + kRecordOverhead <= size && hashed_ < kResyncBudget; ++at) {
      const char* byte = window_.Get(at, 1);
      if (byte == nullptr || *byte != kRecordTag || at < kHeaderSize + 5 + 32) continue;
      const uint64_t guesses = std::min<uint64_t>(kResyncMaxGuesses, 1 + (at - bad) / kRecordOverhead);
      // Bytes thrown in leave the chain where it was; a damaged record
      // leaves its successor following the hash stored just before it.
      Mac previous = point.last;
      bool found = EntryFollows(at, previous, point.entries, 1, &index);
      if (!found) {
        std::memcpy(previous.data(), window_.Get(at - 32, 32), previous.size());
        found = EntryFollows(at, previous, point.entries, guesses, &index);
      }
      // After a seal the chain's hash stands inside the seal record.
      if (!found && at >= kHeaderSize + kSealSize) {
        const char* seal = window_.Get(at - kSealSize, kSealSize);
        if (seal != nullptr && *seal == kSealTag) {
          std::memcpy(previous.data(), seal + 25, previous.size());
          found = EntryFollows(at, previous, point.entries, guesses, &index);
        }
      }
      if (!found) continue;
      const uint64_t lost = index - point.entries;
      AddDamage({bad, at - bad,
                 "damaged record at byte " + std::to_string(bad) + ": " + std::to_string(lost) +
                     (lost == 1 ? " entry" : " entries") + " lost, the entries after it verify"});
      point.offset = at;
      point.entries = index;
      point.last = previous;
      return true;
    }
    // Nothing after it: either a record cut short at the end, or damage.
    bool torn = false;
    if (IsTag(*tag)) {
      uint64_t needed = *tag == kMarkTag ? kMarkSize : kSealSize;
      bool plausible = true;
      if (*tag == kRecordTag) {
        const char* head = window_.Get(bad, 5);
        const uint64_t length = head == nullptr ? 0 : ReadLittleEndian(head + 1, 4);
        needed = kRecordOverhead + length;
        plausible = length <= kMaxEntrySize;
      }
      torn = plausible && needed > size - bad;
    }
    result_.torn_tail = torn;
    AddDamage({bad, size - bad,
               (torn ? "torn record at byte " : "damaged record at byte ") + std::to_string(bad) +
                   (torn ? "" : ": nothing after it could be read")});
    return false;
  }

  // The record at `bad` is an entry whose tag byte alone was damaged.
  void SkipEntryWithBadTag(ChainPoint& point) {
    const char* head = window_.Get(point.offset, 5);
    const uint64_t length = ReadLittleEndian(head + 1, 4);
    const char* record = window_.Get(point.offset, static_cast<size_t>(length + kRecordOverhead));
    const uint64_t index = point.entries;
    if (index >= hooks_.payloads_from && hooks_.entry) {
      hooks_.entry(index, std::string_view(record + 5, static_cast<size_t>(length)));
    }
    Mac stored{};
    std::memcpy(stored.data(), record + 5 + length, stored.size());
    point.offset += kRecordOverhead + length;
    point.entries = index + 1;
    point.last = stored;
    point.last_entry = stored;
  }

  void AddDamage(Damage damage) {
    if (result_.damage.size() < kMaxDamageListed) {
      result_.damage.push_back(std::move(damage));
    } else if (result_.damage.size() == kMaxDamageListed) {
      result_.damage.push_back({damage.offset, 0, "more damage after byte " + std::to_string(damage.offset)});
    }
  }

  Window window_;
  const ChainMac* mac_;
  std::string_view folded_;
  const ScanHooks& hooks_;
  ScanResult& result_;
  uint64_t hashed_ = 0;
};

}  // namespace

uint64_t FileSource::Size() {
  struct stat status {};
  if (::fstat(fd_, &status) != 0) Fail("cannot read " + path_ + ": " + std::strerror(errno));
  return std::min<uint64_t>(static_cast<uint64_t>(status.st_size), limit_);
}

size_t FileSource::ReadAt(uint64_t at, char* out, size_t size) {
  if (at >= limit_) return 0;
  size = static_cast<size_t>(std::min<uint64_t>(size, limit_ - at));
  for (;;) {
    const ssize_t got = ::pread(fd_, out, size, static_cast<off_t>(at));
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) Fail("cannot read " + path_ + ": " + std::strerror(errno));
  }
}

size_t MemorySource::ReadAt(uint64_t at, char* out, size_t size) {
  if (at >= bytes_.size()) return 0;
  const size_t n = std::min<size_t>(size, bytes_.size() - static_cast<size_t>(at));
  std::memcpy(out, bytes_.data() + at, n);
  return n;
}

ScanResult ScanLog(ByteSource& source, const ChainMac* mac, std::string_view folded_name, const ScanHooks& hooks) {
  ScanResult result;
  Scanner scanner(source, mac, folded_name, hooks, result);
  if (scanner.ReadHeader()) scanner.Run(scanner.StartPoint());
  return result;
}

ScanResult ContinueScan(ByteSource& source, const ChainMac* mac, std::string_view folded_name,
                        const ScanResult& known, const ChainPoint& from, const ScanHooks& hooks) {
  ScanResult result;
  Scanner scanner(source, mac, folded_name, hooks, result);
  if (!known.has_header || scanner.HeaderNonce() != known.nonce || result.size < from.offset) {
    return ScanLog(source, mac, folded_name, hooks);
  }
  const uint64_t size = result.size;
  result = known;
  result.size = size;
  result.captured.clear();
  scanner.Run(from);
  return result;
}

}  // namespace support::securelog
