// Answers the hive gives as the Windows registry functions give them, where a
// simpler rule would differ: rights on a parent when creating below it, the
// order of values, strings stored without their NUL, and the size of a
// missing value.
#include <cstring>
#include <string>
#include <vector>

#include "registry_fixture.h"

namespace platform::registry {
namespace {

class WindowsAnswersTest : public RegistryTest {};

TEST_F(WindowsAnswersTest, CreatingBelowAParentNeedsNoRightOnIt) {
  Create("Parent");
  struct Case {
    const char* name;
    REGSAM parent_access;
  };
  const Case cases[] = {
      {"notify only", kKeyNotify},
      {"set value and enumerate", kKeySetValue | kKeyEnumerateSubKeys},
      {"read", kKeyRead},
      {"no right at all", 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    HKEY parent = Open("Parent", c.parent_access);
    std::string child = "Child" + std::to_string(n++);
    HKEY created = 0;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExA(parent, child.c_str(), 0, nullptr, 0, kKeyAllAccess, nullptr, &created, &disposition),
              kErrorSuccess)
        << c.name;
    EXPECT_EQ(disposition, kRegCreatedNewKey) << c.name;
    // The new handle has the rights asked for, whatever the parent had.
    EXPECT_EQ(SetString(created, "v", "x"), kErrorSuccess) << c.name;
    // Opening it again through the parent works the same way.
    HKEY again = 0;
    EXPECT_EQ(RegCreateKeyExA(parent, child.c_str(), 0, nullptr, 0, kKeyRead, nullptr, &again, &disposition),
              kErrorSuccess)
        << c.name;
    EXPECT_EQ(disposition, kRegOpenedExistingKey) << c.name;
    // Writing a value through the read-only handle is still refused.
    EXPECT_EQ(SetString(again, "w", "x"), kErrorAccessDenied) << c.name;
    for (HKEY key : {parent, created, again}) RegCloseKey(key);
  }
}

TEST_F(WindowsAnswersTest, ValuesEnumerateInTheOrderFirstWritten) {
  struct Case {
    const char* name;
    std::vector<const char*> writes;   // value names, in the order written
    std::vector<const char*> deletes;  // then deleted
    std::vector<const char*> rewrites;  // then written again
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"not sorted", {"zeta", "Alpha", "mid", "", "_x", "10", "9"}, {}, {},
       {"zeta", "Alpha", "mid", "", "_x", "10", "9"}},
      {"a rewrite keeps the place", {"b", "a", "c"}, {}, {"B", "a"}, {"b", "a", "c"}},
      {"deleted and written again goes last", {"b", "a", "c"}, {"b"}, {"b"}, {"a", "c", "b"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string path = "Order" + std::to_string(n++);
    HKEY key = Create(path.c_str());
    for (const char* name : c.writes) ASSERT_EQ(SetString(key, name, "1"), kErrorSuccess);
    for (const char* name : c.deletes) ASSERT_EQ(RegDeleteValueA(key, name), kErrorSuccess);
    for (const char* name : c.rewrites) ASSERT_EQ(SetString(key, name, "2"), kErrorSuccess);
    EXPECT_EQ(ValueNames(key), c.expected) << c.name;
    RegCloseKey(key);
  }
  // The order is in the file, not only in this process's memory.
  ResetHiveForTesting();
  HKEY key = Open("Order0", kKeyRead);
  EXPECT_EQ(ValueNames(key), cases[0].expected);
  RegCloseKey(key);
}

TEST_F(WindowsAnswersTest, SubkeysStaySortedWithoutRegardToCase) {
  HKEY parent = Create("Sorted");
  for (const char* name : {"beta", "_under", "Alpha", "gamma", "ALPHA2", "10", "9"}) {
    RegCloseKey(Create((std::string("Sorted\\") + name).c_str()));
  }
  EXPECT_EQ(Subkeys(parent), (std::vector<std::string>{"10", "9", "Alpha", "ALPHA2", "beta", "gamma", "_under"}));
  RegCloseKey(parent);
}

TEST_F(WindowsAnswersTest, StringsStoredWithoutNulGetOneWhenThereIsRoom) {
  struct Case {
    const char* name;
    DWORD type;
    std::string stored;
    DWORD buffer_size;
    LONG result;
    std::string buffer_after;  // the first bytes of the caller's buffer ('#' untouched)
  };
  const Case cases[] = {
      {"sz without NUL, room", kRegSz, "abc", 8, kErrorSuccess, std::string("abc\0####", 8)},
      {"sz without NUL, exact size", kRegSz, "abc", 3, kErrorSuccess, "abc#####"},
      {"expand sz without NUL", kRegExpandSz, "%x%", 4, kErrorSuccess, std::string("%x%\0####", 8)},
      {"multi sz without NUL", kRegMultiSz, std::string("a\0b", 3), 4, kErrorSuccess, std::string("a\0b\0####", 8)},
      {"empty sz", kRegSz, "", 1, kErrorSuccess, std::string("\0#######", 8)},
      {"sz with NUL", kRegSz, std::string("ab\0", 3), 8, kErrorSuccess, std::string("ab\0#####", 8)},
      {"binary is left as it is", kRegBinary, "abc", 8, kErrorSuccess, "abc#####"},
      {"too small", kRegSz, "abc", 2, kErrorMoreData, "########"},
  };
  HKEY key = Create("Strings");
  for (const Case& c : cases) {
    ASSERT_EQ(RegSetValueExA(key, "v", 0, c.type, reinterpret_cast<const BYTE*>(c.stored.data()),
                             static_cast<DWORD>(c.stored.size())),
              kErrorSuccess)
        << c.name;
    for (bool enumerate : {false, true}) {
      char buffer[8];
      std::memset(buffer, '#', sizeof(buffer));
      DWORD size = c.buffer_size;
      DWORD type = 0;
      LONG result;
      if (enumerate) {
        char name[8];
        DWORD name_size = sizeof(name);
        result = RegEnumValueA(key, 0, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
      } else {
        result = RegQueryValueExA(key, "v", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
      }
      const char* how = enumerate ? " (enumerated)" : " (queried)";
      EXPECT_EQ(result, c.result) << c.name << how;
      EXPECT_EQ(size, c.stored.size()) << c.name << how;  // the stored size, NUL or not
      EXPECT_EQ(type, c.type) << c.name << how;
      EXPECT_EQ(std::string(buffer, sizeof(buffer)), c.buffer_after) << c.name << how;
    }
  }
  RegCloseKey(key);
}

TEST_F(WindowsAnswersTest, SizeOfAMissingValue) {
  HKEY key = Create("Missing");
  ASSERT_EQ(SetString(key, "present", "x"), kErrorSuccess);
  struct Case {
    const char* name;
    const char* value;
    bool with_data;
    LONG result;
    DWORD size_after;
  };
  const Case cases[] = {
      {"missing, size only", "absent", false, kErrorFileNotFound, 0},
      {"missing default value, size only", nullptr, false, kErrorFileNotFound, 0},
      {"missing, with a buffer: size left alone", "absent", true, kErrorFileNotFound, 77},
      {"present, size only", "present", false, kErrorSuccess, 2},
  };
  for (const Case& c : cases) {
    BYTE buffer[80];
    DWORD size = 77;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, c.value, nullptr, &type, c.with_data ? buffer : nullptr, &size), c.result)
        << c.name;
    EXPECT_EQ(size, c.size_after) << c.name;
  }
  RegCloseKey(key);
}

}  // namespace
}  // namespace platform::registry
