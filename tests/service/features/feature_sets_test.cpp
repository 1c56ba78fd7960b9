// Letter arithmetic of the feature sets.
#include <string>

#include <gtest/gtest.h>

#include "service/features/feature_fixture.h"
#include "service/features/features.h"

namespace service {
namespace {

using FeatureSetsTest = testing::ServiceRootTest;

TEST_F(FeatureSetsTest, AddFeatureAppendsOneLetterOnce) {
  struct Case {
    const char* set;
    const char* letter;
    const char* result;
  };
  const Case cases[] = {
      {"", "A", "A"},     {"AF", "W", "AFW"}, {"AF", "F", "AF"},
      {"AF", "a", "AFa"},  // letter case counts here
      {"AF", "AB", "AF"}, {"AF", "", "AF"},
  };
  for (const Case& c : cases) EXPECT_EQ(AddFeature(c.set, c.letter), c.result) << c.set << " + " << c.letter;
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"AddFeature - Feature 'AB' is not a valid feature",
                                                     "AddFeature - Feature '' is not a valid feature"}));
}

TEST_F(FeatureSetsTest, DifferenceAndIntersectionIgnoreLetterCase) {
  struct Case {
    const char* a;
    const char* b;
    const char* difference;
    const char* intersection;
  };
  const Case cases[] = {
      {"AWPBD", "AF", "WPBD", "A"},
      {"AWF", "w", "AF", "W"},
      {"awf", "AW", "f", "aw"},
      {"AAF", "A", "F", "AA"},  // a repeated letter stays repeated
      {"FA", "AF", "", "FA"},   // a's order
      {"", "AF", "", ""},
      {"AF", "", "AF", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FeatureDifference(c.a, c.b), c.difference) << c.a << " - " << c.b;
    EXPECT_EQ(FeatureIntersection(c.a, c.b), c.intersection) << c.a << " & " << c.b;
  }
}

}  // namespace
}  // namespace service
