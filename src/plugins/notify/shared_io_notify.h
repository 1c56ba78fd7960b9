// The plug-in registry's shared cIoNotify object and the secure-log
// synchronisation it asks for after some notifications.
//
// The cIoNotify class lives above this module (it calls back into the
// registry), so it hands its factory and its secure-log sync down here when
// it is wired in (plugins::ionotify::RegisterIoNotify). Until then
// GetSharedIoNotify answers Nothing and the sync does nothing.
#pragma once

#include <functional>

#include "platform/com/object_fwd.h"

namespace plugins {

using IoNotifyFactory = std::function<platform::com::ObjectPtr()>;

// Process-wide; an empty function removes it.
void SetIoNotifyFactory(IoNotifyFactory factory);
void SetSecureLogSync(std::function<void()> sync);

// The calling thread's one cIoNotify object, created on first use through
// the factory; Nothing when no factory is installed or it gives Nothing.
platform::com::ObjectPtr GetSharedIoNotify();
// Forgets the calling thread's object (DestroyIOPluginData releases it).
void ReleaseSharedIoNotify();

// SyncSecureLogs of the secure report log, through the installed function.
void SyncSecureLogs();

}  // namespace plugins
