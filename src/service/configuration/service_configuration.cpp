#include "service/configuration/service_configuration.h"

#include <unistd.h>

#include "contracts/product_key.h"
#include "contracts/support_objects.h"
#include "platform/host/kernel_version.h"

namespace service {

bool ServiceConfiguration::AutoStart() { return true; }

int32_t ServiceConfiguration::ControlsAccepted() {
  int32_t accepted = kAcceptShutdown;
  try {
    auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (registry->OpenKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey, contracts::kRegistryRead) &&
        registry->ReadString("TraceLevel") == "4") {
      accepted = kAcceptShutdown | kAcceptStop;
    }
  } catch (...) {
    // Any failure leaves the answer at shutdown only.
  }
  return accepted;
}

void ServiceConfiguration::DefaultTimes(int32_t&, int32_t&, int32_t&, int32_t&) {}

std::string ServiceConfiguration::GetDescription() { return kServiceDescription; }

void ServiceConfiguration::GetVersion(int32_t& major, int32_t& minor) {
  const platform::host::KernelVersion version = platform::host::RunningKernelVersion();
  major = version.major;
  minor = version.minor;
}

bool ServiceConfiguration::IgnoreStartupErrors() { return false; }
bool ServiceConfiguration::InteractWithDesktop() { return false; }
std::string ServiceConfiguration::ServiceAccount() { return {}; }
std::string ServiceConfiguration::ServiceAccountPassword() { return {}; }
std::string ServiceConfiguration::ServiceDependencies() { return {}; }
int32_t ServiceConfiguration::ServiceProcessId() { return static_cast<int32_t>(::getpid()); }

}  // namespace service
