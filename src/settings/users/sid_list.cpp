#include "settings/users/sid_list.h"

#include <cctype>

namespace settings {
namespace {

// Identifiers compare as the C locale folds them: A-Z to a-z, nothing else.
std::string Folded(std::string_view sid) {
  std::string folded(sid);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

SidList::SidList(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t bar = text.find('|', start);
    if (bar == std::string_view::npos) bar = text.size();
    Append(text.substr(start, bar - start));
    start = bar + 1;
  }
}

bool SidList::Contains(std::string_view sid) const { return index_.count(Folded(sid)) != 0; }

void SidList::Append(std::string_view sid) {
  index_[Folded(sid)].push_back(entries_.size());
  entries_.emplace_back(sid);
  removed_.push_back(false);
}

void SidList::RemoveAll(std::string_view sid) {
  auto found = index_.find(Folded(sid));
  if (found == index_.end()) return;
  for (size_t position : found->second) removed_[position] = true;
  index_.erase(found);
  any_removed_ = true;
}

void SidList::Compact() const {
  if (!any_removed_) return;
  // Positions move: the index is rebuilt with them.
  index_.clear();
  size_t kept = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (removed_[i]) continue;
    if (kept != i) entries_[kept] = std::move(entries_[i]);
    index_[Folded(entries_[kept])].push_back(kept);
    ++kept;
  }
  entries_.resize(kept);
  removed_.assign(kept, false);
  any_removed_ = false;
}

const std::vector<std::string>& SidList::Entries() const {
  Compact();
  return entries_;
}

std::string SidList::Text() const {
  Compact();
  std::string text;
  for (const std::string& entry : entries_) {
    text += entry;
    text += '|';
  }
  return text;
}

bool IsUserEntry(std::string_view entry) { return !entry.empty() && entry != "*"; }

}  // namespace settings
