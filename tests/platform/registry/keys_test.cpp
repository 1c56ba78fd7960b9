// Keys: creation, names and their case, enumeration order, deletion, and
// handles that outlive their keys.
#include <set>
#include <string>
#include <vector>

#include "registry_fixture.h"

namespace platform::registry {
namespace {

using ::testing::ElementsAre;

class KeysTest : public RegistryTest {};

TEST_F(KeysTest, CreateMakesEveryMissingKeyAndReportsDisposition) {
  HKEY key = 0;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5", 0, nullptr, 0, kKeyAllAccess,
                            nullptr, &key, &disposition),
            kErrorSuccess);
  EXPECT_EQ(disposition, kRegCreatedNewKey);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(kHkeyLocalMachine, "software\\norvale\\veltris\\V1.5\\", 0, nullptr, 0, kKeyAllAccess,
                            nullptr, &key, &disposition),
            kErrorSuccess);
  EXPECT_EQ(disposition, kRegOpenedExistingKey);
  RegCloseKey(key);
  HKEY norvale = Open("SOFTWARE\\Norvale");
  EXPECT_THAT(Subkeys(norvale), ElementsAre("Veltris"));
  RegCloseKey(norvale);
}

TEST_F(KeysTest, NamesCompareWithoutCaseAndKeepTheFirstSpelling) {
  HKEY first = Create("Software\\MixedCase");
  ASSERT_EQ(SetString(first, "TraceLevel", "4"), kErrorSuccess);
  HKEY again = Create("SOFTWARE\\MIXEDCASE");
  EXPECT_EQ(Query(again, "tracelevel"), std::string("4\0", 2));
  ASSERT_EQ(SetString(again, "TRACELEVEL", "5"), kErrorSuccess);
  EXPECT_EQ(Query(first, "TraceLevel"), std::string("5\0", 2));
  EXPECT_THAT(ValueNames(first), ElementsAre("TraceLevel"));
  HKEY software = Open("software");
  EXPECT_THAT(Subkeys(software), ElementsAre("MixedCase"));
  HKEY lm = kHkeyLocalMachine;
  EXPECT_THAT(Subkeys(lm), ElementsAre("Software"));
  // Only ASCII letters fold: other bytes are compared as they are.
  Create("Software\\\xC3\x84");  // "Ä"
  HKEY lower = 0;
  EXPECT_EQ(RegOpenKeyExA(software, "\xC3\xA4", 0, kKeyRead, &lower), kErrorFileNotFound);  // "ä"
  for (HKEY key : {first, again, software}) RegCloseKey(key);
}

TEST_F(KeysTest, EnumerationIsSortedWithoutRegardToCase) {
  HKEY parent = Create("Sorted");
  for (const char* name : {"beta", "_under", "Alpha", "gamma", "ALPHA2", "10", "9"}) {
    RegCloseKey(Create((std::string("Sorted\\") + name).c_str()));
    ASSERT_EQ(SetString(parent, name, name), kErrorSuccess);
  }
  // Sorted as upper case, byte by byte: digits, letters, then "_".
  const std::vector<std::string> expected = {"10", "9", "Alpha", "ALPHA2", "beta", "gamma", "_under"};
  EXPECT_EQ(Subkeys(parent), expected);
  // Values keep the order they were written in.
  EXPECT_EQ(ValueNames(parent),
            (std::vector<std::string>{"beta", "_under", "Alpha", "gamma", "ALPHA2", "10", "9"}));
  RegCloseKey(parent);
}

TEST_F(KeysTest, ClassAndCreationTimeAreReported) {
  HKEY parent = Create("WithClass");
  HKEY child = 0;
  ASSERT_EQ(RegCreateKeyExA(parent, "Child", 0, "MyClass", 0, kKeyRead, nullptr, &child, nullptr), kErrorSuccess);
  char name[32], key_class[32];
  DWORD name_size = sizeof(name), class_size = sizeof(key_class);
  FILETIME written;
  ASSERT_EQ(RegEnumKeyExA(parent, 0, name, &name_size, nullptr, key_class, &class_size, &written), kErrorSuccess);
  EXPECT_STREQ(key_class, "MyClass");
  EXPECT_EQ(class_size, 7u);
  uint64_t ticks = (uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
  EXPECT_GT(ticks, 132000000000000000ULL);  // after 2019
  RegCloseKey(child);
  RegCloseKey(parent);
}

TEST_F(KeysTest, OpeningNothingGivesTheSameKey) {
  HKEY same = 0;
  ASSERT_EQ(RegOpenKeyExA(kHkeyUsers, nullptr, 0, kKeyRead, &same), kErrorSuccess);
  EXPECT_EQ(same, kHkeyUsers);
  EXPECT_EQ(RegCloseKey(kHkeyUsers), kErrorSuccess);  // closing a root does nothing
  HKEY key = Create("Twice");
  HKEY again = 0;
  ASSERT_EQ(RegOpenKeyExA(key, "", 0, kKeyAllAccess, &again), kErrorSuccess);
  EXPECT_NE(again, key);
  ASSERT_EQ(SetString(again, "v", "x"), kErrorSuccess);
  EXPECT_EQ(Query(key, "v"), std::string("x\0", 2));
  RegCloseKey(key);
  EXPECT_EQ(Query(again, "v"), std::string("x\0", 2));  // the other handle is untouched
  RegCloseKey(again);
}

TEST_F(KeysTest, RootsAreSeparateTrees) {
  for (HKEY root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers}) {
    HKEY key = Create("Shared", root);
    ASSERT_EQ(SetString(key, "root", std::to_string(root)), kErrorSuccess);
    RegCloseKey(key);
  }
  HKEY users = Open("Shared", kKeyRead, kHkeyUsers);
  EXPECT_EQ(Query(users, "root"), std::to_string(kHkeyUsers) + '\0');
  RegCloseKey(users);
}

