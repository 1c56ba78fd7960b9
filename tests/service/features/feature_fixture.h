// A fresh machine root with a branding configuration of the test's own, and
// the system log read back as its messages. The application tests use it
// too.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/root/machine_root.h"
#include "testing/log_messages.h"
#include "testing/rooted/rooted_test.h"
#include "testing/temp_root.h"

namespace service::testing {

// The installed features, packages and init templates of the tests' brand.
inline constexpr char kTestFeatures[] = R"(<features><feature amsid="A"/><feature amsid="W"/><feature amsid="F"/></features>)";
inline constexpr char kTestPackages[] =
    R"(<packages><package><item feature="A" inittpl="antivirus"/><item feature="A" inittpl="avextra"/></package>)"
    R"(<package><item feature="F" inittpl="firewall"/><item feature="W"/></package></packages>)";
inline constexpr char kTestDefaults[] =
    "<defaults><antivirus><legacy.featureAntivirus>True</legacy.featureAntivirus>"
    "<av.level>3</av.level></antivirus>"
    "<avextra><av.extra>on</av.extra></avextra>"
    "<firewall><legacy.featureFirewall>True</legacy.featureFirewall></firewall></defaults>";

class ServiceRootTest : public testing_support::RootedTest {
 protected:
  void SetUp() override {
    RootedTest::SetUp();
    platform::Err::Clear();
    WriteBranding(kTestFeatures, kTestPackages, kTestDefaults);
  }
  void TearDown() override {
    RootedTest::TearDown();
    platform::Err::Clear();
  }

  // Replaces the root's branding configuration (and drops cached answers).
  void WriteBranding(const std::string& features, const std::string& packages, const std::string& defaults) {
    testing_support::WriteFileBytes(root_ / "config/branding.xml",
                                    "<branding defaultbrand=\"test\"><strings><guest>Visitor</guest></strings>" +
                                        features + packages + defaults + "</branding>");
    contracts::Support().Reset();
  }

  void WriteMachineConfig(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }

  // The messages of the system log, without their time and tick prefixes.
  std::vector<std::string> LogMessages() const {
    return testing_support::LogFileMessages(root_ / "commonfiles/Norvale/QORC/log/hearth.log");
  }

  // Every message that starts with `prefix`.
  std::vector<std::string> LogMessagesStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& message : LogMessages()) {
      if (message.rfind(prefix, 0) == 0) found.push_back(message);
    }
    return found;
  }

  bool Logged(const std::string& message) const {
    const auto messages = LogMessages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }

  // Drops what was logged so far.
  void ClearLog() const {
    std::filesystem::remove(root_ / "commonfiles/Norvale/QORC/log/hearth.log");
  }

};

}  // namespace service::testing
