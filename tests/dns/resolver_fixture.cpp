#include "dns/resolver_fixture.h"

#include <sstream>

#include "platform/apartment/apartment.h"
#include "service/log/system_log.h"

namespace dns {

bool DnsResolverTest::PumpUntilHeard(size_t count) {
  return platform::Apartment::Current()->WaitPumping([&] { return heard_.size() >= count; },
                                                     std::chrono::milliseconds(10000));
}

void DnsResolverTest::PumpFor(std::chrono::milliseconds duration) {
  platform::Apartment::Current()->WaitPumping([] { return false; }, duration);
}

std::vector<std::string> DnsResolverTest::LogMessages() const {
  std::vector<std::string> messages;
  std::istringstream in(testing_support::ReadFileBytes(service::SystemLogPath()));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "[yyMMdd HH:mm:ss] [tick] message"
    size_t stamp = line.find("] [");
    size_t tick = stamp == std::string::npos ? std::string::npos : line.find("] ", stamp + 3);
    messages.push_back(tick == std::string::npos ? line : line.substr(tick + 2));
  }
  return messages;
}

std::vector<std::string> DnsResolverTest::LogMessagesStarting(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& m : LogMessages()) {
    if (m.rfind(prefix, 0) == 0) found.push_back(m);
  }
  return found;
}

}  // namespace dns
