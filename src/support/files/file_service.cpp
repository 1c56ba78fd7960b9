#include "support/files/file_service.h"

namespace support {

void FileService::PreparePath(const std::string&) {}

}  // namespace support
