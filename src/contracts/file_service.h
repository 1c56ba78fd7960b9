// The file service of the core support library: every path the system is
// about to create, write, move or delete is handed to it first. Callers use
// no result; the service may do nothing with the path.
#pragma once

#include <string>

namespace contracts {

class FileService {
 public:
  virtual ~FileService() = default;
  virtual void PreparePath(const std::string& path) = 0;
};

}  // namespace contracts
