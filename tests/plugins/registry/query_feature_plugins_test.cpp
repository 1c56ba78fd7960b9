#include <gtest/gtest.h>

#include "plugin_fixture.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "platform/xml/document.h"

namespace plugins {
namespace {

using init_testing::RunOnFreshThread;
using plugin_testing::Entry;
using plugin_testing::Journal;

class PluginQueryTest : public plugin_testing::PluginTest {};

TEST_F(PluginQueryTest, RankOrderWithTiesCreatesAndNotifiesSmallestFirstAndEqualRanksInReverse) {
  for (const char* p : {"Rank.Thirty", "Rank.Ten", "Rank.Twenty", "Rank.FiveA", "Rank.FiveB"}) {
    plugin_testing::RegisterEventsPlugin(p);
  }
  RunOnFreshThread([&] {
    auto system = InstallSystem();
    SetPluginList(Entry("Rank.Thirty", "30") + Entry("Rank.Ten", "10") + Entry("Rank.Twenty", "20") +
                  Entry("Rank.FiveA", "5") + Entry("Rank.FiveB", "5"));
    Mark();
    QueryFeaturePlugins();
    const std::vector<std::string> order = {"Rank.FiveB", "Rank.FiveA", "Rank.Ten", "Rank.Twenty", "Rank.Thirty"};
    std::vector<std::string> expected = {"Quering Feature Plugins"};
    for (const auto& p : order) {
      expected.push_back(" Creating Plugin '" + p + "'");
      expected.push_back(" Created Plugin '" + p + "'. Error state is ''");
    }
    std::vector<std::string> lines = MessagesSinceMark();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(lines[1].starts_with("Plugin XML is \r\n<system>"));
    lines.erase(lines.begin() + 1);
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(FeaturePluginCount(), 5u);

    NotifyFeaturePlugins(typelib::OnShutdown, system, settings::GetUserSettings());
    std::vector<std::string> heard;
    for (const auto& p : order) heard.push_back(p + ":OnShutdown");
    EXPECT_EQ(Journal(), heard);
  });
}

TEST_F(PluginQueryTest, EntriesWithoutAPositiveRankAreLeftOutWithOneLineAndTheRestLoads) {
  plugin_testing::RegisterEventsPlugin("Rank.Good");
  RunOnFreshThread([&] {
    InstallSystem();
    SetPluginList("<plugin><progid>No.Rank</progid></plugin>" + Entry("Zero.Rank", "0") + Entry("Minus.Rank", "-3") +
                  Entry("Text.Rank", "high") + Entry("Rank.Good", "1"));
    Mark();
    QueryFeaturePlugins();
    EXPECT_EQ(FeaturePluginCount(), 1u);
    int left_out = 0;
    for (const auto& line : MessagesSinceMark()) {
      if (line.starts_with("SortChildrenByAttribute - left out the entries without a positive 'rank': ")) {
        ++left_out;
        for (const char* p : {"No.Rank", "Zero.Rank", "Minus.Rank", "Text.Rank"}) EXPECT_NE(line.find(p), std::string::npos);
      }
    }
    EXPECT_EQ(left_out, 1);
  });
}

TEST(SortChildrenByAttributeTest, CopiesIntoANewElementOfTheSameName) {
  platform::xml::Document document;
  ASSERT_TRUE(document.LoadXml("<list><a r=\"2\"/><b r=\"1\"><c/></b><d r=\"2\"/></list>"));
  platform::xml::Node sorted = SortChildrenByAttribute(document.DocumentElement(), "r");
  EXPECT_EQ(sorted.Xml(), "<list><b r=\"1\"><c/></b><d r=\"2\"/><a r=\"2\"/></list>");
  // The input is untouched.
  EXPECT_EQ(document.DocumentElement().Xml(), "<list><a r=\"2\"/><b r=\"1\"><c/></b><d r=\"2\"/></list>");
}

TEST_F(PluginQueryTest, BadListsAndEntriesGiveTheirLinesAndNoPlugin) {
  plugin_testing::RegisterEventsPlugin("Dup.Plugin");
  struct Case {
    std::string list;
    std::vector<std::string> expected;  // lines in order, each a whole line
  };
  const std::vector<Case> cases = {
      {"<plugin rank=\"1\"/>",
       {" Creating Plugin ''", "CreatePlugin - Could not create Plugin '' The error was 'ActiveX component can't create object'",
        "QueryFeaturePlugins could not create plugin ''"}},
      {Entry("Not.Registered", "1"),
       {" Creating Plugin 'Not.Registered'",
        "CreatePlugin - Could not create Plugin 'Not.Registered' The error was 'ActiveX component can't create object'",
        "QueryFeaturePlugins could not create plugin 'Not.Registered'"}},
      {Entry("Dup.Plugin", "1") + Entry("DUP.plugin", "2"),
       {" Creating Plugin 'Dup.Plugin'", " Created Plugin 'Dup.Plugin'. Error state is ''",
        " Creating Plugin 'DUP.plugin'",
        " Created Plugin 'DUP.plugin'. Error state is 'This key is already associated with an element of this collection'"}},
  };
  for (const Case& c : cases) {
    RunOnFreshThread([&] {
      InstallSystem();
      SetPluginList(c.list);
      Mark();
      QueryFeaturePlugins();
      std::vector<std::string> lines = MessagesSinceMark();
      std::vector<std::string> tail(lines.begin() + std::min<std::size_t>(2, lines.size()), lines.end());
      EXPECT_EQ(tail, c.expected) << c.list;
    });
  }
}

TEST_F(PluginQueryTest, AMissingListIsNoPluginsDetectedAndNotificationsFindNoCollection) {
  RunOnFreshThread([&] {
    auto system = InstallSystem();
    SetPluginList("", /*present=*/false);
    Mark();
    QueryFeaturePlugins();
    EXPECT_EQ(MessagesSinceMark(), (std::vector<std::string>{"Quering Feature Plugins", "Plugin XML is \r\n",
                                                              "No plugins detected"}));
    EXPECT_FALSE(FeaturePluginsExist());
  });
}

}  // namespace
}  // namespace plugins
