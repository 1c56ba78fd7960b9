// The version service: the numbers and texts the build system compiled in.
#pragma once

#include <string>

#include "contracts/version_service.h"

namespace support {

class VersionService : public contracts::VersionService {
 public:
  std::string VersionText() override;
  std::string BuildText() override;
  int Major() override;
  int Minor() override;
  int Revision() override;
};

}  // namespace support
