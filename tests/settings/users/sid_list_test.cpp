#include "settings/users/sid_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace settings {
namespace {

TEST(SidList, ReadsEntriesAndWritesEachFollowedByABar) {
  struct Case {
    std::string text;
    std::vector<std::string> entries;
    std::string written;
  } cases[] = {
      {"", {}, ""},
      {"|", {""}, "|"},
      {"*|", {"*"}, "*|"},
      {"A|B|", {"A", "B"}, "A|B|"},
      {"A|B", {"A", "B"}, "A|B|"},  // a last entry without its bar still counts
      {"|C|", {"", "C"}, "|C|"},
      {"A||B|", {"A", "", "B"}, "A||B|"},
  };
  for (const Case& c : cases) {
    SidList list(c.text);
    EXPECT_EQ(list.Entries(), c.entries) << c.text;
    EXPECT_EQ(list.Text(), c.written) << c.text;
  }
}

TEST(SidList, MatchesWholeEntriesWithoutRegardToCase) {
  SidList list("S-1-22-1-10000|s-1-22-1-1001|");
  EXPECT_FALSE(list.Contains("S-1-22-1-1000"));  // a prefix of the first entry
  EXPECT_FALSE(list.Contains("S-1-22-1-100"));
  EXPECT_TRUE(list.Contains("S-1-22-1-1001"));
  EXPECT_TRUE(list.Contains("s-1-22-1-10000"));

  list.Append("S-1-22-1-1000");
  list.Append("S-1-22-1-1000");
  list.RemoveAll("s-1-22-1-1000");
  EXPECT_EQ(list.Text(), "S-1-22-1-10000|s-1-22-1-1001|");
  list.RemoveAll("S-1-22-1-10000");
  EXPECT_EQ(list.Text(), "s-1-22-1-1001|");
}

// A sync removes and appends the same identifiers in any order between
// reads: each read sees exactly the entries left, in their order.
TEST(SidList, RemovalsAndAppendsInAnyOrderKeepTheOrderOfWhatIsLeft) {
  SidList list("A|b|C|a|");
  list.RemoveAll("a");
  list.Append("A");
  EXPECT_TRUE(list.Contains("a"));
  EXPECT_EQ(list.Text(), "b|C|A|");
  list.RemoveAll("c");
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"b", "A"}));
  list.Append("c");
  list.RemoveAll("B");
  list.RemoveAll("zz");  // not there: nothing changes
  EXPECT_FALSE(list.Contains("b"));
  EXPECT_EQ(list.Text(), "A|c|");
  list.RemoveAll("a");
  list.RemoveAll("C");
  EXPECT_EQ(list.Text(), "");
  EXPECT_FALSE(list.Contains(""));
}

TEST(SidList, UserEntriesAreNeitherEmptyNorTheGuest) {
  EXPECT_FALSE(IsUserEntry(""));
  EXPECT_FALSE(IsUserEntry("*"));
  EXPECT_TRUE(IsUserEntry("S-1-22-1-0"));
  EXPECT_TRUE(IsUserEntry("**"));
}

}  // namespace
}  // namespace settings
