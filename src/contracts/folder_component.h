// The folder component: where the suite's common files live. An empty
// answer is allowed; callers then use their own default folder.
#pragma once

#include <string>

namespace contracts {

class FolderComponent {
 public:
  virtual ~FolderComponent() = default;
  virtual std::string CommonFilesFolder() = 0;
};

}  // namespace contracts