TEST_F(KeysTest, HandlesAreDistinctMultiplesOfFourBelowTheRoots) {
  std::set<HKEY> seen;
  for (int i = 0; i < 50; ++i) {
    HKEY key = Create("Handles");
    EXPECT_EQ(key % 4, 0u);
    EXPECT_LT(key, kHkeyClassesRoot);
    EXPECT_TRUE(seen.insert(key).second);
    if (i % 2 == 0) RegCloseKey(key);
  }
  for (HKEY key : seen) RegCloseKey(key);
}

TEST_F(KeysTest, AHandleOutlivesItsDeletedKey) {
  HKEY doomed = Create("Doomed");
  ASSERT_EQ(SetString(doomed, "v", "old"), kErrorSuccess);
  HKEY reader = Open("Doomed", kKeyRead);
  EXPECT_EQ(Query(reader, "v"), std::string("old\0", 4));  // cached now

  ASSERT_EQ(RegDeleteKeyA(kHkeyLocalMachine, "DOOMED"), kErrorSuccess);
  BYTE data[8];
  DWORD size = sizeof(data);
  EXPECT_EQ(RegQueryValueExA(reader, "v", nullptr, nullptr, data, &size), kErrorKeyDeleted);
  EXPECT_EQ(SetString(doomed, "v", "new"), kErrorKeyDeleted);
  EXPECT_EQ(RegDeleteValueA(doomed, "v"), kErrorKeyDeleted);
  char name[16];
  DWORD name_size = sizeof(name);
  EXPECT_EQ(RegEnumValueA(reader, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr), kErrorKeyDeleted);

  // A key of the same name is a new key: the old handles stay dead.
  HKEY reborn = Create("Doomed");
  ASSERT_EQ(SetString(reborn, "v", "reborn"), kErrorSuccess);
  EXPECT_EQ(RegQueryValueExA(reader, "v", nullptr, nullptr, data, &size), kErrorKeyDeleted);
  EXPECT_EQ(RegCloseKey(reader), kErrorSuccess);
  EXPECT_EQ(RegCloseKey(doomed), kErrorSuccess);
  EXPECT_EQ(Query(reborn, "v"), std::string("reborn\0", 7));
  RegCloseKey(reborn);
}

TEST_F(KeysTest, DeleteKeyThroughItsOwnHandle) {
  HKEY key = Create("Self");
  ASSERT_EQ(SetString(key, "v", "x"), kErrorSuccess);
  EXPECT_EQ(RegDeleteKeyA(key, ""), kErrorSuccess);
  EXPECT_EQ(SetString(key, "v", "x"), kErrorKeyDeleted);
  HKEY again = 0;
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "Self", 0, kKeyRead, &again), kErrorFileNotFound);
  RegCloseKey(key);
}

TEST_F(KeysTest, DeleteTreeRemovesEverythingBelow) {
  HKEY deep = Create("Tree\\A\\B\\C");
  ASSERT_EQ(SetString(deep, "v", "x"), kErrorSuccess);
  HKEY tree = Create("Tree");
  ASSERT_EQ(SetString(tree, "top", "x"), kErrorSuccess);
  Create("Tree\\D");

  // Null subkey: what is below goes, the key and nothing else stays.
  EXPECT_EQ(RegDeleteTreeA(tree, nullptr), kErrorSuccess);
  EXPECT_TRUE(Subkeys(tree).empty());
  EXPECT_TRUE(ValueNames(tree).empty());
  EXPECT_EQ(SetString(deep, "v", "x"), kErrorKeyDeleted);

  Create("Tree\\E\\F");
  EXPECT_EQ(RegDeleteTreeA(kHkeyLocalMachine, "tree"), kErrorSuccess);
  HKEY gone = 0;
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "Tree", 0, kKeyRead, &gone), kErrorFileNotFound);
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "Tree\\E\\F", 0, kKeyRead, &gone), kErrorFileNotFound);
  EXPECT_EQ(RegDeleteTreeA(kHkeyLocalMachine, nullptr), kErrorAccessDenied);  // never a whole root
  RegCloseKey(deep);
  RegCloseKey(tree);
}

TEST_F(KeysTest, EnumerationWhileDeletingIndexZero) {
  HKEY parent = Create("Drain");
  for (int i = 0; i < 5; ++i) RegCloseKey(Create(("Drain\\k" + std::to_string(i)).c_str()));
  char name[32];
  int deleted = 0;
  while (true) {
    DWORD size = sizeof(name);
    LONG result = RegEnumKeyExA(parent, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == kErrorNoMoreItems) break;
    ASSERT_EQ(result, kErrorSuccess);
    ASSERT_EQ(RegDeleteKeyA(parent, name), kErrorSuccess);
    ++deleted;
  }
  EXPECT_EQ(deleted, 5);
  RegCloseKey(parent);
}

TEST_F(KeysTest, TheHiveFollowsTheMachineRoot) {
  HKEY key = Create("Follow");
  ASSERT_EQ(SetString(key, "where", "first"), kErrorSuccess);
  testing_support::TempRoot other;
  SetMachineRoot(other.path());
  HKEY missing = 0;
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "Follow", 0, kKeyRead, &missing), kErrorFileNotFound);
  EXPECT_EQ(SetString(key, "where", "second"), kErrorInvalidHandle);  // handles belong to their hive
  EXPECT_TRUE(std::filesystem::exists(other / "registry.db"));
  SetMachineRoot(root_.path());
  HKEY back = Open("Follow", kKeyRead);
  EXPECT_EQ(Query(back, "where"), std::string("first\0", 6));
  RegCloseKey(back);
}

}  // namespace
}  // namespace platform::registry
