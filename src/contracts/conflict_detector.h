// The conflict detector of the core support library: which other security
// products on the machine clash with the suite's own features. It takes no
// input and answers three texts, each empty when there is nothing to report.
#pragma once

#include <string>

namespace contracts {

struct ConflictingProducts {
  // Every conflicting product found (no caller relies on it).
  std::string products;
  // The anti-virus product that clashes with the suite's anti-virus.
  std::string anti_virus;
  // The firewall product that clashes with the suite's firewall.
  std::string firewall;
};

class ConflictDetector {
 public:
  virtual ~ConflictDetector() = default;
  virtual ConflictingProducts GetConflictingProducts() = 0;
};

}  // namespace contracts
