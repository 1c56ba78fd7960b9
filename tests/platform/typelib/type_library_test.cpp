// Type library files: their bytes, their validation, and their record in
// the hive.
#include "platform/typelib/type_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/registry/registry_helpers.h"
#include "platform/typelib/load_type_lib.h"
#include "testing/rooted/rooted_test.h"

namespace platform::typelib {
namespace {

namespace reg = platform::registry;

TypeLibrary Sample() {
  TypeLibrary library;
  library.libid = *ParseGuid("{00112233-4455-6677-8899-AABBCCDDEEFF}");
  library.name = "Lib";
  library.major = 2;
  library.minor = 10;
  library.interfaces = {{*ParseGuid("{01020304-0506-0708-090A-0B0C0D0E0F10}"), "IOne"}};
  return library;
}

TEST(TypeLibraryFormat, BytesAreTheDocumentedLayout) {
  const std::string bytes = EncodeTypeLibrary(Sample());
  const std::string expected_body = std::string("HTLB\x01\x00\x02\x00\x0a\x00\x01\x00\x00\x00\x00\x00", 16) +
                                    std::string("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16) +
                                    std::string("\x03\x00Lib", 5) +
                                    std::string("\x04\x03\x02\x01\x06\x05\x08\x07\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10", 16) +
                                    std::string("\x04\x00IOne", 6);
  ASSERT_EQ(bytes.size(), expected_body.size() + 4);
  EXPECT_EQ(bytes.substr(0, expected_body.size()), expected_body);
  const uint32_t crc = Crc32(expected_body);
  EXPECT_EQ(bytes.substr(expected_body.size()),
            std::string({static_cast<char>(crc), static_cast<char>(crc >> 8), static_cast<char>(crc >> 16),
                         static_cast<char>(crc >> 24)}));
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);  // the standard check value
  EXPECT_EQ(GuidText(Sample().libid), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

TEST(TypeLibraryFormat, DecodesWhatItEncodes) {
  TypeLibrary library;
  std::string reason;
  ASSERT_TRUE(DecodeTypeLibrary(EncodeTypeLibrary(Sample()), &library, &reason)) << reason;
  EXPECT_EQ(library.name, "Lib");
  EXPECT_EQ(library.major, 2);
  EXPECT_EQ(library.minor, 10);
  ASSERT_EQ(library.interfaces.size(), 1u);
  EXPECT_EQ(library.interfaces[0].name, "IOne");
  EXPECT_EQ(GuidText(library.interfaces[0].iid), "{01020304-0506-0708-090A-0B0C0D0E0F10}");
}

TEST(TypeLibraryFormat, RefusesWhatIsNotAWholeUndamagedLibrary) {
  const std::string good = EncodeTypeLibrary(Sample());
  TypeLibrary no_interfaces = Sample();
  no_interfaces.interfaces.clear();
  TypeLibrary unnamed = Sample();
  unnamed.name.clear();
  TypeLibrary blank_name = Sample();
  blank_name.interfaces[0].name = "I One";
  std::string future = good;
  future[4] = 2;
  struct Case {
    const char* what;
    std::string bytes;
    const char* reason_part;
  } cases[] = {
      {"empty", "", "empty"},
      {"other format", "MSFT and more bytes than a header holds........", "signature"},
      {"three bytes", "HTL", "signature"},
      {"header cut", good.substr(0, 20), "header"},
      {"name cut", good.substr(0, 36), "library name"},
      {"interface cut", good.substr(0, 45), "interface 1"},
      {"checksum cut", good.substr(0, good.size() - 2), "checksum"},
      {"trailing byte", good + "x", "trailing"},
      {"flipped byte", good.substr(0, 20) + static_cast<char>(good[20] ^ 1) + good.substr(21), "checksum"},
      {"no interfaces", EncodeTypeLibrary(no_interfaces), "interface count"},
      {"empty name", EncodeTypeLibrary(unnamed), "library name"},
      {"name with a blank", EncodeTypeLibrary(blank_name), "interface name"},
      {"unknown version", future, "format version 2"},
  };
  for (const Case& c : cases) {
    TypeLibrary library;
    std::string reason;
    EXPECT_FALSE(DecodeTypeLibrary(c.bytes, &library, &reason)) << c.what;
    EXPECT_NE(reason.find(c.reason_part), std::string::npos) << c.what << ": " << reason;
  }
}

TEST(TypeLibraryFormat, GuidTextIsParsedStrictly) {
  EXPECT_TRUE(ParseGuid("{00112233-4455-6677-8899-aabbccddeeff}").has_value());
  for (const char* bad : {"", "00112233-4455-6677-8899-AABBCCDDEEFF", "{00112233-4455-6677-8899-AABBCCDDEEF}",
                          "{00112233-4455-6677-8899+AABBCCDDEEFF}", "{0011223G-4455-6677-8899-AABBCCDDEEFF}"}) {
    EXPECT_FALSE(ParseGuid(bad).has_value()) << bad;
  }
}

class TypeLibraryHiveTest : public testing_support::RootedTest {};

TEST_F(TypeLibraryHiveTest, LoadTellsTheKindOfFailureAndRegisterWritesTheKeys) {
  const std::string path = (root_.path() / "lib.tlb").string();
  TypeLibrary library;
  EXPECT_EQ(LoadTypeLib(path, &library), kTypeErrCantLoadLibrary);
  std::ofstream(path, std::ios::binary) << "PK\x03\x04 a zip file";
  EXPECT_EQ(LoadTypeLib(path, &library), kTypeErrUnsupportedFormat);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << EncodeTypeLibrary(Sample()).substr(0, 40);
  EXPECT_EQ(LoadTypeLib(path, &library), kTypeErrInvalidDataRead);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << EncodeTypeLibrary(Sample());
  ASSERT_EQ(LoadTypeLib(path, &library), kSOk);

  ASSERT_EQ(RegisterTypeLib(library, path, ""), kSOk);
  const std::string key = "TypeLib\\{00112233-4455-6677-8899-AABBCCDDEEFF}\\2.a";
  auto text = [](const std::string& k, const std::string& name = "") {
    return reg::ReadStringValue(reg::kHkeyClassesRoot, k, name).value_or("<missing>");
  };
  EXPECT_EQ(text(key), "Lib");
  EXPECT_EQ(text(key + "\\0\\win32"), path);
  EXPECT_EQ(text(key + "\\FLAGS"), "0");
  EXPECT_EQ(text(key + "\\HELPDIR"), "");
  const std::string iface = "Interface\\{01020304-0506-0708-090A-0B0C0D0E0F10}";
  EXPECT_EQ(text(iface), "IOne");
  EXPECT_EQ(text(iface + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");
  EXPECT_EQ(text(iface + "\\TypeLib"), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(text(iface + "\\TypeLib", "Version"), "2.a");
}

}  // namespace
}  // namespace platform::typelib
