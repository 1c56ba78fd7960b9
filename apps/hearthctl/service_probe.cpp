#include "service_probe.h"

#include <filesystem>
#include <system_error>

#include "service/host/control_protocol.h"

namespace hearthctl {

std::optional<ServiceState> ProbeRootService(service::InstanceLock* lock_for_files, std::string* error) {
  const std::string path = service::control::LockPath().string();
  if (service::InstanceLock::HolderPid(path) != 0) return ServiceState::kRunning;
  if (lock_for_files == nullptr) return ServiceState::kStopped;
  std::error_code ignored;
  std::filesystem::create_directories(service::control::RunFolder(), ignored);
  switch (lock_for_files->Acquire(path, error)) {
    case service::InstanceLock::Result::kAcquired: return ServiceState::kStopped;
    case service::InstanceLock::Result::kHeldElsewhere: return ServiceState::kRunning;
    case service::InstanceLock::Result::kFailed: break;
  }
  *error = "hearthd is not running and the root's files cannot be locked for this command: " + *error;
  return std::nullopt;
}

}  // namespace hearthctl
