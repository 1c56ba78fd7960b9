#include "testing/rooted/rooted_test.h"

#include "platform/registry/registry.h"
#include "platform/root/machine_root.h"
#include "service/contracts/support_objects.h"

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
