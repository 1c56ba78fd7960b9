#include "support/crypto/crypto_service.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <zstd.h>

#include <limits>
#include <new>

namespace support {
namespace {

constexpr int kCompressionLevel = 3;

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

ByteArray Digest(const EVP_MD* md, std::span<const std::uint8_t> data) {
  ByteArray out(static_cast<std::size_t>(EVP_MD_get_size(md)));
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), out.data(), &length, md, nullptr) != 1) return {};
  out.resize(length);
  return out;
}

std::string Hex(std::span<const std::uint8_t> bytes, const char* digits) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    text.push_back(digits[b >> 4]);
    text.push_back(digits[b & 0x0F]);
  }
  return text;
}

// The 32-byte AES key for the key material; empty when there is none.
ByteArray CipherKey(std::span<const std::uint8_t> key) {
  if (key.empty()) return {};
  if (key.size() == CryptoService::kKeySize) return ByteArray(key.begin(), key.end());
  return Digest(EVP_sha256(), key);
}

// The 16-byte CBC vector; empty when the size is unusable.
ByteArray CipherVector(std::span<const std::uint8_t> vector) {
  if (vector.size() != CryptoService::kBlockSize && vector.size() != CryptoService::kKeySize) return {};
  return ByteArray(vector.begin(), vector.begin() + CryptoService::kBlockSize);
}

// AES-256-CBC without padding over whole blocks.
ByteArray RunCipher(std::span<const std::uint8_t> blocks, std::span<const std::uint8_t> key,
                    std::span<const std::uint8_t> vector, bool encrypt) {
  ByteArray cipher_key = CipherKey(key);
  ByteArray cipher_vector = CipherVector(vector);
  if (cipher_key.size() != CryptoService::kKeySize || cipher_vector.empty()) return {};
  if (blocks.empty() || blocks.size() % CryptoService::kBlockSize != 0) return {};
  if (blocks.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};

  std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> context(EVP_CIPHER_CTX_new());
  if (!context) return {};
  if (EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, cipher_key.data(), cipher_vector.data(),
                        encrypt ? 1 : 0) != 1) {
    return {};
  }
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  ByteArray out(blocks.size() + CryptoService::kBlockSize);
  int written = 0;
  int tail = 0;
  if (EVP_CipherUpdate(context.get(), out.data(), &written, blocks.data(), static_cast<int>(blocks.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), out.data() + written, &tail) != 1) {
    return {};
  }
  out.resize(static_cast<std::size_t>(written + tail));
  return out;
}

}  // namespace

struct CryptoService::Contexts {
  ZSTD_CCtx* compress = nullptr;
  ZSTD_DCtx* decompress = nullptr;
  ~Contexts() {
    ZSTD_freeCCtx(compress);
    ZSTD_freeDCtx(decompress);
  }
};

CryptoService::CryptoService() : contexts_(std::make_unique<Contexts>()) {}
CryptoService::~CryptoService() = default;

ByteArray CryptoService::DeriveKey(std::string_view text) { return Digest(EVP_sha256(), AsBytes(text)); }

ByteArray CryptoService::Encrypt(std::span<const std::uint8_t> data, std::span<const std::uint8_t> key,
                                 std::span<const std::uint8_t> vector) {
  if (data.empty()) return {};
  // NUL padding to a whole block; a whole block gets no extra one.
  ByteArray padded(data.begin(), data.end());
  padded.resize((data.size() + kBlockSize - 1) / kBlockSize * kBlockSize, 0);
  return RunCipher(padded, key, vector, true);
}

ByteArray CryptoService::Decrypt(std::span<const std::uint8_t> data, std::span<const std::uint8_t> key,
                                 std::span<const std::uint8_t> vector) {
  return RunCipher(data, key, vector, false);
}

ByteArray CryptoService::Compress(std::span<const std::uint8_t> data) {
  if (!contexts_->compress && !(contexts_->compress = ZSTD_createCCtx())) return {};
  ByteArray out(ZSTD_compressBound(data.size()));
  std::size_t size =
      ZSTD_compressCCtx(contexts_->compress, out.data(), out.size(), data.data(), data.size(), kCompressionLevel);
  if (ZSTD_isError(size)) return {};
  out.resize(size);
  return out;
}

ByteArray CryptoService::Decompress(std::span<const std::uint8_t> data, std::size_t expected_length) {
  if (data.empty() || expected_length == 0 || expected_length > kMaxExpandedSize) return {};
  // The frames, and NUL bytes after the last one: the block cipher pads
  // compressed data with NULs, and a decrypted buffer still carries them.
  std::size_t frames_end = 0;
  unsigned long long recorded_total = 0;
  bool sizes_known = true;
  while (frames_end < data.size()) {
    std::span<const std::uint8_t> rest = data.subspan(frames_end);
    bool only_padding = true;
    for (std::uint8_t b : rest) {
      if (b != 0) {
        only_padding = false;
        break;
      }
    }
    if (only_padding && frames_end > 0) break;
    std::size_t frame_size = ZSTD_findFrameCompressedSize(rest.data(), rest.size());
    if (ZSTD_isError(frame_size) || frame_size == 0) return {};
    unsigned long long recorded = ZSTD_getFrameContentSize(rest.data(), rest.size());
    if (recorded == ZSTD_CONTENTSIZE_ERROR) return {};
    if (recorded == ZSTD_CONTENTSIZE_UNKNOWN) {
      sizes_known = false;
    } else {
      recorded_total += recorded;
    }
    frames_end += frame_size;
  }
  // Frames record their size: a result of another length fails before
  // anything is allocated for it.
  if (sizes_known && recorded_total != expected_length) return {};
  if (!sizes_known && recorded_total > expected_length) return {};
  if (!contexts_->decompress && !(contexts_->decompress = ZSTD_createDCtx())) return {};
  ByteArray out;
  try {
    // One byte more than expected, so that a longer result shows as such.
    out.resize(expected_length + 1);
  } catch (const std::bad_alloc&) {
    return {};
  }
  std::size_t size =
      ZSTD_decompressDCtx(contexts_->decompress, out.data(), out.size(), data.data(), frames_end);
  if (ZSTD_isError(size) || size != expected_length) return {};
  out.resize(size);
  return out;
}

ByteArray CryptoService::Md5(std::span<const std::uint8_t> data) { return Digest(EVP_md5(), data); }

std::string CryptoService::DigestText(std::string_view text) {
  return Hex(Md5(AsBytes(text)), "0123456789abcdef");
}

std::string CryptoService::BytesToText(std::span<const std::uint8_t> bytes) {
  return Hex(bytes, "0123456789ABCDEF");
}

ByteArray CryptoService::RandomBytes(std::size_t count) {
  if (count == 0 || count > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
  ByteArray out(count);
  if (RAND_bytes(out.data(), static_cast<int>(count)) != 1) return {};
  return out;
}

}  // namespace support
