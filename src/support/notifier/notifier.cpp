#include "support/notifier/notifier.h"

#include <array>
#include <memory>

#include "platform/basic/conversions.h"
#include "platform/com/dispatch_table.h"

namespace support {

void Notifier::Notify(std::string& name, platform::Variant& param1, platform::Variant& param2) {
  std::array<platform::Variant, 3> args{platform::Variant(name), std::move(param1), std::move(param2)};
  events_.Raise("OnNotify", args);
  // A sink may have replaced the name by something that is not text.
  try {
    name = platform::CStr(args[0]);
  } catch (...) {
  }
  param1 = std::move(args[1]);
  param2 = std::move(args[2]);
}

const platform::com::DispatchTable* Notifier::Dispatch() const {
  static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Notifier>({
      {"Notify", 3,
       [](Notifier& self, platform::com::Args args) {
         std::string name = platform::CStr(args[0]);
         self.Notify(name, args[1], args[2]);
         args[0] = platform::Variant(name);
       }},
  });
  return &table;
}

}  // namespace support

namespace contracts {

platform::com::Cookie cNotifier::OnNotify(NotifyHandler handler) {
  if (!handler) return 0;
  return Events()->Advise(
      [handler = std::move(handler)](const platform::com::EventCall& event, platform::com::Args args) {
        if (!event.Is("OnNotify") || args.size() < 3) return;
        std::string name = args[0].IsString() ? args[0].StringValue() : platform::CStr(args[0]);
        handler(name, args[1], args[2]);
        args[0] = platform::Variant(name);
      });
}

std::shared_ptr<cNotifier> NewNotifier() { return std::make_shared<support::Notifier>(); }

}  // namespace contracts
