// Calls on an object from other threads: a proxy that carries every
// late-bound call to the thread (apartment) the object lives on.
//
//   ObjectPtr shared = MarshalObject(application);   // on the service thread
//   ...
//   Invoke(shared, "SettingsChanged", args);          // any thread: runs on the
//                                                    // service thread, waits
//
// Calls run one at a time with everything else posted to that apartment; the
// calling thread keeps its own apartment pumping while it waits, so the
// object may call back into it. Arguments travel by reference as in a direct
// call; errors the object raises reach the caller. Once the object's thread
// has ended every call raises -2147417848 "The object invoked has
// disconnected from its clients.".
//
// A proxy answers late-bound calls only: ask for interfaces (QueryInterface)
// on the object's own thread. Its last reference releases the object on the
// object's own thread.
#pragma once

#include <cstdint>

#include "platform/apartment/apartment.h"
#include "platform/com/object.h"

namespace platform::com {

// RPC_E_DISCONNECTED as Basic reports it.
inline constexpr int32_t kErrDisconnected = static_cast<int32_t>(0x80010108u);

// A proxy for `object` in `home` (the calling thread's apartment by default).
// Nothing gives Nothing.
ObjectPtr MarshalObject(ObjectPtr object, ApartmentPtr home = Apartment::Current());

}  // namespace platform::com
