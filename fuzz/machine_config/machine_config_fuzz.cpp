// Outside bytes as <root>/machine.conf, read through MachineConfigValue and
// MachineConfigNumber.
//
// Each input is written below one of two roots in turn, so the reader's
// cache (kept per path) always reads the new file. The values must be what a
// plain reading of the lines gives: "name = value", '#' starting a comment,
// blanks trimmed, the first line of a name (in any letter case) winning.
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/private_root.h"
#include "platform/root/machine_root.h"

namespace {

std::string Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return std::string(text);
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The lines as the file format reads them, in file order.
std::vector<std::pair<std::string, std::string>> Expected(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> values;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    values.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path base = fuzz_support::UsePrivateRoot("machine-config");
  static int runs = 0;
  const std::filesystem::path root = base / (++runs % 2 ? "a" : "b");
  std::filesystem::create_directories(root);
  platform::SetMachineRoot(root);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream file(root / "machine.conf", std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
  }

  constexpr std::string_view kFallback = "\x01missing";
  const auto expected = Expected(text);
  for (size_t i = 0; i < expected.size() && i < 16; ++i) {
    const std::string& name = expected[i].first;
    std::string first;
    for (const auto& [key, value] : expected) {
      if (Lower(key) == Lower(name)) {
        first = value;
        break;
      }
    }
    if (platform::MachineConfigValue(name, kFallback) != first) __builtin_trap();
    if (platform::MachineConfigValue(Lower(name), kFallback) != first) __builtin_trap();
    // A number comes back exactly for text that reads whole as one in range.
    char* end = nullptr;
    errno = 0;
    const long parsed = first.empty() ? 0 : std::strtol(first.c_str(), &end, 0);
    const bool is_number = !first.empty() && *end == '\0' && errno == 0;
    const long number = platform::MachineConfigNumber(name, -7);
    if (is_number ? number != parsed : number != -7) __builtin_trap();
  }
  if (expected.empty() && platform::MachineConfigValue("Brand", kFallback) != kFallback) __builtin_trap();
  return 0;
}
