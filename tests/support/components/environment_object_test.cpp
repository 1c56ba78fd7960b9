#include "support/environment/environment_object.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "components_fixture.h"

namespace support {
namespace {

TEST_F(SupportComponents, EnvironmentFlagsComeFromTheMachineConfiguration) {
  EnvironmentObject environment;
  EXPECT_FALSE(environment.EnvironmentFlag());
  EXPECT_FALSE(environment.ShortNameFlag());

  struct Case {
    const char* value;
    bool expected;
  } cases[] = {{"1", true},  {"true", true},   {"TRUE", true}, {"Yes", true}, {"on", true},
               {"0", false}, {"false", false}, {"no", false},  {"", false},   {"maybe", false}};
  for (const Case& c : cases) {
    WriteMachineConfig(std::string("EnvironmentFlag = ") + c.value + "\nShortNameFlag = " + c.value + "\n");
    EXPECT_EQ(environment.EnvironmentFlag(), c.expected) << c.value;
    EXPECT_EQ(environment.ShortNameFlag(), c.expected) << c.value;
  }
}

TEST_F(SupportComponents, HostOverrideOfTheEnvironmentFlagWinsUntilCleared) {
  EnvironmentObject environment;
  SetEnvironmentFlagOverride(true);
  EXPECT_TRUE(environment.EnvironmentFlag());
  WriteMachineConfig("EnvironmentFlag = 1\n");
  SetEnvironmentFlagOverride(false);
  EXPECT_FALSE(environment.EnvironmentFlag());
  EXPECT_FALSE(environment.ShortNameFlag());  // the override is for the environment flag only
  SetEnvironmentFlagOverride(std::nullopt);
  EXPECT_TRUE(environment.EnvironmentFlag());
}

TEST_F(SupportComponents, StampIsANewGuidTextEachTime) {
  const std::regex guid("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  EnvironmentObject environment;
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    std::string stamp = environment.Stamp();
    EXPECT_TRUE(std::regex_match(stamp, guid)) << stamp;
    seen.insert(stamp);
  }
  EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace support
