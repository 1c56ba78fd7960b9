#include "support/environment/guid_text.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/basic/err.h"

namespace support {

std::string NewGuidText() {
  uint8_t bytes[16];
  size_t filled = 0;
  while (filled < sizeof bytes) {
    ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      platform::RaiseError(platform::kErrDeviceIo, std::string("Random generator unavailable: ") + std::strerror(errno),
                           "NewGuidText");
    }
    filled += static_cast<size_t>(got);
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[39];
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

}  // namespace support
