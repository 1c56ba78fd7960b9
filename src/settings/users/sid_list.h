// A list of user identifiers as the settings keep it: each entry followed by
// "|" ("A|B|"). Entries are compared whole and without regard to letter
// case, so "S-1-22-1-1000" never matches inside "S-1-22-1-10000".
#pragma once

#include <string>
#include <string_view>
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
  const std::vector<std::string>& Entries() const { return entries_; }
  // Every entry followed by "|".
  std::string Text() const;

 private:
  std::vector<std::string> entries_;
};

// Entries that name a real user: neither empty nor the guest profile "*".
bool IsUserEntry(std::string_view entry);

}  // namespace settings
