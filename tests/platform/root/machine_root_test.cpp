#include "platform/root/machine_root.h"
#include "platform/root/root_in_force.h"

#include <gtest/gtest.h>

#include "testing/temp_root.h"

namespace platform {
namespace {

// IsMachineRoot answers for the same root MachineRoot() gives, at each step.
TEST(MachineRootTest, ExplicitRootWinsOverTheEnvironment) {
  testing_support::TempRoot root;
  setenv("HEARTH_ROOT", "/nowhere", 1);
  SetMachineRoot(root.path());
  EXPECT_EQ(MachineRoot(), root.path());
  EXPECT_TRUE(IsMachineRoot(root.path()));
  EXPECT_FALSE(IsMachineRoot("/nowhere"));
  SetMachineRoot({});
  EXPECT_EQ(MachineRoot(), "/nowhere");
  EXPECT_TRUE(IsMachineRoot("/nowhere"));
  EXPECT_FALSE(IsMachineRoot(root.path()));
  unsetenv("HEARTH_ROOT");
  EXPECT_EQ(MachineRoot(), "/var/lib/hearth");
  EXPECT_TRUE(IsMachineRoot("/var/lib/hearth"));
  EXPECT_FALSE(IsMachineRoot("/nowhere"));
}

TEST(MachineRootTest, ConfigurationValuesByNameInAnyCase) {
  testing_support::TempRoot root;
  SetMachineRoot(root.path());
  testing_support::WriteFileBytes(root / "machine.conf",
                                  "# machine settings\n"
                                  "CleanBoot = 1   # safe mode\n"
                                  "conflict.av=Other Antivirus\n"
                                  "broken line\n"
                                  "number = 12x\n");
  EXPECT_EQ(MachineConfigValue("cleanboot"), "1");
  EXPECT_EQ(MachineConfigNumber("CLEANBOOT"), 1);
  EXPECT_EQ(MachineConfigValue("conflict.av"), "Other Antivirus");
  EXPECT_EQ(MachineConfigValue("missing", "dflt"), "dflt");
  EXPECT_EQ(MachineConfigNumber("number", 7), 7);
  SetMachineRoot({});
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

TEST(MachineRootTest, NumbersOutOfRangeAreNotNumbers) {
  testing_support::TempRoot root;
  SetMachineRoot(root.path());
  testing_support::WriteFileBytes(root / "machine.conf",
                                  "big = 99999999999999999999\n"
                                  "small = -99999999999999999999\n"
                                  "hex = 0x10\n"
                                  "most = 9223372036854775807\n");
  EXPECT_EQ(MachineConfigNumber("big", 7), 7);
  EXPECT_EQ(MachineConfigNumber("small", 7), 7);
  EXPECT_EQ(MachineConfigNumber("hex", 7), 16);
  EXPECT_EQ(MachineConfigNumber("most", 7), 9223372036854775807L);
  SetMachineRoot({});
}

TEST(MachineRootTest, AnEditedConfigurationIsReadAgain) {
  testing_support::TempRoot root;
  SetMachineRoot(root.path());
  EXPECT_EQ(MachineConfigValue("Brand", "none"), "none");
  testing_support::WriteFileBytes(root / "machine.conf", "Brand = first\n");
  EXPECT_EQ(MachineConfigValue("Brand"), "first");
  // Same size, so only the contents and the time stamp tell the change.
  testing_support::WriteFileBytes(root / "machine.conf.new", "Brand = other\n");
  std::filesystem::rename(root / "machine.conf.new", root / "machine.conf");
  EXPECT_EQ(MachineConfigValue("Brand"), "other");
  std::filesystem::remove(root / "machine.conf");
  EXPECT_EQ(MachineConfigValue("Brand", "gone"), "gone");
  SetMachineRoot({});
}

}  // namespace
}  // namespace platform
