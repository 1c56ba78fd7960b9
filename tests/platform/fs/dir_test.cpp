#include "platform/fs/dir.h"

#include <sys/stat.h>

#include <thread>

#include "fs_fixture.h"
#include "platform/basic/err.h"

namespace platform::fs {
namespace {

TEST(MatchesMaskTest, BasicWildcards) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  } cases[] = {
      {"system.exl", "*.exl", true},
      {"system.exb", "*.exl", false},
      {"SYSTEM.EXL", "*.exl", false},  // case counts on Linux
      {".exl", "*.exl", true},
      {"DebugSettings-010224101010.xml", "DebugSettings-*", true},
      {"debugsettings-1.xml", "DebugSettings-*", false},
      {"hearth.lo1", "hearth.lo?", true},
      {"hearth.log", "hearth.lo?", true},
      {"hearth.lo", "hearth.lo?", false},
      {"hearth.lo10", "hearth.lo?", false},
      {"fé.txt", "f?.txt", true},  // "?" takes a whole UTF-8 character
      {"noextension", "*.*", true},
      {"anything", "", true},
      {"a.b.c", "*.c", true},
      {"abcabd", "*abd", true},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},
      {"x", "x*", true},
      {"", "?", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
}

class DirTest : public FsTest {
 protected:
  void SetUp() override {
    Write("prf/b.exl", "b");
    Write("prf/a.exl", "a");
    Write("prf/c.exb", "c");
    Write("prf/.hidden.exl", "h");
    Write("prf/sub.exl/inner", "i");
    Write("prf/readonly.exl", "r");
    ::chmod(Path("prf/readonly.exl").c_str(), 0444);
  }

  std::vector<std::string> Names(std::string_view mask, int32_t attributes) {
    std::vector<std::string> names;
    for (const DirEntry& entry : ListDirectory(Path("prf"), mask, attributes)) names.push_back(entry.name);
    return names;
  }
};

using NameList = std::vector<std::string>;

TEST_F(DirTest, AttributeFiltersPickHiddenFilesAndFolders) {
  EXPECT_EQ(Names("*.exl", kNormal), (NameList{"a.exl", "b.exl", "readonly.exl"}));
  EXPECT_EQ(Names("*.exl", kHidden), (NameList{".hidden.exl", "a.exl", "b.exl", "readonly.exl"}));
  EXPECT_EQ(Names("*.exl", kDirectory), (NameList{"a.exl", "b.exl", "readonly.exl", "sub.exl"}));
  EXPECT_EQ(Names("*", kHidden | kSystem | kDirectory),
            (NameList{".hidden.exl", "a.exl", "b.exl", "c.exb", "readonly.exl", "sub.exl"}));
}

TEST_F(DirTest, EntriesCarryTheirAttributes) {
  for (const DirEntry& entry : ListDirectory(Path("prf"), "*", kHidden | kDirectory)) {
    int32_t expected = entry.name == "sub.exl"        ? kDirectory
                       : entry.name == ".hidden.exl"  ? kHidden
                       : entry.name == "readonly.exl" ? kReadOnly
                                                      : kNormal;
    EXPECT_EQ(entry.attributes, expected) << entry.name;
  }
  EXPECT_TRUE(ListDirectory(Path("missing"), "*").empty());
}

TEST_F(DirTest, DirHandsOutMatchesOneAtATime) {
  EXPECT_EQ(Dir(Path("prf/*.exl")), "a.exl");
  EXPECT_EQ(Dir(), "b.exl");
  EXPECT_EQ(Dir(), "readonly.exl");
  EXPECT_EQ(Dir(), "");
  EXPECT_EQ(Dir(), "");
  EXPECT_EQ(Dir(Path("prf/")), "a.exl");
  EXPECT_EQ(Dir(Path("prf/nothing*")), "");
  EXPECT_EQ(Dir(Path("missing/*")), "");
}

TEST_F(DirTest, DirOfAnExactNameTellsWhetherItExists) {
  EXPECT_EQ(Dir(Path("prf/a.exl")), "a.exl");
  EXPECT_EQ(Dir(Path("prf/A.exl")), "");
  EXPECT_EQ(Dir(Path("prf/sub.exl")), "");
  EXPECT_EQ(Dir(Path("prf/sub.exl"), kDirectory), "sub.exl");
  EXPECT_EQ(Dir(Path("prf"), kDirectory), "prf");
  EXPECT_EQ(Dir(Path("prf/.hidden.exl")), "");
  EXPECT_EQ(Dir(Path("prf/.hidden.exl"), kHidden), ".hidden.exl");
  EXPECT_EQ(Dir(std::string("a\0b", 3)), "");
}

TEST(DirContinuationTest, DirWithoutAListingRaisesInvalidCall) {
  // A new thread has no listing yet.
  int32_t number = -1;
  std::thread([&] {
    Step([] { Dir(); });
    number = Err::Number();
  }).join();
  EXPECT_EQ(number, kErrInvalidCall);
}

}  // namespace
}  // namespace platform::fs
