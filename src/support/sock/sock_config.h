// Where and how the socket component looks names up, from the machine
// configuration (<root>/machine.conf):
//   dns.servers  = 127.0.0.1:5353,10.1.1.1   DNS servers, "host[:port]" joined
//                                            by commas; empty: /etc/resolv.conf
//   dns.timeout  = 2000                      first-try timeout in ms (0: default)
//   dns.tries    = 3                         tries per server (0: default)
//   dns.lookups  = fb                        f hosts file, b DNS, in that order
//   dns.hosts    = /etc/hosts                the hosts file
#pragma once

#include <string>

namespace support {

struct SockConfig {
  std::string servers;
  int timeout_ms = 0;
  int tries = 0;
  std::string lookups = "fb";
  std::string hosts = "/etc/hosts";
};

SockConfig ReadSockConfig();

}  // namespace support
