#include "support/version/version_service.h"

#include <gtest/gtest.h>

namespace support {
namespace {

TEST(SupportVersion, NumbersTextPadsMinorToTwoAndRevisionToThreeDigits) {
  struct Case {
    int major, minor, revision;
    const char* expected;
  } cases[] = {{2, 1, 7, "2.01.007"}, {0, 0, 0, "0.00.000"}, {10, 12, 345, "10.12.345"}, {3, 100, 1000, "3.100.1000"}};
  for (const Case& c : cases) {
    EXPECT_EQ(contracts::VersionService::FormatNumbers(c.major, c.minor, c.revision), c.expected);
  }
}

TEST(SupportVersion, ReportsWhatTheBuildCompiledIn) {
  VersionService version;
  EXPECT_EQ(version.VersionText(), HEARTH_VERSION_TEXT);
  EXPECT_EQ(version.BuildText(), HEARTH_BUILD_TEXT);
  EXPECT_EQ(version.Major(), HEARTH_VERSION_MAJOR);
  EXPECT_EQ(version.Minor(), HEARTH_VERSION_MINOR);
  EXPECT_EQ(version.Revision(), HEARTH_VERSION_REVISION);
  EXPECT_EQ(version.NumbersText(), contracts::VersionService::FormatNumbers(HEARTH_VERSION_MAJOR, HEARTH_VERSION_MINOR,
                                                                            HEARTH_VERSION_REVISION));
}

}  // namespace
}  // namespace support
