#include "support/securelog/chain_mac.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "platform/basic/err.h"

namespace support::securelog {
namespace {

[[noreturn]] void Fail(const char* what) {
  platform::RaiseError(platform::kErrDeviceIo, std::string("secure log: ") + what, "SecureLog");
}

}  // namespace

std::string LittleEndian(uint64_t value, int bytes) {
  std::string out(static_cast<size_t>(bytes), '\0');
  for (int i = 0; i < bytes; ++i) out[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
  return out;
}

uint64_t ReadLittleEndian(const char* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

// A context keyed once; each computation works on a copy of it, which saves
// the key schedule per entry.
struct ChainMac::Context {
  EVP_MAC* mac = nullptr;
  EVP_MAC_CTX* keyed = nullptr;
  ~Context() {
    EVP_MAC_CTX_free(keyed);
    EVP_MAC_free(mac);
  }
};

ChainMac::ChainMac(const MacKey& key) : context_(std::make_unique<Context>()) {
  context_->mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  if (context_->mac == nullptr) Fail("HMAC is not available");
  context_->keyed = EVP_MAC_CTX_new(context_->mac);
  if (context_->keyed == nullptr) Fail("out of memory");
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_construct_end()};
  if (EVP_MAC_init(context_->keyed, key.data(), key.size(), params) != 1) Fail("the key was refused");
}

ChainMac::~ChainMac() = default;

Mac ChainMac::Compute(std::initializer_list<std::string_view> parts) const {
  EVP_MAC_CTX* ctx = EVP_MAC_CTX_dup(context_->keyed);
  if (ctx == nullptr) Fail("out of memory");
  bool ok = true;
  for (std::string_view part : parts) {
    if (EVP_MAC_update(ctx, reinterpret_cast<const unsigned char*>(part.data()), part.size()) != 1) ok = false;
  }
  Mac out{};
  size_t length = 0;
  if (ok && EVP_MAC_final(ctx, out.data(), &length, out.size()) != 1) ok = false;
  EVP_MAC_CTX_free(ctx);
  if (!ok || length != out.size()) Fail("the keyed hash failed");
  return out;
}

Mac ChainMac::Entry(const Mac& previous, uint64_t index, std::string_view payload) const {
  const std::string number = LittleEndian(index, 8);
  return Compute({AsText(previous), number, payload});
}

ChainMac::EntryHash::EntryHash(const ChainMac& mac, const Mac& previous, uint64_t index)
    : ctx_(EVP_MAC_CTX_dup(mac.context_->keyed)) {
  if (ctx_ == nullptr) Fail("out of memory");
  Add(AsText(previous));
  Add(LittleEndian(index, 8));
}

ChainMac::EntryHash::~EntryHash() { EVP_MAC_CTX_free(static_cast<EVP_MAC_CTX*>(ctx_)); }

void ChainMac::EntryHash::Add(std::string_view piece) {
  if (EVP_MAC_update(static_cast<EVP_MAC_CTX*>(ctx_), reinterpret_cast<const unsigned char*>(piece.data()),
                     piece.size()) != 1) {
    Fail("the keyed hash failed");
  }
}

Mac ChainMac::EntryHash::Finish() {
  Mac out{};
  size_t length = 0;
  if (EVP_MAC_final(static_cast<EVP_MAC_CTX*>(ctx_), out.data(), &length, out.size()) != 1 || length != out.size()) {
    Fail("the keyed hash failed");
  }
  return out;
}

Mac ChainMac::Mark(const Mac& previous, uint64_t read, uint64_t synced, uint32_t flags) const {
  return Compute({AsText(previous), std::string(8, '\xff'), "mark", LittleEndian(read, 8), LittleEndian(synced, 8),
                  LittleEndian(flags, 4)});
}

Mac ChainMac::Start(std::string_view nonce, std::string_view folded_name) const {
  return Compute({"hearth secure log chain", std::string_view("\0", 1), nonce, std::string_view("\0", 1),
                  folded_name});
}

}  // namespace support::securelog
