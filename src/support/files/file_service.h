// The file service: the hook every path passes through before the system
// creates, writes, moves or deletes it. Nothing on this platform needs to
// happen there, so it leaves the path alone.
#pragma once

#include <string>

#include "contracts/file_service.h"

namespace support {

class FileService : public contracts::FileService {
 public:
  void PreparePath(const std::string& path) override;
};

}  // namespace support
