#include "support/registry/registry_object.h"

#include <gtest/gtest.h>

#include "platform/registry/registry.h"
#include "platform/registry/registry_helpers.h"
#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace support {
namespace {

namespace reg = platform::registry;
constexpr reg::HKEY kMachine = reg::kHkeyLocalMachine;
constexpr char kProductKey[] = "SOFTWARE\\Norvale\\Veltris\\v1.5";

class SupportRegistryObject : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMachineRoot(root_.path());
    reg::ResetHiveForTesting();
  }
  void TearDown() override {
    reg::ResetHiveForTesting();
    platform::SetMachineRoot({});
  }
  testing_support::TempRoot root_;
};

TEST_F(SupportRegistryObject, WritesStringValuesAsWindowsStoresThem) {
  RegistryObject registry;
  EXPECT_FALSE(registry.OpenKey(kMachine, kProductKey, contracts::kRegistryFullAccess));
  ASSERT_TRUE(registry.CreateKey(kMachine, kProductKey, contracts::kRegistryFullAccess));
  EXPECT_TRUE(registry.WriteString("TraceLevel", "4"));
  EXPECT_TRUE(registry.WriteString("Empty", ""));

  reg::RegValue value;
  ASSERT_EQ(reg::ReadValue(kMachine, kProductKey, "TraceLevel", &value), 0);
  EXPECT_EQ(value.type, reg::kRegSz);
  EXPECT_EQ(value.data, std::string("4\0", 2));

  RegistryObject reader;
  ASSERT_TRUE(reader.OpenKey(kMachine, "software\\norvale\\VELTRIS\\v1.5", contracts::kRegistryRead));
  EXPECT_EQ(reader.ReadString("tracelevel"), "4");
  EXPECT_EQ(reader.ReadString("Empty"), "");
  EXPECT_EQ(reader.ReadString("Missing"), "");
}

TEST_F(SupportRegistryObject, ReadsOtherValueTypesAsText) {
  ASSERT_EQ(reg::WriteDwordValue(kMachine, kProductKey, "Number", 4000000000u), 0);
  ASSERT_EQ(reg::WriteStringValue(kMachine, kProductKey, "Expand", "%temp%\\x", reg::kRegExpandSz), 0);
  ASSERT_EQ(reg::WriteValue(kMachine, kProductKey, "Multi", reg::kRegMultiSz, std::string("one\0two\0\0", 9)), 0);
  RegistryObject registry;
  ASSERT_TRUE(registry.OpenKey(kMachine, kProductKey, contracts::kRegistryRead));
  EXPECT_EQ(registry.ReadString("Number"), "4000000000");
  EXPECT_EQ(registry.ReadString("Expand"), "%temp%\\x");
  EXPECT_EQ(registry.ReadString("Multi"), "one");
}

TEST_F(SupportRegistryObject, ReadAccessCannotWriteAndNoKeyAnswersEmpty) {
  ASSERT_EQ(reg::CreateKey(kMachine, kProductKey), 0);
  RegistryObject registry;
  EXPECT_EQ(registry.ReadString("x"), "");
  EXPECT_FALSE(registry.WriteString("x", "y"));
  EXPECT_FALSE(registry.DeleteValue("x"));
  EXPECT_FALSE(registry.GrantFullAccess("Everyone"));
  ASSERT_TRUE(registry.OpenKey(kMachine, kProductKey, contracts::kRegistryRead));
  EXPECT_FALSE(registry.WriteString("x", "y"));
  EXPECT_FALSE(reg::ReadStringValue(kMachine, kProductKey, "x").has_value());
}

TEST_F(SupportRegistryObject, DeleteValueAndReopen) {
  ASSERT_EQ(reg::WriteStringValue(kMachine, kProductKey, "DoUninstall", "true"), 0);
  ASSERT_EQ(reg::WriteStringValue(kMachine, "SOFTWARE\\Other", "Name", "other"), 0);
  RegistryObject registry;
  ASSERT_TRUE(registry.OpenKey(kMachine, kProductKey, contracts::kRegistryFullAccess));
  EXPECT_TRUE(registry.DeleteValue("DoUninstall"));
  EXPECT_FALSE(registry.DeleteValue("DoUninstall"));
  EXPECT_EQ(registry.ReadString("DoUninstall"), "");
  // Opening another key closes the first; a failed open leaves none open.
  ASSERT_TRUE(registry.OpenKey(kMachine, "SOFTWARE\\Other", contracts::kRegistryRead));
  EXPECT_EQ(registry.ReadString("Name"), "other");
  EXPECT_FALSE(registry.OpenKey(kMachine, "SOFTWARE\\Missing", contracts::kRegistryRead));
  EXPECT_FALSE(registry.IsOpen());
  EXPECT_EQ(registry.ReadString("Name"), "");
}

TEST_F(SupportRegistryObject, GrantFullAccessNeedsAnOpenLiveKey) {
  RegistryObject registry;
  ASSERT_TRUE(registry.CreateKey(kMachine, kProductKey, contracts::kRegistryFullAccess));
  EXPECT_TRUE(registry.GrantFullAccess("Everyone"));
  EXPECT_FALSE(registry.GrantFullAccess(""));
  ASSERT_EQ(reg::DeleteKeyTree(kMachine, "SOFTWARE\\Norvale"), 0);
  EXPECT_FALSE(registry.GrantFullAccess("Everyone"));
  EXPECT_FALSE(registry.WriteString("x", "y"));
}

}  // namespace
}  // namespace support
