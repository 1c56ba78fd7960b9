// Forward declaration of the object model's base class, so that values
// (Variant) can hold object references without pulling in the whole model.
#pragma once

#include <memory>

namespace platform::com {

class Object;
// A counted reference to an object; released when the last reference goes.
// An empty pointer is Basic's Nothing.
using ObjectPtr = std::shared_ptr<Object>;

}  // namespace platform::com
