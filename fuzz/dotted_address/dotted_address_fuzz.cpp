// Outside text as a dotted IPv4 address (TextToAddress); the hosts file has
// a target of its own (fuzz_hosts_file).
//
// What must hold: TextToAddress takes exactly the texts that the strict
// reading (inet_pton: four decimal parts, no leading zeros) takes, to the
// same number, and AddressToText gives that text back.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/sock/dotted_address.h"

namespace {

void CheckAddress(std::string_view text) {
  const int32_t address = support::TextToAddress(text);
  const std::string copy(text);
  in_addr strict{};
  const bool valid = copy.find('\0') == std::string::npos && inet_pton(AF_INET, copy.c_str(), &strict) == 1;
  if (!valid) {
    if (address != support::kInvalidAddress) __builtin_trap();
    return;
  }
  if (address != static_cast<int32_t>(ntohl(strict.s_addr))) __builtin_trap();
  if (support::AddressToText(address) != text) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckAddress(text);
  return 0;
}
