// The version service of the core support library: the product's version
// and build texts and the system's own version numbers.
#pragma once

#include <cstdio>
#include <string>

namespace contracts {

class VersionService {
 public:
  virtual ~VersionService() = default;

  virtual std::string VersionText() = 0;  // product version, e.g. "2.1.7"
  virtual std::string BuildText() = 0;    // build, e.g. "0001"
  virtual int Major() = 0;
  virtual int Minor() = 0;
  virtual int Revision() = 0;

  // The numbers as the log-created line shows them: "2.01.007".
  std::string NumbersText() { return FormatNumbers(Major(), Minor(), Revision()); }

  static std::string FormatNumbers(int major, int minor, int revision) {
    char text[48];
    std::snprintf(text, sizeof text, "%d.%02d.%03d", major, minor, revision);
    return text;
  }
};

}  // namespace contracts
