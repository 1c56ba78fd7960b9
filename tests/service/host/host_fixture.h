// A fresh root for the host tests, and a client of the control socket.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "contracts/support_objects.h"
#include "platform/root/machine_root.h"
#include "testing/rooted/rooted_test.h"
#include "testing/temp_root.h"

namespace service {

class HostTest : public testing_support::RootedTest {
 protected:
  std::string LogText() const {
    return testing_support::ReadFileBytes(root_ / "commonfiles/Norvale/QORC/log/hearth.log");
  }
  size_t LogCount(const std::string& message) const {
    const std::string text = LogText();
    size_t count = 0;
    for (size_t at = 0; (at = text.find("] " + message + "\r\n", at)) != std::string::npos; ++at) ++count;
    return count;
  }

};

// Connects to the socket, sends `bytes` (then ends its side), and returns the
// whole reply; "CONNECT FAILED" when it cannot connect.
std::string Exchange(const std::string& socket_path, const std::string& bytes);

}  // namespace service
