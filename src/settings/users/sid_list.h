// A list of user identifiers as the settings keep it: each entry followed by
// "|" ("A|B|"). Entries are compared whole and without regard to letter
// case, so "S-1-22-1-1000" never matches inside "S-1-22-1-10000".
//
// A user sync asks Contains and RemoveAll once per account: both look the
// identifier up in an index, so a sync of n accounts costs O(n), not O(n^2).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace settings {

class SidList {
 public:
  SidList() = default;
  // Takes the text as stored; a last entry without its "|" counts too.
  explicit SidList(std::string_view text);

  bool Contains(std::string_view sid) const;
  // Adds sid + "|" at the end.
  void Append(std::string_view sid);
  // Removes every entry equal to sid.
  void RemoveAll(std::string_view sid);

  // The entries in order, empty ones included.
  const std::vector<std::string>& Entries() const;
  // Every entry followed by "|".
  std::string Text() const;

 private:
  // Drops the entries RemoveAll marked (the order of the rest kept).
  void Compact() const;

  // Compact runs on the first read after a removal, so reads change them.
  mutable std::vector<std::string> entries_;
  mutable std::vector<bool> removed_;  // one per entry; set by RemoveAll
  mutable bool any_removed_ = false;
  // Positions of the entries still in the list, by identifier in lower case.
  mutable std::unordered_map<std::string, std::vector<size_t>> index_;
};

// Entries that name a real user: neither empty nor the guest profile "*".
bool IsUserEntry(std::string_view entry);

}  // namespace settings
