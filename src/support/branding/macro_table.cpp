#include "support/branding/macro_table.h"

#include <algorithm>

namespace support {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

void MacroTable::Set(std::string_view name, std::string value) {
  if (name.empty()) return;
  for (Macro& macro : macros_) {
    if (SameText(macro.name, name)) {
      macro.value = std::move(value);
      return;
    }
  }
  auto place =
      std::find_if(macros_.begin(), macros_.end(), [&](const Macro& macro) { return macro.name.size() < name.size(); });
  macros_.insert(place, Macro{std::string(name), std::move(value)});
}

const std::string* MacroTable::Find(std::string_view name) const {
  for (const Macro& macro : macros_) {
    if (SameText(macro.name, name)) return &macro.value;
  }
  return nullptr;
}

std::string MacroTable::Expand(std::string_view text) const {
  // Only a place where some macro's first character stands can start a match.
  std::string starts;
  for (const Macro& macro : macros_) {
    const char first = Lower(macro.name[0]);
    if (starts.find(first) == std::string::npos) starts += first;
  }
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const Macro* hit = nullptr;
    if (starts.find(Lower(text[i])) != std::string::npos) {
      for (const Macro& macro : macros_) {
        if (SameText(text.substr(i, macro.name.size()), macro.name)) {
          hit = &macro;
          break;
        }
      }
    }
    if (hit != nullptr) {
      out += hit->value;
      i += hit->name.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace support
