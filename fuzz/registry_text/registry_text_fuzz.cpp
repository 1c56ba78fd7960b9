// Outside text as registry key paths ("HKLM\SOFTWARE\x") and as the value
// text of `hearthctl reg set --type`.
//
// The first byte picks the value type the rest is read as; the whole input
// is also read as a key path. What must hold:
//   - a parsed key path names a known root, and its subkey splits and parses
//     again to the same path;
//   - value text that reads shows again as hearthctl prints it, and a number
//     or binary text read, printed and read again gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/key_name.h"
#include "platform/registry/key_path.h"
#include "reg_value_text.h"

namespace {

namespace reg = platform::registry;

constexpr reg::DWORD kTypes[] = {reg::kRegNone,  reg::kRegSz,      reg::kRegExpandSz, reg::kRegBinary,
                                 reg::kRegDword, reg::kRegMultiSz, reg::kRegQword};

void CheckKeyPath(std::string_view text) {
  const auto parsed = reg::ParseRootedKeyPath(text);
  if (!parsed) return;
  const std::string_view root = reg::RootKeyName(parsed->root);
  if (root.empty()) __builtin_trap();
  std::vector<std::string_view> parts;
  if (!reg::SplitSubKey(parsed->sub_key, &parts)) __builtin_trap();
  if (!parsed->sub_key.empty() && parsed->sub_key.back() == '\\') __builtin_trap();
  const std::string again_text = parsed->sub_key.empty() ? std::string(root) : std::string(root) + "\\" + parsed->sub_key;
  const auto again = reg::ParseRootedKeyPath(again_text);
  if (!again || again->root != parsed->root || again->sub_key != parsed->sub_key) __builtin_trap();
}

void CheckValueText(reg::DWORD type, std::string_view text) {
  std::string data, error;
  if (!hearthctl::ParseValueData(type, text, &data, &error)) {
    if (error.empty()) __builtin_trap();
    return;
  }
  const std::string shown = hearthctl::FormatValueData(type, data);
  if ((type == reg::kRegSz || type == reg::kRegExpandSz) && text.find('\0') == std::string_view::npos &&
      shown != hearthctl::EscapeText(text)) {
    __builtin_trap();
  }
  if (type == reg::kRegDword || type == reg::kRegQword || type == reg::kRegBinary || type == reg::kRegNone) {
    std::string again, again_error;
    if (!hearthctl::ParseValueData(type, shown, &again, &again_error) || again != data) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  CheckKeyPath(input);
  if (size == 0) return 0;
  const reg::DWORD type = kTypes[bytes[0] % std::size(kTypes)];
  const std::string_view text = input.substr(1);
  CheckValueText(type, text);
  reg::DWORD named = 0;
  if (hearthctl::ParseValueType(text, &named) && reg::ValueTypeName(named).empty()) __builtin_trap();
  (void)hearthctl::FormatValueData(type, text);
  return 0;
}
