// What a subsystem may ask of the service itself, which stands above every
// subsystem: the service hands in its own chore as it initialises
// (SvcInit::Init); until then a request does nothing.
//
//   contracts::SetUninstallEntryWriter([] { service::WriteUninstallEntry(); });
//   contracts::WriteUninstallEntry();   // the "uninstallentry" action
#pragma once

#include <functional>
#include <mutex>
#include <utility>

namespace contracts {

namespace detail {

struct ServiceChores {
  std::mutex mutex;
  std::function<void()> write_uninstall_entry;
};

inline ServiceChores& Chores() {
  static ServiceChores* chores = new ServiceChores;
  return *chores;
}

}  // namespace detail

// The service's entry in the system list of installed programs.
inline void SetUninstallEntryWriter(std::function<void()> writer) {
  std::lock_guard lock(detail::Chores().mutex);
  detail::Chores().write_uninstall_entry = std::move(writer);
}

inline void WriteUninstallEntry() {
  std::function<void()> writer;
  {
    std::lock_guard lock(detail::Chores().mutex);
    writer = detail::Chores().write_uninstall_entry;
  }
  if (writer) writer();
}

}  // namespace contracts
