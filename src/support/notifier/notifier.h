// The notifier channel (contracts/notifier.h).
#pragma once

#include <string>

#include "contracts/notifier.h"
#include "platform/com/event_source.h"

namespace support {

class Notifier : public contracts::cNotifier {
 public:
  void Notify(std::string& name, platform::Variant& param1, platform::Variant& param2) override;
  platform::com::EventSource* Events() override { return &events_; }
  std::string TypeName() const override { return "cNotifier"; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  platform::com::EventSource events_;
};

}  // namespace support
