// The error number a call raises, for tables of cases that expect errors.
#pragma once

#include "platform/basic/err.h"

namespace platform::testing {

// 0 when the call returns normally, else the number of the BasicError it throws.
template <class F>
int ErrorNumberOf(F&& call) {
  try {
    call();
    return 0;
  } catch (const BasicError& error) {
    return error.number();
  }
}

}  // namespace platform::testing
