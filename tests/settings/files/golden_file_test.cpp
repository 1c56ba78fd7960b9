// Settings files written by an earlier build, committed under golden/: a
// change of the file names, the key, the cipher or the checksum would make
// every stored file unreadable, and these would no longer load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/files/settings_file_fixture.h"

namespace settings {
namespace {

using platform::Variant;

std::filesystem::path GoldenFolder() {
  const char* source = std::getenv("HEARTH_SOURCE_DIR");
  return std::filesystem::path(source != nullptr ? source : HEARTH_SOURCE_DIR_FALLBACK) / "tests/settings/files/golden";
}

struct GoldenCase {
  const char* owner;
  const char* file;  // under golden/
  const char* base;  // the name the owner's files carry
};

class GoldenFileTest : public SettingsFileTest, public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(GoldenFileTest, AFileOfAnEarlierBuildLoadsWithEveryValue) {
  const GoldenCase& c = GetParam();
  EXPECT_EQ(SettingsFileBase(c.owner), c.base);
  std::filesystem::create_directories(std::filesystem::path(PathsOf(c.owner).live).parent_path());
  std::filesystem::copy_file(GoldenFolder() / c.file, PathsOf(c.owner).live);

  auto loaded = Load(c.owner);
  ASSERT_TRUE(Loaded(*loaded)) << c.file;
  EXPECT_EQ(loaded->GetValue("sys.name").StringValue(), "Golden <file> & co");
  EXPECT_EQ(loaded->GetValue("sys.count").StringValue(), "42");
  EXPECT_TRUE(loaded->GetValue("sys.flag").IsBoolean());
  EXPECT_TRUE(loaded->GetValue("sys.flag").BoolValue());
  EXPECT_TRUE(loaded->GetValue("sys.off").IsBoolean());
  EXPECT_FALSE(loaded->GetValue("sys.off").BoolValue());
  EXPECT_EQ(loaded->GetValue("sys.when").StringValue(), "1/1/2000 12:00:00 PM");
  EXPECT_EQ(loaded->GetValue("sys.bytes").StringValue(), std::string("A\0B\xff", 4));
  EXPECT_TRUE(loaded->GetValueB("features.list=a"));
  EXPECT_TRUE(loaded->GetValueB("features.list=f"));
  EXPECT_EQ(loaded->GetValue("uncorrupted").StringValue(), "Definitely");
  if (std::string(c.owner).empty()) {
    EXPECT_FALSE(loaded->Exists("user.sid"));
  } else {
    EXPECT_EQ(loaded->GetValue("user.sid").StringValue(), c.owner);
  }
  EXPECT_TRUE(LogHas(std::string("cSettings for '") + c.owner + "' read from main file was successful."));
}

INSTANTIATE_TEST_SUITE_P(Owners, GoldenFileTest,
                         ::testing::Values(GoldenCase{"", "system.exl", "63b5328fe3c4881f0e16ce0164cceae3"},
                                           GoldenCase{"S-1-5-21-1000", "S-1-5-21-1000.exl",
                                                      "aea1118bfd8072fcf09e3fa2b5212255"}),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           return std::string(info.param.owner).empty() ? std::string("System")
                                                                        : std::string("User");
                         });

}  // namespace
}  // namespace settings
