// The conflict detector's answer from the machine configuration.
#include "support/conflict/conflict_detector.h"

#include <gtest/gtest.h>

#include "contracts/support_objects.h"
#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace support {
namespace {

class ConflictDetectorTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetMachineRoot(root_.path()); }
  void TearDown() override { platform::SetMachineRoot({}); }
  void Configure(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }
  testing_support::TempRoot root_;
};

TEST_F(ConflictDetectorTest, AnswersFromTheMachineConfiguration) {
  struct Case {
    const char* config;
    const char* products;
    const char* anti_virus;
    const char* firewall;
  };
  const Case cases[] = {
      {"", "", "", ""},
      {"conflict.antivirus = Other AV 9\n", "Other AV 9", "Other AV 9", ""},
      {"Conflict.Firewall=Wall\n", "Wall", "", "Wall"},
      {"conflict.antivirus = AV\nconflict.firewall = Wall\n", "AV; Wall", "AV", "Wall"},
      {"conflict.antivirus = AV\nconflict.products = Suite X\n", "Suite X", "AV", ""},
      {"conflict.products =\nconflict.firewall = Wall\n", "", "", "Wall"},
  };
  ConflictDetector detector;
  for (const Case& c : cases) {
    Configure(c.config);
    const contracts::ConflictingProducts found = detector.GetConflictingProducts();
    EXPECT_EQ(found.products, c.products) << c.config;
    EXPECT_EQ(found.anti_virus, c.anti_virus) << c.config;
    EXPECT_EQ(found.firewall, c.firewall) << c.config;
  }
}

TEST_F(ConflictDetectorTest, ReachedThroughTheSupportObjectsAndReplaceable) {
  Configure("conflict.firewall = Wall\n");
  EXPECT_EQ(contracts::Support().Conflicts()->GetConflictingProducts().firewall, "Wall");

  struct Fixed : contracts::ConflictDetector {
    contracts::ConflictingProducts GetConflictingProducts() override { return {"p", "a", "f"}; }
  };
  contracts::ScopedSupportOverride<contracts::ConflictDetector> fake(std::make_shared<Fixed>());
  EXPECT_EQ(contracts::Support().Conflicts()->GetConflictingProducts().anti_virus, "a");
}

}  // namespace
}  // namespace support
