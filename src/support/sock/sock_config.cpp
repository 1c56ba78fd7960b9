#include "support/sock/sock_config.h"

#include "platform/root/machine_root.h"

namespace support {

SockConfig ReadSockConfig() {
  SockConfig config;
  config.servers = platform::MachineConfigValue("dns.servers");
  config.timeout_ms = static_cast<int>(platform::MachineConfigNumber("dns.timeout", 0));
  config.tries = static_cast<int>(platform::MachineConfigNumber("dns.tries", 0));
  config.lookups = platform::MachineConfigValue("dns.lookups", "fb");
  config.hosts = platform::MachineConfigValue("dns.hosts", "/etc/hosts");
  return config;
}

}  // namespace support
