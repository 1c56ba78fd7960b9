// Runs a step whose failure is ignored without touching the caller's pending
// error: the folder routines are called in the middle of other routines that
// report their own "Err=" afterwards.
#pragma once

#include <cstdint>
#include <string>

#include "platform/basic/err.h"

namespace service {

template <class F>
bool IgnoringErrors(F&& step) noexcept {
  const int32_t number = platform::Err::Number();
  std::string description;
  std::string source;
  if (number != 0) {
    description = platform::Err::Description();
    source = platform::Err::Source();
  }
  bool completed = false;
  try {
    step();
    completed = true;
  } catch (...) {
  }
  if (platform::Err::Number() != number || number != 0) {
    if (number == 0) {
      platform::Err::Clear();
    } else {
      platform::Err::Set(number, description, source);
    }
  }
  return completed;
}

}  // namespace service
