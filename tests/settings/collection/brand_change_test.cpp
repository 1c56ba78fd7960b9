// "tmp.dobrandchange": the brand switch and the plug-in notification.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "contracts/support_objects.h"
#include "settings/collection/c_settings.h"
#include "settings/collection/settings_test_support.h"

namespace settings {
namespace {

using platform::Variant;

// Records the calls the collection makes on the branding resolver.
class RecordingBranding : public contracts::BrandingResolver {
 public:
  explicit RecordingBranding(std::vector<std::string>& calls) : calls_(calls) {}
  void Initialise() override { calls_.push_back("Initialise"); }
  void Reset() override { calls_.push_back("Reset"); }
  void SwitchBrand(const std::string& brand) override { calls_.push_back("SwitchBrand(" + brand + ")"); }
  std::string ActiveBrand() override { return "test"; }
  std::string Expand(const std::string& text, const std::string&) override { return text; }
  std::string LookupString(const std::string&, const std::string& fallback) override { return fallback; }
  platform::xml::NodeList LookupNodes(const std::string&) override { return {}; }
  std::string ConfigurationXml(const std::string&, const std::string&) override { return {}; }

 private:
  std::vector<std::string>& calls_;
};

class BrandChangeTest : public settings_testing::SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    SetBrandChangeListener([this] {
      // The value is stored after the plug-ins heard of the change.
      calls_.push_back(settings_->Exists("tmp.dobrandchange") ? "Notify(stored)" : "Notify");
    });
  }
  std::vector<std::string> calls_;
  contracts::ScopedSupportOverride<contracts::BrandingResolver> branding_{
      std::make_shared<RecordingBranding>(calls_)};
  std::shared_ptr<cSettings> settings_ = std::make_shared<cSettings>();
};

TEST_F(BrandChangeTest, TrueSwitchesTheBrandResetsAndNotifiesTwiceBeforeStoring) {
  settings_->SetValue("tmp.dobrandchange", true);
  EXPECT_EQ(calls_, (std::vector<std::string>{"SwitchBrand()", "Reset", "Notify", "Notify"}));
  EXPECT_TRUE(settings_->GetValue("tmp.dobrandchange").BoolValue());
}

TEST_F(BrandChangeTest, OnlyTheExactNameAndTheValueTrueSwitch) {
  struct Case {
    const char* name;
    Variant value;
    bool switches;
  };
  const Case cases[] = {
      {"tmp.dobrandchange", Variant(-1), true},      {"TMP.DOBRANDCHANGE", Variant(true), false},
      {"tmp.DoBrandChange", Variant(true), false},   {"tmp.dobrandchange", Variant("True"), false},
      {"tmp.dobrandchange", Variant(false), false},  {"tmp.dobrandchange", Variant(1), false},
      {"tmp.dobrandchange", Variant::Null(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + platform::DebugString(c.value));
    calls_.clear();
    auto settings = std::make_shared<cSettings>();
    settings->SetValue(c.name, c.value);
    EXPECT_EQ(!calls_.empty(), c.switches);
    EXPECT_TRUE(settings->Exists("tmp.dobrandchange"));
  }
}

TEST_F(BrandChangeTest, WithoutAListenerTheBrandStillSwitches) {
  SetBrandChangeListener({});
  settings_->SetValue("tmp.dobrandchange", true);
  EXPECT_EQ(calls_, (std::vector<std::string>{"SwitchBrand()", "Reset"}));
}

}  // namespace
}  // namespace settings
