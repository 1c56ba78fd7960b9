// The rights component: grants the local users group access to a file or
// folder with POSIX permissions. The path's group becomes the users group
// (machine configuration "UsersGroup", default "users") and the group gets
// the permission bits the access mask asks for; a folder also gets the
// set-group-ID bit, so what is created inside belongs to the group too.
#pragma once

#include <cstdint>
#include <string>

#include "contracts/rights_component.h"

namespace support {

class RightsComponent : public contracts::RightsComponent {
 public:
  std::string Grant(int32_t trustee, const std::string& path, uint32_t access_mask, int32_t flags) override;
};

}  // namespace support
