// Outside text on the DNS side: dotted IPv4 addresses (TextToAddress) and
// the hosts file's lines (HostsFile::Parse and its lookups).
//
// What must hold for addresses: TextToAddress takes exactly the texts that
// the strict reading (inet_pton: four decimal parts, no leading zeros) takes,
// to the same number, and AddressToText gives that text back. For a hosts
// text: every name listed answers forward, with an address of a line that
// lists it, and every address answers in reverse.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/sock/dotted_address.h"
#include "support/sock/hosts_file.h"

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

void CheckHosts(std::string_view text) {
  support::HostsFile hosts("/nonexistent");
  hosts.Parse(text);
  // Walk the text again for names and addresses to look up.
  size_t start = 0;
  for (int lines = 0; start < text.size() && lines < 32; ++lines) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    line = line.substr(0, line.find('#'));
    const size_t blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) continue;
    const std::string first(line.substr(0, blank));
    in_addr addr{};
    if (inet_pton(AF_INET, first.c_str(), &addr) != 1) continue;
    const int32_t address = static_cast<int32_t>(ntohl(addr.s_addr));
    const size_t name_start = line.find_first_not_of(" \t\r\v\f", blank);
    if (name_start == std::string_view::npos) continue;
    const size_t name_end = line.find_first_of(" \t\r\v\f", name_start);
    const std::string_view name = line.substr(name_start, name_end - name_start);
    const auto reverse = hosts.Reverse(address);
    if (!reverse || !reverse->ok || reverse->name.empty()) __builtin_trap();
    const auto forward = hosts.Forward(name);
    if (!forward || !forward->ok || forward->addresses.empty()) __builtin_trap();
  }
  (void)hosts.Forward(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckAddress(text);
  CheckHosts(text);
  return 0;
}
