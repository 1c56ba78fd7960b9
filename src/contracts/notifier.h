// The notifier channel of the core support library, through which the
// system and a notifier plug-in talk: a message is a name and two variant
// parameters, all by reference, so what the receiver writes into them
// travels back to the sender.
//
//   std::shared_ptr<contracts::cNotifier> channel = contracts::NewNotifier();
//   channel->OnNotify([](std::string& name, Variant& param1, Variant& param2) {
//     if (name == "GetSetting") param2 = Variant("value");
//   });
//   channel->Notify(name, param1, param2);   // param2 now holds "value"
//
// A plug-in receives the host's channel through INotifierHost.AttachHost and
// answers with its own: messages the plug-in sends on the host's channel reach
// the host's OnNotify sinks, and messages the host sends on the plug-in's
// channel reach the plug-in's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/basic/variant.h"
#include "platform/com/event_source.h"
#include "platform/com/object.h"

namespace contracts {

// Identifiers the channel's type library gives these types.
inline constexpr char kNotifierClassId[] = "{6C1F87AE-A5B1-4A35-ADA8-6A67F0699489}";
inline constexpr char kNotifierInterfaceId[] = "{2A867621-2878-4CFB-A3DC-A5CB60D7D998}";
inline constexpr char kNotifierHostInterfaceId[] = "{D990AC19-F1E6-484A-B567-B5EA0E5943E6}";

// RPC_E_WRONG_THREAD: the pending error a host leaves when a plug-in sends
// on its channel from a thread other than the service's. The host answers
// requests only on its own thread; the SDK's Request raises it.
inline constexpr int32_t kErrNotifyFromAnotherThread = static_cast<int32_t>(0x8001010Eu);

using NotifyHandler = std::function<void(std::string& name, platform::Variant& param1, platform::Variant& param2)>;

// One message channel. Late-bound members: Notify(Name, Param1, Param2);
// event OnNotify(Name, Param1, Param2).
class cNotifier : public virtual platform::com::Object {
 public:
  // Raises OnNotify with the three arguments to every connected sink, in
  // connection order; what sinks write into them is what the caller sees
  // afterwards. A failing sink does not stop the others (its error is the
  // pending error).
  virtual void Notify(std::string& name, platform::Variant& param1, platform::Variant& param2) = 0;

  // The OnNotify event (never null): connect object sinks (called as
  // "OnNotify" with the three arguments) or C++ handlers here.
  platform::com::EventSource* Events() override = 0;

  // Connects a C++ handler to OnNotify; Events()->Unadvise(cookie) ends it.
  platform::com::Cookie OnNotify(NotifyHandler handler);
};

// A new channel.
std::shared_ptr<cNotifier> NewNotifier();

// What a notifier plug-in implements.
class INotifierHost : public virtual platform::com::Object {
 public:
  // Receives the host's channel; answers the plug-in's own.
  virtual std::shared_ptr<cNotifier> AttachHost(std::shared_ptr<cNotifier>& host) = 0;
};

}  // namespace contracts
