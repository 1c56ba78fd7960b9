// The Win32 odds that answer from the machine root: clean boot, short paths,
// environment places.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/root/machine_root.h"
#include "platform/win32/environ.h"
#include "platform/win32/short_path.h"
#include "platform/win32/system_metrics.h"
#include "testing/temp_root.h"

namespace platform::win32 {
namespace {

class MachineValuesTest : public ::testing::Test {
 protected:
  MachineValuesTest() { SetMachineRoot(root_.path()); }
  ~MachineValuesTest() override { SetMachineRoot({}); }
  testing_support::TempRoot root_;
};

TEST_F(MachineValuesTest, CleanBootComesFromTheMachineConfiguration) {
  EXPECT_EQ(GetSystemMetricsCleanBoot(), 0);
  struct Case {
    const char* conf;
    int32_t value;
  } cases[] = {{"CleanBoot = 1\n", 1}, {"cleanboot=2\n", 2}, {"CleanBoot = 0\n", 0},
               {"CleanBoot = 7\n", 0}, {"CleanBoot = yes\n", 0}, {"Other = 1\n", 0}};
  for (const Case& c : cases) {
    testing_support::WriteFileBytes(root_ / "machine.conf", c.conf);
    EXPECT_EQ(GetSystemMetricsCleanBoot(), c.value) << c.conf;
    EXPECT_EQ(GetSystemMetrics(kSmCleanBoot), c.value) << c.conf;
  }
  EXPECT_EQ(GetSystemMetrics(0), 0);
}

TEST_F(MachineValuesTest, ShortPathIsThePathItself) {
  testing_support::WriteFileBytes(root_ / "tmp/ABC123.tmp", "");
  const std::string path = (root_ / "tmp/ABC123.tmp").string();
  char buffer[1024];
  EXPECT_EQ(GetShortPathNameA(path.c_str(), buffer, sizeof buffer), path.size());
  EXPECT_STREQ(buffer, path.c_str());
  EXPECT_EQ(ShortPathName(path), path);
  EXPECT_EQ(ShortPathName((root_ / "tmp").string()), (root_ / "tmp").string());

  // Too small a buffer: the size needed, NUL included, and nothing copied.
  char small[4] = "xyz";
  EXPECT_EQ(GetShortPathNameA(path.c_str(), small, sizeof small), path.size() + 1);
  EXPECT_STREQ(small, "xyz");
  EXPECT_EQ(GetShortPathNameA(path.c_str(), nullptr, 0), path.size() + 1);

  const std::string missing = (root_ / "missing").string();
  EXPECT_EQ(GetShortPathNameA(missing.c_str(), buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetShortPathNameA(nullptr, buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetShortPathNameA("", buffer, sizeof buffer), 0u);
  EXPECT_EQ(ShortPathName(missing), "");
}

TEST_F(MachineValuesTest, EnvironMapsTempAndWindirAndReadsTheRest) {
  EXPECT_EQ(Environ("temp"), root_.str() + "/tmp");
  EXPECT_EQ(Environ("TEMP"), root_.str() + "/tmp");
  EXPECT_EQ(Environ("windir"), root_.str() + "/windows");
  EXPECT_EQ(Environ("WinDir"), root_.str() + "/windows");
  ::setenv("HEARTH_TEST_VALUE", "value 1", 1);
  EXPECT_EQ(Environ("HEARTH_TEST_VALUE"), "value 1");
  EXPECT_EQ(Environ("hearth_test_value"), "");  // Linux names keep their case
  ::unsetenv("HEARTH_TEST_VALUE");
  EXPECT_EQ(Environ("HEARTH_TEST_VALUE"), "");
  EXPECT_EQ(Environ(""), "");
  EXPECT_EQ(Environ("A=B"), "");
}

}  // namespace
}  // namespace platform::win32
