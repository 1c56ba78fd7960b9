// The time component: brings the machine's clock in step with a time
// source.
#pragma once

namespace contracts {

class TimeComponent {
 public:
  virtual ~TimeComponent() = default;

  // Starts a clock synchronisation and returns at once, without waiting for
  // it to finish; true when it was started.
  virtual bool SynchronizeTime() = 0;
};

}  // namespace contracts
