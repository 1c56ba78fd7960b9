#include "settings/users/sid_list.h"

#include <algorithm>
#include <cctype>

namespace settings {
namespace {

bool SameSid(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

SidList::SidList(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t bar = text.find('|', start);
    if (bar == std::string_view::npos) bar = text.size();
    entries_.emplace_back(text.substr(start, bar - start));
    start = bar + 1;
  }
}

bool SidList::Contains(std::string_view sid) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const std::string& entry) { return SameSid(entry, sid); });
}

void SidList::Append(std::string_view sid) { entries_.emplace_back(sid); }

void SidList::RemoveAll(std::string_view sid) {
  std::erase_if(entries_, [&](const std::string& entry) { return SameSid(entry, sid); });
}

std::string SidList::Text() const {
  std::string text;
  for (const std::string& entry : entries_) {
    text += entry;
    text += '|';
  }
  return text;
}

bool IsUserEntry(std::string_view entry) { return !entry.empty() && entry != "*"; }

}  // namespace settings
