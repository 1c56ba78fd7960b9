// The convenience helpers and key path parsing.
#include <optional>
#include <string>
#include <vector>

#include "platform/registry/key_path.h"
#include "platform/registry/registry_helpers.h"
#include "registry_fixture.h"

namespace platform::registry {
namespace {

class HelpersTest : public RegistryTest {};

constexpr const char* kProduct = "SOFTWARE\\Norvale\\Veltris\\v1.5";

TEST_F(HelpersTest, StringsAndNumbersRoundTrip) {
  ASSERT_EQ(WriteStringValue(kHkeyLocalMachine, kProduct, "installdir", "/opt/veltris"), kErrorSuccess);
  ASSERT_EQ(WriteStringValue(kHkeyLocalMachine, kProduct, "Path", "%windir%\\x", kRegExpandSz), kErrorSuccess);
  ASSERT_EQ(WriteDwordValue(kHkeyLocalMachine, kProduct, "TraceLevel", 4), kErrorSuccess);
  ASSERT_EQ(WriteQwordValue(kHkeyLocalMachine, kProduct, "Big", 0x1122334455667788ULL), kErrorSuccess);

  EXPECT_EQ(ReadStringValue(kHkeyLocalMachine, kProduct, "INSTALLDIR"), "/opt/veltris");
  EXPECT_EQ(ReadStringValue(kHkeyLocalMachine, kProduct, "Path"), "%windir%\\x");
  EXPECT_EQ(ReadDwordValue(kHkeyLocalMachine, kProduct, "TraceLevel"), 4u);
  EXPECT_EQ(ReadQwordValue(kHkeyLocalMachine, kProduct, "Big"), 0x1122334455667788ULL);
  RegValue raw;
  ASSERT_EQ(ReadValue(kHkeyLocalMachine, kProduct, "installdir", &raw), kErrorSuccess);
  EXPECT_EQ(raw.data, std::string("/opt/veltris\0", 13));  // stored with its NUL
  EXPECT_EQ(raw.type, kRegSz);

  // Wrong type, wrong size, missing value, missing key: all empty.
  EXPECT_EQ(ReadDwordValue(kHkeyLocalMachine, kProduct, "installdir"), std::nullopt);
  EXPECT_EQ(ReadStringValue(kHkeyLocalMachine, kProduct, "TraceLevel"), std::nullopt);
  ASSERT_EQ(WriteValue(kHkeyLocalMachine, kProduct, "Short", kRegDword, "ab"), kErrorSuccess);
  EXPECT_EQ(ReadDwordValue(kHkeyLocalMachine, kProduct, "Short"), std::nullopt);
  EXPECT_EQ(ReadStringValue(kHkeyLocalMachine, kProduct, "nothing"), std::nullopt);
  EXPECT_EQ(ReadStringValue(kHkeyLocalMachine, "SOFTWARE\\Nobody", "x"), std::nullopt);
  EXPECT_EQ(ReadValue(kHkeyLocalMachine, kProduct, "nothing", &raw), kErrorFileNotFound);
}

TEST_F(HelpersTest, KeysListsAndTrees) {
  EXPECT_FALSE(KeyExists(kHkeyLocalMachine, kProduct));
  ASSERT_EQ(CreateKey(kHkeyLocalMachine, std::string(kProduct) + "\\Sub\\Deeper"), kErrorSuccess);
  ASSERT_EQ(CreateKey(kHkeyLocalMachine, std::string(kProduct) + "\\Another"), kErrorSuccess);
  EXPECT_TRUE(KeyExists(kHkeyLocalMachine, kProduct));
  EXPECT_TRUE(KeyExists(kHkeyLocalMachine, ""));
  std::string big(100000, 'b');
  ASSERT_EQ(WriteValue(kHkeyLocalMachine, kProduct, "big", kRegBinary, big), kErrorSuccess);
  ASSERT_EQ(WriteDwordValue(kHkeyLocalMachine, kProduct, "a", 1), kErrorSuccess);

  std::vector<std::string> names;
  ASSERT_EQ(ListSubkeys(kHkeyLocalMachine, kProduct, &names), kErrorSuccess);
  EXPECT_EQ(names, (std::vector<std::string>{"Another", "Sub"}));
  std::vector<RegValue> values;
  ASSERT_EQ(ListValues(kHkeyLocalMachine, kProduct, &values), kErrorSuccess);
  ASSERT_EQ(values.size(), 2u);
  // In the order written.
  EXPECT_EQ(values[0].name, "big");
  EXPECT_EQ(values[1].name, "a");
  EXPECT_TRUE(values[0].data == big);

  EXPECT_EQ(DeleteValue(kHkeyLocalMachine, kProduct, "a"), kErrorSuccess);
  EXPECT_EQ(DeleteValue(kHkeyLocalMachine, kProduct, "a"), kErrorFileNotFound);
  EXPECT_EQ(DeleteKeyTree(kHkeyLocalMachine, "SOFTWARE\\Norvale"), kErrorSuccess);
  EXPECT_FALSE(KeyExists(kHkeyLocalMachine, std::string(kProduct) + "\\Sub"));
  EXPECT_TRUE(KeyExists(kHkeyLocalMachine, "SOFTWARE"));
  EXPECT_EQ(DeleteKeyTree(kHkeyLocalMachine, "SOFTWARE\\Norvale"), kErrorFileNotFound);
  EXPECT_EQ(ListSubkeys(kHkeyLocalMachine, kProduct, &names), kErrorFileNotFound);
}

TEST(KeyPathTest, ParsesRootNamesLongAndShort) {
  struct Case {
    const char* text;
    HKEY root;
    const char* sub_key;
  };
  const Case good[] = {
      {"HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5", kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE", kHkeyLocalMachine, "SOFTWARE"},
      {"hkey_local_machine\\x\\", kHkeyLocalMachine, "x"},
      {"HKCR\\.txt", kHkeyClassesRoot, ".txt"},
      {"HKEY_CLASSES_ROOT", kHkeyClassesRoot, ""},
      {"HKCU\\Console", kHkeyCurrentUser, "Console"},
      {"HKEY_CURRENT_USER\\", kHkeyCurrentUser, ""},
      {"hku\\S-1-5-18", kHkeyUsers, "S-1-5-18"},
      {"HKEY_USERS\\a/b", kHkeyUsers, "a/b"},
  };
  for (const Case& c : good) {
    std::optional<RootedKeyPath> parsed = ParseRootedKeyPath(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_EQ(parsed->root, c.root) << c.text;
    EXPECT_EQ(parsed->sub_key, c.sub_key) << c.text;
  }
  for (const char* bad : {"", "HKLM2\\x", "HKEY_CURRENT_CONFIG\\x", "\\HKLM\\x", "HKLM\\\\x", "HKLM\\a\\\\b",
                          "SOFTWARE\\Norvale"}) {
    EXPECT_FALSE(ParseRootedKeyPath(bad).has_value()) << bad;
  }
}

TEST(KeyPathTest, NamesOfRootsAndTypes) {
  EXPECT_EQ(RootKeyName(kHkeyLocalMachine), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(kHkeyUsers), "HKEY_USERS");
  EXPECT_EQ(RootKeyName(0x100), "");
  EXPECT_EQ(ValueTypeName(kRegSz), "REG_SZ");
  EXPECT_EQ(ValueTypeName(kRegQword), "REG_QWORD");
  EXPECT_EQ(ValueTypeName(kRegMultiSz), "REG_MULTI_SZ");
  EXPECT_EQ(ValueTypeName(0x12345), "");
}

}  // namespace
}  // namespace platform::registry
