#include "store/struct_data.h"

#include <chrono>
#include <random>

#include "contracts/support_objects.h"
#include "systemlog/system_log.h"

namespace store {
namespace {

constexpr int kDecompressAttempts = 15;

}  // namespace

const Bytes& FixedEncryptionKey() {
  static const Bytes key = [] {
    static constexpr char kText[] = "Vx7#qR2!Lm9$Tc4&Hp6*Wd3^Nz8@K";
    static_assert(sizeof kText - 1 == 29);
    return Bytes(kText, kText + 29);
  }();
  return key;
}

Bytes MakeSalt() {
  // Seeded from the timer, as every new entry is: the salt only has to
  // differ between entries, it is stored beside the data.
  std::mt19937 generator(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         std::random_device{}());
  std::uniform_int_distribution<int> byte(0, 254);
  Bytes salt(16);
  for (auto& b : salt) b = static_cast<uint8_t>(byte(generator));
  return salt;
}

void PrepareStructData(Bytes& buffer, bool compress, bool encrypt, const Bytes& salt, bool with_hash, Bytes* hash) {
  auto crypto = contracts::Support().Crypto();
  if (compress) {
    Bytes packed = crypto->Compress(buffer);
    if (!packed.empty()) buffer = std::move(packed);
  }
  if (encrypt) {
    Bytes sealed = crypto->Encrypt(buffer, FixedEncryptionKey(), salt);
    if (!sealed.empty()) buffer = std::move(sealed);
  }
  if (with_hash && hash) *hash = crypto->Md5(buffer);
}

Bytes RestoreStructData(Bytes data, const StructRecord& record) {
  auto crypto = contracts::Support().Crypto();
  if (!record.Hash.empty() && crypto->Md5(data) != record.Hash) {
    service::WriteSystemLog("LoadStruct error: MD5 mismatch");
  }
  if (record.Encrypted) {
    Bytes plain = crypto->Decrypt(data, FixedEncryptionKey(), record.Salt);
    if (!plain.empty()) {
      data = std::move(plain);
      // The cipher pads to whole blocks; uncompressed data know their length.
      if (!record.Compressed && record.SourceLength >= 0 && data.size() > static_cast<size_t>(record.SourceLength)) {
        data.resize(static_cast<size_t>(record.SourceLength));
      }
    }
  }
  if (record.Compressed && record.SourceLength > 0) {
    Bytes input = data;
    for (int attempt = 0; attempt < kDecompressAttempts && !input.empty(); ++attempt) {
      Bytes expanded = crypto->Decompress(input, static_cast<size_t>(record.SourceLength));
      if (!expanded.empty()) return expanded;
      input.pop_back();
    }
  }
  return data;
}

}  // namespace store
