#include "platform/registry/key_path.h"

#include <array>
#include <vector>

#include "platform/registry/key_name.h"

namespace platform::registry {
namespace {

struct RootName {
  std::string_view long_name;
  std::string_view short_name;
  HKEY root;
};

constexpr std::array<RootName, 4> kRootNames{{
    {"HKEY_CLASSES_ROOT", "HKCR", kHkeyClassesRoot},
    {"HKEY_CURRENT_USER", "HKCU", kHkeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", kHkeyLocalMachine},
    {"HKEY_USERS", "HKU", kHkeyUsers},
}};

bool SameLetters(std::string_view a, std::string_view b) {
  std::string folded_a, folded_b;
  FoldName(a, &folded_a);
  FoldName(b, &folded_b);
  return folded_a == folded_b;
}

}  // namespace

std::optional<RootedKeyPath> ParseRootedKeyPath(std::string_view text) {
  size_t slash = text.find('\\');
  std::string_view root_name = text.substr(0, slash);
  std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
  for (const RootName& name : kRootNames) {
    if (!SameLetters(root_name, name.long_name) && !SameLetters(root_name, name.short_name)) continue;
    std::vector<std::string_view> parts;
    if (!SplitSubKey(rest, &parts)) return std::nullopt;
    if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    return RootedKeyPath{name.root, std::string(rest)};
  }
  return std::nullopt;
}

std::string_view RootKeyName(HKEY root) {
  for (const RootName& name : kRootNames) {
    if (name.root == root) return name.long_name;
  }
  return {};
}

std::string_view ValueTypeName(DWORD type) {
  switch (type) {
    case kRegNone: return "REG_NONE";
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegDwordBigEndian: return "REG_DWORD_BIG_ENDIAN";
    case kRegLink: return "REG_LINK";
    case kRegMultiSz: return "REG_MULTI_SZ";
    case 8: return "REG_RESOURCE_LIST";
    case 9: return "REG_FULL_RESOURCE_DESCRIPTOR";
    case 10: return "REG_RESOURCE_REQUIREMENTS_LIST";
    case kRegQword: return "REG_QWORD";
    default: return {};
  }
}

}  // namespace platform::registry
