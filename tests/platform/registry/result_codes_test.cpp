// Every Win32 result code of the registry functions, one table.
#include <functional>
#include <string>

#include "registry_fixture.h"

namespace platform::registry {
namespace {

// The keys every case starts from: HKLM\T with subkey Parent\Child, value
// "v" = "hello" on T, a read-only handle, a closed handle and a handle whose
// key was deleted.
struct Keys {
  HKEY t = 0;
  HKEY read_only = 0;
  HKEY no_rights = 0;
  HKEY closed = 0;
  HKEY deleted = 0;
};

struct Case {
  const char* name;
  std::function<LONG(const Keys&)> call;
  LONG expected;
};

class ResultCodesTest : public RegistryTest {};

TEST_F(ResultCodesTest, EveryCodeFromTable) {
  Keys keys;
  keys.t = Create("T");
  Create("T\\Parent\\Child");
  ASSERT_EQ(SetString(keys.t, "v", "hello"), kErrorSuccess);
  keys.read_only = Open("T", kKeyRead);
  keys.no_rights = Open("T", 0);
  keys.closed = Open("T");
  ASSERT_EQ(RegCloseKey(keys.closed), kErrorSuccess);
  keys.deleted = Create("Gone");
  ASSERT_EQ(RegDeleteKeyA(kHkeyLocalMachine, "Gone"), kErrorSuccess);

  BYTE buffer[64];
  DWORD size = sizeof(buffer);
  DWORD type = 0;
  char name[64];
  DWORD name_size = sizeof(name);
  HKEY out = 0;
  const std::string long_name(256, 'k');
  const std::string long_path = "T\\" + long_name;

  const Case cases[] = {
      // 0: success
      {"open existing", [&](const Keys&) { return RegOpenKeyExA(kHkeyLocalMachine, "t\\PARENT", 0, kKeyRead, &out); },
       kErrorSuccess},
      {"query with null data asks the size", [&](const Keys& k) {
         return RegQueryValueExA(k.t, "v", nullptr, &type, nullptr, &size); }, kErrorSuccess},
      {"create subkey through read-only handle",
       [&](const Keys& k) { return RegCreateKeyExA(k.read_only, "Parent\\New", 0, nullptr, 0, kKeyRead, nullptr, &out, nullptr); },
       kErrorSuccess},
      // 2: missing key or value
      {"open missing key", [&](const Keys&) { return RegOpenKeyExA(kHkeyLocalMachine, "T\\Nope", 0, kKeyRead, &out); },
       kErrorFileNotFound},
      {"open below missing key",
       [&](const Keys&) { return RegOpenKeyExA(kHkeyLocalMachine, "Nope\\Child", 0, kKeyRead, &out); },
       kErrorFileNotFound},
      {"query missing value", [&](const Keys& k) { return RegQueryValueExA(k.t, "w", nullptr, &type, buffer, &size); },
       kErrorFileNotFound},
      {"query missing default value",
       [&](const Keys& k) { return RegQueryValueExA(k.t, nullptr, nullptr, &type, buffer, &size); },
       kErrorFileNotFound},
      {"delete missing value", [&](const Keys& k) { return RegDeleteValueA(k.t, "w"); }, kErrorFileNotFound},
      {"delete missing key", [&](const Keys& k) { return RegDeleteKeyA(k.t, "Nope"); }, kErrorFileNotFound},
      {"delete missing tree", [&](const Keys& k) { return RegDeleteTreeA(k.t, "Nope"); }, kErrorFileNotFound},
      // 5: access denied
      {"delete key with subkeys", [&](const Keys& k) { return RegDeleteKeyA(k.t, "Parent"); }, kErrorAccessDenied},
      {"delete a root key", [&](const Keys&) { return RegDeleteKeyA(kHkeyLocalMachine, ""); }, kErrorAccessDenied},
      {"delete a root tree", [&](const Keys&) { return RegDeleteTreeA(kHkeyUsers, ""); }, kErrorAccessDenied},
      {"set through read-only handle", [&](const Keys& k) { return SetString(k.read_only, "x", "y"); },
       kErrorAccessDenied},
      {"delete value through read-only handle", [&](const Keys& k) { return RegDeleteValueA(k.read_only, "v"); },
       kErrorAccessDenied},
      {"query without query right",
       [&](const Keys& k) { return RegQueryValueExA(k.no_rights, "v", nullptr, &type, buffer, &size); },
       kErrorAccessDenied},
      {"enumerate subkeys without the right",
       [&](const Keys& k) { return RegEnumKeyExA(k.no_rights, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr); },
       kErrorAccessDenied},
      // 6: invalid handle
      {"query closed handle", [&](const Keys& k) { return RegQueryValueExA(k.closed, "v", nullptr, &type, buffer, &size); },
       kErrorInvalidHandle},
      {"close closed handle", [&](const Keys& k) { return RegCloseKey(k.closed); }, kErrorInvalidHandle},
      {"garbage handle", [&](const Keys&) { return RegOpenKeyExA(0x12345678, "T", 0, kKeyRead, &out); },
       kErrorInvalidHandle},
      {"zero handle", [&](const Keys&) { return SetString(0, "x", "y"); }, kErrorInvalidHandle},
      {"unsupported predefined root", [&](const Keys&) { return RegOpenKeyExA(0x80000005, "", 0, kKeyRead, &out); },
       kErrorInvalidHandle},
      // 87: invalid parameter
      {"open without result pointer", [&](const Keys&) { return RegOpenKeyExA(kHkeyLocalMachine, "T", 0, kKeyRead, nullptr); },
       kErrorInvalidParameter},
      {"create without subkey",
       [&](const Keys& k) { return RegCreateKeyExA(k.t, nullptr, 0, nullptr, 0, kKeyRead, nullptr, &out, nullptr); },
       kErrorInvalidParameter},
      {"delete without subkey", [&](const Keys& k) { return RegDeleteKeyA(k.t, nullptr); }, kErrorInvalidParameter},
      {"leading backslash", [&](const Keys&) { return RegOpenKeyExA(kHkeyLocalMachine, "\\T", 0, kKeyRead, &out); },
       kErrorInvalidParameter},
      {"empty component", [&](const Keys&) { return RegOpenKeyExA(kHkeyLocalMachine, "T\\\\Parent", 0, kKeyRead, &out); },
       kErrorInvalidParameter},
      {"key name of 256 bytes",
       [&](const Keys&) { return RegCreateKeyExA(kHkeyLocalMachine, long_path.c_str(), 0, nullptr, 0, kKeyRead, nullptr, &out, nullptr); },
       kErrorInvalidParameter},
      {"query with reserved pointer",
       [&](const Keys& k) { return RegQueryValueExA(k.t, "v", &type, &type, buffer, &size); }, kErrorInvalidParameter},
      {"query data without size", [&](const Keys& k) { return RegQueryValueExA(k.t, "v", nullptr, &type, buffer, nullptr); },
       kErrorInvalidParameter},
      {"set null data with a size", [&](const Keys& k) { return RegSetValueExA(k.t, "x", 0, kRegBinary, nullptr, 5); },
       kErrorInvalidParameter},
      {"set with reserved", [&](const Keys& k) { return RegSetValueExA(k.t, "x", 1, kRegBinary, buffer, 1); },
       kErrorInvalidParameter},
      {"enumerate key without name buffer",
       [&](const Keys& k) { return RegEnumKeyExA(k.t, 0, nullptr, &name_size, nullptr, nullptr, nullptr, nullptr); },
       kErrorInvalidParameter},
      {"enumerate value without name size",
       [&](const Keys& k) { return RegEnumValueA(k.t, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr); },
       kErrorInvalidParameter},
      {"enumerate value data without size",
       [&](const Keys& k) { return RegEnumValueA(k.t, 0, name, &name_size, nullptr, nullptr, buffer, nullptr); },
       kErrorInvalidParameter},
      // 234: buffer too small
      {"query into short buffer",
       [&](const Keys& k) { size = 2; return RegQueryValueExA(k.t, "v", nullptr, &type, buffer, &size); }, kErrorMoreData},
      // 259: no more items
      {"enumerate subkeys past the end",
       [&](const Keys& k) { name_size = sizeof(name); return RegEnumKeyExA(k.t, 1, name, &name_size, nullptr, nullptr, nullptr, nullptr); },
       kErrorNoMoreItems},
      {"enumerate values past the end",
       [&](const Keys& k) { name_size = sizeof(name); return RegEnumValueA(k.t, 1, name, &name_size, nullptr, nullptr, nullptr, nullptr); },
       kErrorNoMoreItems},
      // 1018: the handle's key was deleted
      {"query deleted key", [&](const Keys& k) { return RegQueryValueExA(k.deleted, "v", nullptr, &type, buffer, &size); },
       kErrorKeyDeleted},
      {"set on deleted key", [&](const Keys& k) { return SetString(k.deleted, "v", "x"); }, kErrorKeyDeleted},
      {"create below deleted key",
       [&](const Keys& k) { return RegCreateKeyExA(k.deleted, "Sub", 0, nullptr, 0, kKeyRead, nullptr, &out, nullptr); },
       kErrorKeyDeleted},
  };
  for (const Case& c : cases) {
    size = sizeof(buffer);
    name_size = sizeof(name);
    EXPECT_EQ(c.call(keys), c.expected) << c.name;
  }
}

TEST_F(ResultCodesTest, ShortBuffersTellTheSizeNeeded) {
  HKEY key = Create("T\\SubkeyName");
  HKEY t = Open("T");
  ASSERT_EQ(SetString(t, "Greeting", "hello"), kErrorSuccess);

  BYTE data[16] = {};
  DWORD type = 0;
  DWORD size = 3;
  EXPECT_EQ(RegQueryValueExA(t, "Greeting", nullptr, &type, data, &size), kErrorMoreData);
  EXPECT_EQ(size, 6u);  // "hello" and its NUL
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(RegQueryValueExA(t, "Greeting", nullptr, &type, data, &size), kErrorSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("hello\0", 6));

  char name[32];
  DWORD name_size = 10;  // "SubkeyName" needs 11 with its NUL
  EXPECT_EQ(RegEnumKeyExA(t, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr), kErrorMoreData);
  EXPECT_EQ(name_size, 11u);
  EXPECT_EQ(RegEnumKeyExA(t, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr), kErrorSuccess);
  EXPECT_EQ(name_size, 10u);
  EXPECT_STREQ(name, "SubkeyName");

  name_size = 8;  // "Greeting" needs 9
  DWORD data_size = 0;
  EXPECT_EQ(RegEnumValueA(t, 0, name, &name_size, nullptr, &type, nullptr, &data_size), kErrorMoreData);
  EXPECT_EQ(name_size, 9u);
  EXPECT_EQ(data_size, 6u);
  data_size = 5;
  EXPECT_EQ(RegEnumValueA(t, 0, name, &name_size, nullptr, &type, data, &data_size), kErrorMoreData);
  EXPECT_EQ(data_size, 6u);
  name_size = 9;  // in/out: the last call left the length there
  EXPECT_EQ(RegEnumValueA(t, 0, name, &name_size, nullptr, &type, data, &data_size), kErrorSuccess);
  EXPECT_STREQ(name, "Greeting");
  EXPECT_EQ(name_size, 8u);

  char key_class[4];
  DWORD class_size = sizeof(key_class);
  HKEY classy = 0;
  ASSERT_EQ(RegCreateKeyExA(t, "Classy", 0, "LongClass", 0, kKeyRead, nullptr, &classy, nullptr), kErrorSuccess);
  name_size = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(t, 0, name, &name_size, nullptr, key_class, &class_size, nullptr), kErrorMoreData);
  EXPECT_EQ(class_size, 10u);
  RegCloseKey(classy);
  RegCloseKey(key);
  RegCloseKey(t);
}

}  // namespace
}  // namespace platform::registry
