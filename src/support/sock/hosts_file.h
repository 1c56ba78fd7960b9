// The hosts file, read once and again only when it changes, so that a burst
// of lookups does not read it once per name.
//
// Lines are "address name [aliases...]", '#' starting a comment; IPv6 lines
// are skipped. A name (or alias, compared without regard to case) answers
// with the official name of its first line and the addresses of every line
// that lists it, in file order; an address answers with the official name of
// the first line that has it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/sock/lookup_result.h"

namespace support {

class HostsFile {
 public:
  explicit HostsFile(std::string path) : path_(std::move(path)) {}

  // Reads the file again when it changed since the last look (or was never
  // read). A missing or unreadable file has no entries.
  void Refresh();

  std::optional<LookupResult> Forward(std::string_view name) const;
  std::optional<LookupResult> Reverse(int32_t address) const;

  // The entries of a hosts file's text.
  void Parse(std::string_view text);

 private:
  struct Line {
    int32_t address;
    std::vector<std::string> names;  // official name first
  };

  std::string path_;
  bool read_ = false;
  ino_t inode_ = 0;
  off_t size_ = 0;
  timespec modified_{};
  std::vector<Line> lines_;
};

}  // namespace support
