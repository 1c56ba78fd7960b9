// The recalculation of every "features." set, feature initialisation and
// init templates.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/basic/conversions.h"
#include "service/features/feature_fixture.h"
#include "service/features/features.h"
#include "settings/collection/c_settings.h"
#include "settings/xml/c_settings_xml.h"

namespace service {
namespace {

using platform::Variant;

// A value as "type:text", so that tests see the type too.
std::string Typed(const Variant& value) {
  return std::to_string(static_cast<int>(value.vt())) + ":" + platform::CStr(value);
}

class RecalculateFeaturesTest : public testing::ServiceRootTest {
 protected:
  std::string Text(const std::string& name) { return platform::CStr(system_.GetValue(name)); }
  void Set(const std::string& name, const std::string& text) { system_.SetValue(name, Variant(text)); }

  settings::cSettings system_;
};

TEST_F(RecalculateFeaturesTest, SuiteLetterAllowedAndNewFeaturesInitialised) {
  Set("features.allowed", "AS");
  Set("features.disabled", "w");  // lower case still removes W
  Set("av.level", "7");           // already set: the template leaves it
  Set("tmp.keep", "transient");
  RecalculateFeatures(system_);

  EXPECT_EQ(Text("features.allowed"), "AWPBD");
  EXPECT_EQ(Text("features.installed"), "AWF");
  EXPECT_EQ(Text("features.available"), "AW");
  EXPECT_EQ(Text("features.initialized"), "AW");
  EXPECT_EQ(Text("features.selected"), "AW");
  EXPECT_EQ(Text("features.enabled"), "AW");
  EXPECT_EQ(Text("features.runnable"), "A");
  // Both templates of A's packages ran; F is not available, so its did not.
  EXPECT_EQ(Typed(system_.GetValue("legacy.featureantivirus")), "8:True");
  EXPECT_EQ(Text("av.level"), "7");
  EXPECT_EQ(Text("av.extra"), "on");
  EXPECT_FALSE(system_.Exists("legacy.featurefirewall"));
  EXPECT_EQ(Text("tmp.keep"), "transient");
  EXPECT_TRUE(system_.Dirty());

  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "Allowed Features: [AWPBD]",
                               "Feature list length is 3",
                               "Found feature with id A",
                               "Found feature with id W",
                               "Found feature with id F",
                               "Returning installed features AWF",
                               "Installed Features: [AWF]",
                               "Available Features: [AW]",
                               "Initialized Features: []",
                               "Uninitialized Features: [AW]",
                               "Selected Features: []",
                               "Initializing Feature 'A'",
                               "Applying init template 'antivirus'",
                               "Applying init template 'avextra'",
                               "Initializing Feature 'W'",
                               "Initialized Features is now: [AW]",
                               "Selected Features is now: [AW]",
                               "Requery Feature Plugins",
                               "Plugin XML is \r\n",
                               "No plugins detected",
                               "Enabled Features: [AW]",
                               "Disabled Features: [w]",
                               "Runnable Features: [A]",
                           }));
}

TEST_F(RecalculateFeaturesTest, FeatureNoLongerAvailableLeavesInitializedButStaysSelected) {
  Set("features.allowed", "AW");
  Set("features.initialized", "AFX");
  Set("features.selected", "AFX");
  RecalculateFeatures(system_);

  EXPECT_EQ(Text("features.initialized"), "AW");
  EXPECT_EQ(Text("features.selected"), "AFXW");
  EXPECT_EQ(Text("features.enabled"), "AW");
  EXPECT_EQ(Text("features.runnable"), "AW");
  EXPECT_TRUE(Logged("Uninitialized Features: [W]"));
  EXPECT_TRUE(Logged("Recalculated Initialized features to A"));
  EXPECT_TRUE(Logged("Initialized Features is now: [AW]"));
  // A was initialised before: its templates do not run again.
  EXPECT_FALSE(system_.Exists("legacy.featureantivirus"));
}

TEST_F(RecalculateFeaturesTest, NothingToInitialiseRunsNoTemplate) {
  Set("features.allowed", "AW");
  Set("features.initialized", "wa");
  Set("features.selected", "A");
  Set("legacy.featureAntivirus", "");
  RecalculateFeatures(system_);

  EXPECT_EQ(Text("features.initialized"), "wa");
  EXPECT_EQ(Text("features.enabled"), "A");
  EXPECT_EQ(Text("legacy.featureantivirus"), "");
  EXPECT_TRUE(Logged("Uninitialized Features: []"));
  EXPECT_TRUE(LogMessagesStartingWith("Initializing").empty());
  EXPECT_TRUE(LogMessagesStartingWith("Applying").empty());
  EXPECT_TRUE(LogMessagesStartingWith("Initialized Features is now").empty());
  EXPECT_TRUE(LogMessagesStartingWith("Recalculated").empty());
}

TEST_F(RecalculateFeaturesTest, UnreadableSettingsCountAsEmptyAndNoConfigurationMeansNothingRuns) {
  WriteBranding("", "", "");
  system_.SetValue("features.allowed", Variant::Null());  // CStr of Null fails
  // A nested collection has no text form (an array, once used here, is now
  // refused by the collection itself).
  system_.SetValue("features.selected", Variant(std::make_shared<settings::cSettings>()));
  RecalculateFeatures(system_);

  EXPECT_EQ(Text("features.installed"), "");
  EXPECT_EQ(Text("features.available"), "");
  EXPECT_EQ(Text("features.enabled"), "");
  EXPECT_EQ(Text("features.runnable"), "");
  EXPECT_TRUE(Logged("Allowed Features: []"));
  EXPECT_TRUE(Logged("Selected Features: []"));
  EXPECT_TRUE(Logged("Runnable Features: []"));
}

TEST_F(RecalculateFeaturesTest, InitTemplateFillsOnlyEmptySettingsUnlessOverwriting) {
  Set("av.level", "7");
  Set("legacy.featureantivirus", "");
  system_.SetValue("sys.count", Variant(int32_t{5}));
  EXPECT_TRUE(ApplyInitTemplate(system_, "antivirus", false));
  EXPECT_EQ(Text("av.level"), "7");
  EXPECT_EQ(Text("legacy.featureantivirus"), "True");
  EXPECT_EQ(Typed(system_.GetValue("sys.count")), "3:5");  // other values keep their type

  EXPECT_TRUE(ApplyInitTemplate(system_, "antivirus", true));
  EXPECT_EQ(Text("av.level"), "3");

  // A template that does not exist changes nothing.
  settings::cSettings clean;
  clean.CreateSnapshotFromString(settings::kEmptySnapshot);
  EXPECT_TRUE(ApplyInitTemplate(clean, "no-such-template", false));
  EXPECT_EQ(clean.Count(), 0u);
  EXPECT_FALSE(clean.Dirty());
}

}  // namespace
}  // namespace service
