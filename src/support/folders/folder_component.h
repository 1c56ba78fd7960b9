// The folder component: the suite's common files folder, <root>/commonfiles.
// The machine configuration value "CommonFilesFolder" moves it (a relative
// path is taken below the root); set to nothing ("CommonFilesFolder =") the
// component answers empty text, as the real component may, and callers fall
// back to their default folder.
#pragma once

#include <string>

#include "contracts/folder_component.h"

namespace support {

class FolderComponent : public contracts::FolderComponent {
 public:
  std::string CommonFilesFolder() override;
};

}  // namespace support
