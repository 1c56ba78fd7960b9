// The conflict detector: the products the machine configuration names as
// clashing with the suite's features.
//
//   conflict.antivirus = Other Anti-Virus 9     (the anti-virus text)
//   conflict.firewall  = Other Firewall         (the firewall text)
//   conflict.products  = ...                    (the first text; when absent,
//                                                the two names above, joined)
//
// Without these values the detector finds nothing, which leaves every
// feature alone. The values are read on every request, so a change to the
// machine configuration counts at once.
#pragma once

#include "contracts/conflict_detector.h"

namespace support {

// Names of the machine configuration values.
inline constexpr char kConflictAntiVirusName[] = "conflict.antivirus";
inline constexpr char kConflictFirewallName[] = "conflict.firewall";
inline constexpr char kConflictProductsName[] = "conflict.products";

class ConflictDetector : public contracts::ConflictDetector {
 public:
  contracts::ConflictingProducts GetConflictingProducts() override;
};

}  // namespace support
