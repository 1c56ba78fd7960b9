// A set of text macros ("%%PRODUCTNAMESHORT" -> "Veltris") and their
// expansion. Names match without regard to ASCII letter case; where two names
// could match at one place the longer wins. Expansion is one pass from left
// to right: a replacement is never scanned again, so a value holding "%" (or
// a macro name) comes out as it stands and expansion always ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace support {

class MacroTable {
 public:
  // Adds a macro, or replaces the value of one with the same name. An empty
  // name is ignored.
  void Set(std::string_view name, std::string value);
  // The value, or nullptr when there is no such macro.
  const std::string* Find(std::string_view name) const;

  std::string Expand(std::string_view text) const;

 private:
  struct Macro {
    std::string name;
    std::string value;
  };
  std::vector<Macro> macros_;  // longest name first
};

}  // namespace support
