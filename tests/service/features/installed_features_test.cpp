// The installed set from the branding configuration's "/features".
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/basic/err.h"
#include "service/features/feature_fixture.h"
#include "service/features/features.h"
#include "support/branding/branding_resolver.h"

namespace service {
namespace {

using InstalledFeaturesTest = testing::ServiceRootTest;

TEST_F(InstalledFeaturesTest, LettersOfTheChildrenInOrderWithEveryLine) {
  WriteBranding(R"(<features><feature amsid="F"/><!-- note --><feature amsid="AB"/><feature amsid="A"/>)"
                R"(<feature amsid="F"/></features>)",
                "", "");
  EXPECT_EQ(GetInstalledFeatures(), "FA");
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "Feature list length is 5",
                               "Found feature with id F",
                               "Found feature with id AB",
                               "AddFeature - Feature 'AB' is not a valid feature",
                               "Found feature with id A",
                               "Found feature with id F",
                               "Returning installed features FA",
                           }));
}

TEST_F(InstalledFeaturesTest, MissingFragmentGivesTheEmptySet) {
  WriteBranding("", "", "");
  EXPECT_EQ(GetInstalledFeatures(), "");
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "Feature XML was missing or invalid:",
                               "FeatureXML is ",
                               "Feature list length is 0",
                               "No features returned",
                               "Feature XML is ",
                               "Feature document XML is ",
                               "Feature document element name is ",
                           }));
}

// A resolver whose configuration lookups fail.
class FailingBranding : public support::BrandingResolver {
 public:
  std::string ConfigurationXml(const std::string&, const std::string&) override {
    platform::RaiseError(70, "Permission denied", "FailingBranding");
  }
};

TEST_F(InstalledFeaturesTest, FailingLookupIsLoggedAndGivesTheEmptySet) {
  contracts::ScopedSupportOverride<contracts::BrandingResolver> failing(std::make_shared<FailingBranding>());
  EXPECT_EQ(GetInstalledFeatures(), "");
  const auto messages = LogMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), "Error is 'Permission denied'");
  EXPECT_TRUE(Logged("No features returned"));
}

}  // namespace
}  // namespace service
