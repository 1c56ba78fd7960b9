#include "settings/files/snapshot_cipher.h"

#include "contracts/support_objects.h"
#include "platform/basic/string_functions.h"
#include "settings/folders/text_utilities.h"

namespace settings {
namespace {

struct SnapshotKey {
  ByteArray key;
  ByteArray vector;
};

SnapshotKey DeriveSnapshotKey(contracts::ICryptoService& crypto, std::string_view owner) {
  return SnapshotKey{crypto.DeriveKey(platform::UCase(owner) + kSnapshotKeySuffix),
                     crypto.DeriveKey(platform::LCase(owner) + kSnapshotVectorSuffix)};
}

}  // namespace

bool HasMoreThanTwoBytes(std::span<const std::uint8_t> bytes) { return bytes.size() > 2; }

ByteArray EncryptSnapshot(std::string_view owner, std::string_view xml) {
  if (xml.empty()) return {};
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size());
  if (!HasMoreThanTwoBytes(bytes)) return {};
  auto crypto = contracts::Support().Crypto();
  const SnapshotKey key = DeriveSnapshotKey(*crypto, owner);
  return crypto->Encrypt(bytes, key.key, key.vector);
}

std::string DecryptSnapshot(std::string_view owner, std::span<const std::uint8_t> bytes) {
  if (!HasMoreThanTwoBytes(bytes)) return {};
  auto crypto = contracts::Support().Crypto();
  const SnapshotKey key = DeriveSnapshotKey(*crypto, owner);
  const ByteArray plain = crypto->Decrypt(bytes, key.key, key.vector);
  if (!HasMoreThanTwoBytes(plain)) return {};
  return CutAtNul(std::string_view(reinterpret_cast<const char*>(plain.data()), plain.size()));
}

}  // namespace settings
