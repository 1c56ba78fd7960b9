#include "support/version/version_service.h"

namespace support {

std::string VersionService::VersionText() { return HEARTH_VERSION_TEXT; }
std::string VersionService::BuildText() { return HEARTH_BUILD_TEXT; }
int VersionService::Major() { return HEARTH_VERSION_MAJOR; }
int VersionService::Minor() { return HEARTH_VERSION_MINOR; }
int VersionService::Revision() { return HEARTH_VERSION_REVISION; }

}  // namespace support
