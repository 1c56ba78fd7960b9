#include "support/accounts/account_names.h"

#include <gtest/gtest.h>

#include "components_fixture.h"

namespace support {
namespace {

TEST_F(SupportComponents, EveryoneGroupNameIsConfigurable) {
  AccountNames accounts;
  EXPECT_EQ(accounts.EveryoneGroupName(), "Everyone");
  WriteMachineConfig("EveryoneGroupName = Jeder\n");
  EXPECT_EQ(accounts.EveryoneGroupName(), "Jeder");
}

}  // namespace
}  // namespace support
