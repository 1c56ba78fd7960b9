// The crypto service of the core support library, on OpenSSL and zstd:
//   DeriveKey     SHA-256 of the text's bytes (32 bytes)
//   Encrypt       AES-256-CBC, NUL padding to a whole 16-byte block
//   Decrypt       its inverse (the NUL padding stays on the result)
//   Compress      a zstd frame; Decompress checks the expected length and
//                 ignores NUL bytes after the last frame (cipher padding)
//   Md5           the 16-byte MD5 digest
//   DigestText    lower-case hex of the MD5 of the text's bytes (32 characters)
//   BytesToText   upper-case hex, two characters a byte
//   RandomBytes   the system's generator (RAND_bytes)
//
// Key: 32 bytes are used as they stand; key material of any other length
// (the store files' fixed 29-byte key) is first run through SHA-256.
// Vector: 16 bytes are the CBC vector; 32 bytes (a DeriveKey result, as the
// settings files derive their vector) give their first 16. Other sizes fail.
//
// One object per thread: ThreadCryptoService() creates the calling thread's
// object on first use. The object keeps its zstd contexts, so it must not be
// shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "contracts/crypto_service.h"

namespace support {

using contracts::ByteArray;

class CryptoService final : public contracts::ICryptoService {
 public:
  static constexpr std::size_t kKeySize = 32;
  static constexpr std::size_t kBlockSize = 16;
  static constexpr std::size_t kDigestSize = 16;

  CryptoService();
  ~CryptoService() override;
  CryptoService(const CryptoService&) = delete;
  CryptoService& operator=(const CryptoService&) = delete;

  ByteArray DeriveKey(std::string_view text) override;
  ByteArray Encrypt(std::span<const std::uint8_t> data, std::span<const std::uint8_t> key,
                    std::span<const std::uint8_t> vector) override;
  ByteArray Decrypt(std::span<const std::uint8_t> data, std::span<const std::uint8_t> key,
                    std::span<const std::uint8_t> vector) override;
  ByteArray Compress(std::span<const std::uint8_t> data) override;
  ByteArray Decompress(std::span<const std::uint8_t> data, std::size_t expected_length) override;
  ByteArray Md5(std::span<const std::uint8_t> data) override;
  std::string DigestText(std::string_view text) override;
  std::string BytesToText(std::span<const std::uint8_t> bytes) override;
  ByteArray RandomBytes(std::size_t count) override;

  // The largest expected length Decompress accepts (a guard against lengths
  // read from damaged files).
  static constexpr std::size_t kMaxExpandedSize = std::size_t{1} << 30;

 private:
  struct Contexts;
  std::unique_ptr<Contexts> contexts_;
};

// The calling thread's crypto service, created on first use.
std::shared_ptr<contracts::ICryptoService> ThreadCryptoService();
// Replaces the calling thread's crypto service (a test's fake); null puts
// back a real one on the next ThreadCryptoService().
void SetThreadCryptoService(std::shared_ptr<contracts::ICryptoService> service);

// Views of text as bytes and back (the system's text is its bytes).
inline std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}
inline std::string AsText(std::span<const std::uint8_t> bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace support
