#include "testing/rooted/rooted_test.h"

#include "contracts/support_objects.h"
#include "platform/registry/registry.h"
#include "platform/root/machine_root.h"

namespace testing_support {

void RootedTest::SetUp() {
  platform::SetMachineRoot(root_.path());
  contracts::Support().Reset();
}

void RootedTest::TearDown() {
  contracts::Support().Reset();
  platform::registry::ResetHiveForTesting();
  platform::SetMachineRoot({});
}

}  // namespace testing_support
