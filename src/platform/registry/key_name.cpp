#include "platform/registry/key_name.h"

#include "platform/registry/registry_types.h"

namespace platform::registry {

void FoldName(std::string_view name, std::string* folded) {
  folded->resize(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    (*folded)[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
}

bool SplitSubKey(std::string_view path, std::vector<std::string_view>* parts) {
  parts->clear();
  if (path.empty()) return true;
  if (path.front() == '\\') return false;
  if (path.back() == '\\') path.remove_suffix(1);
  size_t begin = 0;
  while (true) {
    size_t end = path.find('\\', begin);
    std::string_view part = path.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
    if (part.empty() || part.size() > kMaxKeyNameLength) return false;
    parts->push_back(part);
    if (end == std::string_view::npos) return true;
    begin = end + 1;
  }
}

}  // namespace platform::registry
