#include "plugins/ionotify/register_io_notify.h"

#include <memory>

#include "plugins/ionotify/io_notify.h"
#include "plugins/ionotify/secure_logs.h"
#include "plugins/notify/shared_io_notify.h"

namespace plugins::ionotify {

void RegisterIoNotify() {
  SetIoNotifyFactory([] { return platform::com::ObjectPtr(std::make_shared<cIoNotify>()); });
  SetSecureLogSync([] { SyncSecureLogs(); });
}

}  // namespace plugins::ionotify
