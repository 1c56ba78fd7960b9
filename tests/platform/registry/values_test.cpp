// Values: every type stored as raw bytes with its type, sizes, the default
// value, overwrites and large data.
#include <string>

#include "registry_fixture.h"

namespace platform::registry {
namespace {

class ValuesTest : public RegistryTest {};

TEST_F(ValuesTest, EveryTypeKeepsItsBytes) {
  struct Case {
    const char* name;
    DWORD type;
    std::string bytes;
  };
  const Case cases[] = {
      {"sz", kRegSz, std::string("text\0", 5)},
      {"sz without NUL", kRegSz, "raw"},
      {"expand", kRegExpandSz, std::string("%windir%\\x\0", 11)},
      {"binary", kRegBinary, std::string("\x00\x01\xff\x00", 4)},
      {"dword", kRegDword, std::string("\x04\x00\x00\x00", 4)},
      {"multi", kRegMultiSz, std::string("a\0bc\0\0", 6)},
      {"qword", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {"none", kRegNone, "x"},
      {"unknown type", 0x12345, "odd"},
      {"empty binary", kRegBinary, ""},
      {"empty sz", kRegSz, ""},
  };
  HKEY key = Create("Types");
  for (const Case& c : cases) {
    ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.bytes.data()),
                             static_cast<DWORD>(c.bytes.size())),
              kErrorSuccess)
        << c.name;
  }
  ResetHiveForTesting();  // read back from the file, not the cache
  key = Open("Types", kKeyRead);
  for (const Case& c : cases) {
    DWORD type = 99;
    EXPECT_EQ(Query(key, c.name, &type), c.bytes) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
  }
  // Enumeration reports the same.
  char name[64];
  BYTE data[64];
  for (DWORD i = 0;; ++i) {
    DWORD name_size = sizeof(name), data_size = sizeof(data), type = 0;
    LONG result = RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &data_size);
    if (result == kErrorNoMoreItems) break;
    ASSERT_EQ(result, kErrorSuccess);
    bool matched = false;
    for (const Case& c : cases) {
      if (std::string(c.name) != name) continue;
      matched = true;
      EXPECT_EQ(type, c.type) << name;
      EXPECT_EQ(std::string(reinterpret_cast<char*>(data), data_size), c.bytes) << name;
    }
    EXPECT_TRUE(matched) << name;
  }
  RegCloseKey(key);
}

TEST_F(ValuesTest, NullAndEmptyNamesAreTheDefaultValue) {
  HKEY key = Create("Default");
  ASSERT_EQ(SetString(key, nullptr, "by null"), kErrorSuccess);
  EXPECT_EQ(Query(key, ""), std::string("by null\0", 8));
  ASSERT_EQ(SetString(key, "", "by empty"), kErrorSuccess);
  EXPECT_EQ(Query(key, nullptr), std::string("by empty\0", 9));
  EXPECT_THAT(ValueNames(key), ::testing::ElementsAre(""));
  EXPECT_EQ(RegDeleteValueA(key, nullptr), kErrorSuccess);
  EXPECT_EQ(Query(key, ""), "<code 2>");
  RegCloseKey(key);
}

TEST_F(ValuesTest, OverwriteChangesTypeAndSize) {
  HKEY key = Create("Overwrite");
  ASSERT_EQ(SetString(key, "v", "a long text value"), kErrorSuccess);
  DWORD number = 7;
  ASSERT_EQ(RegSetValueExA(key, "v", 0, kRegDword, reinterpret_cast<const BYTE*>(&number), 4), kErrorSuccess);
  DWORD type = 0;
  EXPECT_EQ(Query(key, "v", &type), std::string("\x07\x00\x00\x00", 4));
  EXPECT_EQ(type, kRegDword);
  ASSERT_EQ(RegDeleteValueA(key, "V"), kErrorSuccess);
  EXPECT_EQ(Query(key, "v"), "<code 2>");
  EXPECT_EQ(RegDeleteValueA(key, "v"), kErrorFileNotFound);
  RegCloseKey(key);
}

TEST_F(ValuesTest, LargeValuesAndLongNames) {
  HKEY key = Create("Large");
  std::string big(3 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31);
  ASSERT_EQ(RegSetValueExA(key, "big", 0, kRegBinary, reinterpret_cast<const BYTE*>(big.data()),
                           static_cast<DWORD>(big.size())),
            kErrorSuccess);
  EXPECT_EQ(Query(key, "big"), big);
  big[5] = 'x';
  ASSERT_EQ(RegSetValueExA(key, "big", 0, kRegBinary, reinterpret_cast<const BYTE*>(big.data()),
                           static_cast<DWORD>(big.size())),
            kErrorSuccess);
  EXPECT_EQ(Query(key, "big"), big);

  std::string longest(kMaxValueNameLength, 'n');
  EXPECT_EQ(SetString(key, longest.c_str(), "ok"), kErrorSuccess);
  EXPECT_EQ(Query(key, longest.c_str()), std::string("ok\0", 3));
  std::string too_long(kMaxValueNameLength + 1, 'n');
  EXPECT_EQ(SetString(key, too_long.c_str(), "no"), kErrorInvalidParameter);
  RegCloseKey(key);
}

TEST_F(ValuesTest, NamesMayHoldAnyByteButNul) {
  HKEY key = Create("Odd");
  for (const char* name : {"with\\backslash", "tab\there", "quote'; DROP TABLE hive_values; --", "\xff\xfe"}) {
    ASSERT_EQ(SetString(key, name, name), kErrorSuccess) << name;
    EXPECT_EQ(Query(key, name), std::string(name) + '\0') << name;
  }
  EXPECT_EQ(ValueNames(key).size(), 4u);
  RegCloseKey(key);
}

}  // namespace
}  // namespace platform::registry
