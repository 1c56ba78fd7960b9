// A method call that ends in an error reply: the D-Bus error name and the
// text the caller reads.
#pragma once

#include <stdexcept>
#include <string>

namespace bus {

class CallError : public std::runtime_error {
 public:
  CallError(std::string name, const std::string& message) : std::runtime_error(message), name_(std::move(name)) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

}  // namespace bus
