#include "plugins/notify/shared_io_notify.h"

#include <mutex>
#include <utility>

#include "platform/com/object.h"

namespace plugins {
namespace {

std::mutex hooks_mutex;
IoNotifyFactory io_notify_factory;
std::function<void()> secure_log_sync;

platform::com::ObjectPtr& SharedIoNotify() {
  thread_local platform::com::ObjectPtr shared;
  return shared;
}

}  // namespace

void SetIoNotifyFactory(IoNotifyFactory factory) {
  std::lock_guard lock(hooks_mutex);
  io_notify_factory = std::move(factory);
}

void SetSecureLogSync(std::function<void()> sync) {
  std::lock_guard lock(hooks_mutex);
  secure_log_sync = std::move(sync);
}

platform::com::ObjectPtr GetSharedIoNotify() {
  platform::com::ObjectPtr& shared = SharedIoNotify();
  if (shared) return shared;
  IoNotifyFactory factory;
  {
    std::lock_guard lock(hooks_mutex);
    factory = io_notify_factory;
  }
  // The factory runs outside the lock: creating the object may log, read
  // settings or install hooks of its own.
  if (factory) shared = factory();
  return shared;
}

void ReleaseSharedIoNotify() { SharedIoNotify().reset(); }

void SyncSecureLogs() {
  std::function<void()> sync;
  {
    std::lock_guard lock(hooks_mutex);
    sync = secure_log_sync;
  }
  if (sync) sync();
}

}  // namespace plugins
