// The keyed hash that chains the entries of a secure log: HMAC-SHA-256 under
// the machine's secure-log key.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace support::securelog {

using Mac = std::array<uint8_t, 32>;
using MacKey = std::array<uint8_t, 32>;

class ChainMac {
 public:
  explicit ChainMac(const MacKey& key);
  ~ChainMac();
  ChainMac(const ChainMac&) = delete;
  ChainMac& operator=(const ChainMac&) = delete;

  // HMAC over the parts, in order. Raises platform::BasicError when OpenSSL
  // fails.
  Mac Compute(std::initializer_list<std::string_view> parts) const;

  // The hash of entry `index` (from 0) following `previous`.
  Mac Entry(const Mac& previous, uint64_t index, std::string_view payload) const;
  // The same, for a payload handed over in pieces (one too big to hold).
  class EntryHash {
   public:
    EntryHash(const ChainMac& mac, const Mac& previous, uint64_t index);
    ~EntryHash();
    EntryHash(const EntryHash&) = delete;
    EntryHash& operator=(const EntryHash&) = delete;
    void Add(std::string_view piece);
    Mac Finish();

   private:
    void* ctx_;
  };
  // The hash of a mark record (read marks written into the chain) following
  // `previous`. Its index field is all ones, which no entry ever has.
  Mac Mark(const Mac& previous, uint64_t read, uint64_t synced, uint32_t flags) const;
  // The hash the first entry follows: binds the chain to its log name and to
  // the nonce of the log's current generation (a new one after each Clear).
  Mac Start(std::string_view nonce, std::string_view folded_name) const;

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

// `value` as `bytes` bytes, least significant first; and back.
std::string LittleEndian(uint64_t value, int bytes);
uint64_t ReadLittleEndian(const char* bytes, int count);

inline std::string_view AsText(const Mac& mac) {
  return {reinterpret_cast<const char*>(mac.data()), mac.size()};
}

}  // namespace support::securelog
