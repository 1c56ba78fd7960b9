#include "support/securelog/log_format.h"

#include <openssl/rand.h>

#include <cstring>
#include <utility>

#include "platform/basic/err.h"

namespace support::securelog {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

bool KeptInStem(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint64_t> WholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

std::string FoldedLogName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string LogFileStem(std::string_view name) {
  std::string stem;
  for (unsigned char c : FoldedLogName(name)) {
    if (KeptInStem(c)) {
      stem += static_cast<char>(c);
    } else {
      stem += '%';
      stem += kHexDigits[c >> 4];
      stem += kHexDigits[c & 15];
    }
  }
  return stem;
}

std::optional<std::string> LogNameOfStem(std::string_view stem) {
  std::string name;
  for (size_t i = 0; i < stem.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(stem[i]);
    if (c == '%') {
      if (i + 2 >= stem.size()) return std::nullopt;
      int high = HexValue(stem[i + 1]), low = HexValue(stem[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      name += static_cast<char>(high * 16 + low);
      i += 2;
    } else if (KeptInStem(c)) {
      name += static_cast<char>(c);
    } else {
      return std::nullopt;
    }
  }
  if (name.empty()) return std::nullopt;
  return name;
}

std::string HexText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    text += kHexDigits[c >> 4];
    text += kHexDigits[c & 15];
  }
  return text;
}

std::optional<std::string> HexBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

std::string NewNonce() {
  unsigned char random[kNonceLength / 2];
  if (RAND_bytes(random, sizeof random) != 1) {
    platform::RaiseError(platform::kErrDeviceIo, "secure log: no random bytes", "SecureLog");
  }
  return HexText(std::string_view(reinterpret_cast<const char*>(random), sizeof random));
}

std::string EncodeHeader(std::string_view nonce) {
  std::string header(kHeaderMagic);
  header += nonce;
  header += '\n';
  return header;
}

std::string EncodeRecord(std::string_view payload, const Mac& mac) {
  std::string record;
  record.reserve(kRecordOverhead + payload.size());
  record += kRecordTag;
  record += LittleEndian(payload.size(), 4);
  record += payload;
  record += AsText(mac);
  return record;
}

std::string EncodeMark(uint64_t read, uint64_t synced, uint32_t flags, const Mac& mac) {
  std::string record(1, kMarkTag);
  record += LittleEndian(read, 8);
  record += LittleEndian(synced, 8);
  record += LittleEndian(flags, 4);
  record += AsText(mac);
  return record;
}

std::string EncodeSeal(const SealRecord& seal) {
  std::string record(1, kSealTag);
  record += LittleEndian(seal.epoch, 8);
  record += LittleEndian(seal.next_epoch, 8);
  record += LittleEndian(seal.entries, 8);
  record += AsText(seal.chain);
  record += AsText(seal.mac);
  return record;
}

SealRecord DecodeSeal(std::string_view record) {
  SealRecord seal;
  seal.epoch = ReadLittleEndian(record.data() + 1, 8);
  seal.next_epoch = ReadLittleEndian(record.data() + 9, 8);
  seal.entries = ReadLittleEndian(record.data() + 17, 8);
  std::memcpy(seal.chain.data(), record.data() + 25, 32);
  std::memcpy(seal.mac.data(), record.data() + 57, 32);
  return seal;
}

std::string MarkFlagsText(uint32_t flags) {
  static constexpr std::pair<uint32_t, const char*> kWords[] = {
      {kMarkStateMissing, "the state file was missing"},
      {kMarkStateUnverified, "the state file did not verify"},
      {kMarkStateRolledBack, "the state file was older than the log"},
      {kMarkStateOtherGeneration, "the state file belonged to another generation"},
      {kMarkSalvaged, "the entries were carried over from a damaged file"},
      {kMarkRestored, "a mark lost in a crash was written again"},
  };
  std::string text;
  for (const auto& [flag, words] : kWords) {
    if ((flags & flag) == 0) continue;
    if (!text.empty()) text += "; ";
    text += words;
  }
  return text;
}

std::string EncodeState(const ChainMac& mac, const LogState& state) {
  std::string text = "nonce " + state.nonce + "\nread " + std::to_string(state.read) + "\nsynced " +
                     std::to_string(state.synced) + "\nlast " + HexText(AsText(state.last)) + "\nmarks " +
                     std::to_string(state.marks) + "\nprevious " + (state.previous.empty() ? "-" : state.previous) +
                     "\n";
  return text + "mac " + HexText(AsText(mac.Compute({"hearth secure log state", text}))) + "\n";
}

std::optional<LogState> DecodeState(const ChainMac& mac, std::string_view text) {
  const size_t mac_at = text.rfind("mac ");
  if (mac_at == std::string_view::npos || text.empty() || text.back() != '\n') return std::nullopt;
  std::string_view body = text.substr(0, mac_at);
  std::optional<std::string> stored = HexBytes(text.substr(mac_at + 4, text.size() - mac_at - 5));
  if (!stored || *stored != AsText(mac.Compute({"hearth secure log state", body}))) return std::nullopt;

  LogState state;
  size_t at = 0;
  int seen = 0;
  while (at < body.size()) {
    size_t end = body.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = body.substr(at, end - at);
    at = end + 1;
    size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    std::string_view key = line.substr(0, blank), value = line.substr(blank + 1);
    if (key == "nonce") {
      state.nonce = std::string(value);
    } else if (key == "read" || key == "synced" || key == "marks") {
      std::optional<uint64_t> number = WholeNumber(value);
      if (!number) return std::nullopt;
      (key == "read" ? state.read : key == "synced" ? state.synced : state.marks) = *number;
    } else if (key == "previous") {
      state.previous = value == "-" ? std::string() : std::string(value);
    } else if (key == "last") {
      std::optional<std::string> bytes = HexBytes(value);
      if (!bytes || bytes->size() != state.last.size()) return std::nullopt;
      std::memcpy(state.last.data(), bytes->data(), state.last.size());
    } else {
      return std::nullopt;
    }
    ++seen;
  }
  // Four lines from before mark records, six since.
  if (seen != 4 && seen != 6) return std::nullopt;
  return state;
}

}  // namespace support::securelog
