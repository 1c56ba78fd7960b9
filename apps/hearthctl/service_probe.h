// Whether hearthd runs on the machine root, told without writing anything:
// the kernel's table of locks names the holder of the root's instance lock,
// so a member of the group hearth, who may not write <root>/run, learns it
// too. Only a command that then works on the root's files itself takes the
// lock, so that hearthd does not start meanwhile and store over them.
#pragma once

#include <optional>
#include <string>

#include "service/host/lock/instance_lock.h"

namespace hearthctl {

enum class ServiceState { kStopped, kRunning };

// kRunning when a hearthd holds the root's instance lock. Otherwise, with
// `lock_for_files`, takes the lock into it (kRunning after all when a
// hearthd took it first); nullopt with *error set when it cannot be taken.
std::optional<ServiceState> ProbeRootService(service::InstanceLock* lock_for_files, std::string* error);

}  // namespace hearthctl
