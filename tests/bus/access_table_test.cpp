// The bus's access levels as a table, and the action messages that need root.
#include <gtest/gtest.h>

#include "bus/member_table.h"
#include "plugins/action_message/action_elements.h"

namespace bus {
namespace {

TEST(AccessTableTest, NamesTheLevelOfEveryMember) {
  struct Case {
    const char* interface_name;
    const char* member;
    Access level;
    bool raised_by_args;
  } cases[] = {
      {"com.norvale.Hearth.Application", "ValidateWindowsUserCredentials", Access::kRoot, false},
      {"com.norvale.Hearth.Application", "SettingsChanged", Access::kAct, false},
      {"com.norvale.Hearth.Application", "version", Access::kRead, false},
      {"com.norvale.Hearth.cIoNotify", "DoXMLAction", Access::kAct, true},
      {"com.norvale.Hearth.cIoNotify", "IoWriteXMLAction", Access::kAct, true},
      {"com.norvale.Hearth.cIoNotify", "IoWriteReportLog", Access::kAct, true},
      {"com.norvale.Hearth.cIoNotify", "IoPostAlert", Access::kAct, false},
      {"com.norvale.Hearth.cIoNotify", "IoGetAlert", Access::kRead, false},
      {"com.norvale.Hearth.cSettings", "SetValue", Access::kAct, false},
      {"com.norvale.Hearth.cSettings", "GetValue", Access::kRead, false},
      {"com.norvale.Hearth.cIoNotify", "IoGetSecureLogs", Access::kRead, false},
      {"com.norvale.Hearth.cIoNotify", "IoVerifySecureLog", Access::kRead, false},
      {"com.norvale.Hearth.cIoNotify", "IoGetSecureLogEntries", Access::kRoot, false},
      {"com.norvale.Hearth.cIoNotify", "IoMarkSecureLogRead", Access::kRoot, false},
      {"com.norvale.Hearth.cIoNotify", "IoGetFeaturePlugins", Access::kRead, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member);
    const std::optional<MemberAccess> row = AccessOf(c.interface_name, c.member);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->level, c.level);
    EXPECT_EQ(row->raised_by_args, c.raised_by_args);
    EXPECT_EQ(row->level == Access::kRoot || row->raised_by_args, !row->why.empty());
  }
  EXPECT_FALSE(AccessOf("com.norvale.Hearth.Application", "NoSuchMember").has_value());
  EXPECT_EQ(AccessLevelName(Access::kRoot), std::string("root"));

  // Only the password check, the secure log entries and the store-file
  // operations are root's by name; everything else is in the table once.
  size_t root_only = 0, rows = 0;
  for (const MemberAccess& row : AccessTable()) {
    ++rows;
    if (row.level == Access::kRoot) ++root_only;
  }
  EXPECT_EQ(root_only, 6u);
  EXPECT_GT(rows, 60u);
}

TEST(AccessTableTest, AMessageNeedsRootExactlyWhenTheDispatcherWouldStartAProgram) {
  struct Case {
    const char* message;
    bool starts;
  } cases[] = {
      {"<m><action type='runprogram'/></m>", true},
      {"<m><action type='launchprocess'/></m>", true},
      {"<m><action type='settings'/><action type='launchprocess'/></m>", true},
      {"<?xml version='1.0'?><!-- c --><any><x/><action type='runprogram'><commandline>a</commandline></action></any>",
       true},
      {"<m><action type='RunProgram'/></m>", false},       // not an action the dispatcher knows
      {"<m><x><action type='runprogram'/></x></m>", false}, // not a child of the document element
      {"<m><Action type='runprogram'/></m>", false},
      {"<m><action kind='runprogram'/></m>", false},
      {"<m><action type='runprogram'></m>", false},  // does not load: nothing runs
      {"", false},
      {"<m><action type='settings'/></m>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(plugins::action_message::MessageStartsAProgram(c.message), c.starts);
  }
}

}  // namespace
}  // namespace bus
