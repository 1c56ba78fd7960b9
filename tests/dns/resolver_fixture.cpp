#include "dns/resolver_fixture.h"

#include "platform/apartment/apartment.h"
#include "systemlog/system_log.h"
#include "testing/log_messages.h"

namespace dns {

bool DnsResolverTest::PumpUntilHeard(size_t count) {
  return platform::Apartment::Current()->WaitPumping([&] { return heard_.size() >= count; },
                                                     std::chrono::milliseconds(10000));
}

void DnsResolverTest::PumpFor(std::chrono::milliseconds duration) {
  platform::Apartment::Current()->WaitPumping([] { return false; }, duration);
}

std::vector<std::string> DnsResolverTest::LogMessages() const {
  return testing_support::LogFileMessages(service::SystemLogPath());
}

std::vector<std::string> DnsResolverTest::LogMessagesStarting(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& m : LogMessages()) {
    if (m.rfind(prefix, 0) == 0) found.push_back(m);
  }
  return found;
}

}  // namespace dns
