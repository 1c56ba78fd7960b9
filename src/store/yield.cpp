#include "store/yield.h"

#include <string>

#include "platform/apartment/apartment.h"
#include "platform/basic/err.h"

namespace store {

void YieldToPendingEvents() {
  const int32_t number = platform::Err::Number();
  const std::string description = platform::Err::Description();
  const std::string source = platform::Err::Source();
  platform::Apartment::Current()->PumpPending();
  platform::Err::Clear();
  if (number != 0) platform::Err::Set(number, description, source);
}

}  // namespace store
