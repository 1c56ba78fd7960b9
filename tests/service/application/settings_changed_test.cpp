// SettingsChanged: what is stored, what is announced, conflicting products.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/application/application_fixture.h"

namespace service {
namespace {

using SettingsChangedTest = testing::ApplicationTest;

TEST_F(SettingsChangedTest, StoresAndAnnouncesOnlyWhatIsDirtyAndBelongsToTheCurrentUser) {
  struct Case {
    const char* name;
    bool system_change;
    bool user_change;
    const char* user_sid;  // "user.SID" of the user collection
    bool persist;
    bool system_stored;
    bool user_stored;
    std::vector<std::string> events;
    size_t notifications;
  };
  const Case cases[] = {
      {"nothing dirty", false, false, "S-1", true, false, false, {}, 0},
      {"system, announced only", true, false, "S-1", false, false, false, {"5 OnSettingsChange"}, 1},
      {"system, persisted", true, false, "S-1", true, true, false, {"5 OnSettingsChange"}, 1},
      {"user, persisted", false, true, "S-1", true, false, true, {"4 OnUserSettingsChange"}, 1},
      {"user, announced only", false, true, "S-1", false, false, false, {"4 OnUserSettingsChange"}, 1},
      {"both", true, true, "S-1", true, true, true, {"5 OnSettingsChange", "4 OnUserSettingsChange"}, 2},
      {"user of someone else", false, true, "S-2", true, false, false, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(LiveFile(""));
    std::filesystem::remove(LiveFile("S-1"));
    std::filesystem::remove(LiveFile("S-2"));
    StartWithUser();
    user_->SetValue("user.SID", platform::Variant(c.user_sid));
    MakeClean(*user_);
    if (c.system_change) system_->SetValue("sys.note", platform::Variant(c.name));
    if (c.user_change) user_->SetValue("user.note", platform::Variant(c.name));

    app_->SettingsChanged(c.persist);

    EXPECT_EQ(Stored(""), c.system_stored);
    EXPECT_EQ(Stored("S-1"), c.user_stored);
    EXPECT_FALSE(Stored("S-2"));
    EXPECT_EQ(events_, c.events);
    EXPECT_EQ(Notifications(), c.notifications);
    EXPECT_EQ(LogMessagesStartingWith("SettingsChanged: UserSID=S-1 (ann) UserDirty=" +
                                      std::string(c.user_change ? "True" : "False") +
                                      " SysDirty=" + (c.system_change ? "True" : "False"))
                  .size(),
              1u);
  }
}

TEST_F(SettingsChangedTest, LateBoundCallWithoutArgumentAnnouncesButDoesNotStore) {
  StartWithUser();
  system_->SetValue("sys.note", platform::Variant("x"));
  app_->Invoke("SettingsChanged");
  EXPECT_FALSE(Stored(""));
  EXPECT_EQ(events_, (std::vector<std::string>{"5 OnSettingsChange"}));
}

TEST_F(SettingsChangedTest, DatedLinesInOrder) {
  StartWithUser();
  system_->SetValue("sys.note", platform::Variant("x"));
  user_->SetValue("user.note", platform::Variant("y"));
  app_->SettingsChanged(true);
  EXPECT_EQ(DatedLines(), (std::vector<std::string>{
                              ": SettingsChanged is calling 'ProcessSettingsChange'",
                              ": SettingsChanged - Returned from 'ProcessSettingsChange'",
                              ": SettingsChanged - Checking to determine if OnSettingsChange event should be raised",
                              ": SettingsChanged - writing current system snapshot to disk",
                              ": SettingsChanged - calling notifyfeatureplugins",
                              ": SettingsChanged - returned from  notifyfeatureplugins, raising OnSettingsChange event",
                              ": SettingsChanged - returned from OnSettingsChange event",
                              ": SettingsChanged - writing current user snapshot to disk",
                              ": SettingsChanged - calling notifyfeatureplugins",
                              ": SettingsChanged - returned from  notifyfeatureplugins, raising OnSettingsChange event",
                              ": SettingsChanged - returned from OnSettingsChange event",
                              ": Leaving SettingsChanged",
                          }));
}

TEST_F(SettingsChangedTest, ConflictingProductsSwitchTheirFeatureOff) {
  struct Case {
    const char* config;
    const char* selected;
    const char* selected_after;
    const char* runnable_after;
    std::vector<std::string> conflict_lines;
  };
  const Case cases[] = {
      {"conflict.antivirus = Other AV\n", "AF", "F", "F",
       {": SettingsChanged - Conflict found(Other AV), disabling Anti-Virus"}},
      {"conflict.firewall = Other Wall\n", "AF", "A", "A",
       {": SettingsChanged - Conflict found(Other Wall), disabling Firewall"}},
      {"conflict.antivirus = AV\nconflict.firewall = Wall\n", "FAF", "", "",
       {": SettingsChanged - Conflict found(AV), disabling Anti-Virus",
        ": SettingsChanged - Conflict found(Wall), disabling Firewall"}},
      // A letter in lower case counts as the feature, so it goes too.
      {"conflict.antivirus = AV\n", "af", "f", "F", {": SettingsChanged - Conflict found(AV), disabling Anti-Virus"}},
      {"conflict.antivirus = AV\n", "F", "F", "F", {}},
      {"conflict.products = Listed only\n", "AF", "AF", "AF", {}},
      {"", "AF", "AF", "AF", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    StartWithUser();
    WriteMachineConfig(c.config);
    system_->SetValue("features.selected", platform::Variant(c.selected));
    app_->SettingsChanged(false);
    EXPECT_EQ(Text(*system_, "features.selected"), c.selected_after);
    EXPECT_EQ(Text(*system_, "features.runnable"), c.runnable_after);
    std::vector<std::string> conflict_lines;
    for (const std::string& line : DatedLines()) {
      if (line.find("Conflict found") != std::string::npos) conflict_lines.push_back(line);
    }
    EXPECT_EQ(conflict_lines, c.conflict_lines);
  }
}

}  // namespace
}  // namespace service
