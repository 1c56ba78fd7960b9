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
  char number[8];
  for (int i = 0; i < 8; ++i) number[i] = static_cast<char>((index >> (8 * i)) & 0xff);
  return Compute({AsText(previous), std::string_view(number, 8), payload});
}

Mac ChainMac::Start(std::string_view nonce, std::string_view folded_name) const {
  return Compute({"hearth secure log chain", std::string_view("\0", 1), nonce, std::string_view("\0", 1),
                  folded_name});
}

}  // namespace support::securelog
