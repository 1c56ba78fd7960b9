// The one boot state the start-up and shutdown steps act on.
#pragma once

namespace service {

// True in safe mode without network (clean-boot value 1); safe mode with
// network (2) runs normally.
bool IsFailSafeBootWithoutNetwork();

}  // namespace service
