// Walking the names with a remembered prefix.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"

namespace settings {
namespace {

class EnumTest : public settings_testing::SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    for (const char* name : {"user.a", "sys.b", "user.c"}) settings_->SetValue(name, 1);
  }
  std::vector<std::string> Walk(const std::string& pattern) {
    std::vector<std::string> names;
    for (std::string name = settings_->EnumSettingNames(pattern); !name.empty();
         name = settings_->EnumSettingNames(name)) {
      names.push_back(name);
    }
    return names;
  }
  std::shared_ptr<cSettings> settings_ = std::make_shared<cSettings>();
};

TEST_F(EnumTest, WildcardThenContinuationFollowsInsertionOrder) {
  EXPECT_EQ(settings_->EnumSettingNames("user.*"), "user.a");
  EXPECT_EQ(settings_->EnumSettingNames("user.a"), "user.c");
  EXPECT_EQ(settings_->EnumSettingNames("user.c"), "");
}

TEST_F(EnumTest, PatternsListTheirNames) {
  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"*", {"user.a", "sys.b", "user.c"}},
      {"USER.*", {"user.a", "user.c"}},
      {"sys.*", {"sys.b"}},
      {"none.*", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Walk(c.pattern), c.names);
  }
}

TEST_F(EnumTest, AContinuationNameNotInTheBagEndsTheWalk) {
  settings_->EnumSettingNames("user.*");
  EXPECT_EQ(settings_->EnumSettingNames("user.zzz"), "");
  EXPECT_EQ(settings_->EnumSettingNames("User.A"), "user.c");
}

TEST_F(EnumTest, ThePrefixBelongsToTheCollectionSoInterleavedWalksDisturbEachOther) {
  EXPECT_EQ(settings_->EnumSettingNames("user.*"), "user.a");
  EXPECT_EQ(settings_->EnumSettingNames("sys.*"), "sys.b");
  // The first walk continues with the second one's prefix.
  EXPECT_EQ(settings_->EnumSettingNames("user.a"), "sys.b");
}

TEST_F(EnumTest, NamesEndingInAStarAreWalkedThroughAndTheWalkEnds) {
  settings_->SetValue("user.list=a*", true);
  settings_->SetValue("user.e", 1);
  EXPECT_EQ(Walk("user.*"), (std::vector<std::string>{"user.a", "user.c", "user.list=a*", "user.e"}));
  // Given afresh (not just handed out), the same text is a pattern.
  EXPECT_EQ(settings_->EnumSettingNames("user.list=a*"), "user.list=a*");
}

TEST_F(EnumTest, RemovedNamesDropOutAndReAddedNamesComeLast) {
  settings_->RemoveValue("user.a");
  settings_->SetValue("user.a", 2);
  settings_->SetValue("user.d", 3);
  EXPECT_EQ(Walk("user.*"), (std::vector<std::string>{"user.c", "user.a", "user.d"}));
  EXPECT_EQ(settings_->NameAt(0), "sys.b");
  EXPECT_EQ(settings_->Count(), 4u);
}

TEST_F(EnumTest, RemovingWhileWalkingVisitsEveryName) {
  for (int i = 0; i < 100; ++i) settings_->SetValue("big." + std::to_string(i), i);
  int visited = 0;
  std::string name = settings_->EnumSettingNames("big.*");
  while (!name.empty()) {
    ++visited;
    const std::string next = settings_->EnumSettingNames(name);
    settings_->RemoveValue(name);
    name = next;
  }
  EXPECT_EQ(visited, 100);
  EXPECT_EQ(settings_->Count(), 3u);
}

}  // namespace
}  // namespace settings
