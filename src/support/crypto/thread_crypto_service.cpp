#include "support/crypto/crypto_service.h"

namespace support {
namespace {

// Each thread keeps its own service object, as the core support library's
// objects are bound to the thread that created them.
thread_local std::shared_ptr<contracts::ICryptoService> thread_service;

}  // namespace

std::shared_ptr<contracts::ICryptoService> ThreadCryptoService() {
  if (!thread_service) thread_service = std::make_shared<CryptoService>();
  return thread_service;
}

void SetThreadCryptoService(std::shared_ptr<contracts::ICryptoService> service) {
  thread_service = std::move(service);
}

}  // namespace support
