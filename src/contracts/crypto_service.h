// What the system expects of the crypto service of the core support library:
// key derivation, encryption, compression, digests and random bytes. The
// host wires the real service (support::CryptoService); tests may hand in a
// fake. Every operation answers an empty result on failure and never throws
// (except std::bad_alloc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace contracts {

using ByteArray = std::vector<std::uint8_t>;

class ICryptoService {
 public:
  virtual ~ICryptoService() = default;

  // A 32-byte key (or vector) derived from the bytes of the text.
  virtual ByteArray DeriveKey(std::string_view text) = 0;

  // Block encryption of data with the key and the vector (or salt).
  // The result's length is the data length rounded up to a whole block; the
  // padding is NUL bytes. Empty data, an empty key or an unusable vector
  // give an empty result.
  virtual ByteArray Encrypt(std::span<const std::uint8_t> data, std::span<const std::uint8_t> key,
                            std::span<const std::uint8_t> vector) = 0;
  // The inverse of Encrypt for the same key and vector; the result keeps the
  // NUL padding. Data that is not a whole number of blocks, an empty key or
  // an unusable vector give an empty result.
  virtual ByteArray Decrypt(std::span<const std::uint8_t> data, std::span<const std::uint8_t> key,
                            std::span<const std::uint8_t> vector) = 0;

  virtual ByteArray Compress(std::span<const std::uint8_t> data) = 0;
  // The inverse of Compress; an empty result on any failure, including a
  // result that is not exactly expected_length bytes long.
  virtual ByteArray Decompress(std::span<const std::uint8_t> data, std::size_t expected_length) = 0;

  // The 16-byte MD5 digest.
  virtual ByteArray Md5(std::span<const std::uint8_t> data) = 0;
  // A stable digest text of the text's bytes, usable as a file name.
  virtual std::string DigestText(std::string_view text) = 0;
  // The bytes as text usable in a file name.
  virtual std::string BytesToText(std::span<const std::uint8_t> bytes) = 0;

  // count bytes from the system's random generator; empty on failure.
  virtual ByteArray RandomBytes(std::size_t count) = 0;
};

}  // namespace contracts
