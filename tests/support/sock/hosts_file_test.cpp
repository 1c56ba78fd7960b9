#include "support/sock/hosts_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "support/sock/dotted_address.h"
#include "testing/temp_root.h"

namespace support {
namespace {

std::vector<std::string> Dotted(const LookupResult& result) {
  std::vector<std::string> out;
  for (int32_t a : result.addresses) out.push_back(AddressToText(a));
  return out;
}

constexpr const char* kHosts =
    "# comment line\n"
    "127.0.0.1\tlocalhost\n"
    "\n"
    "10.0.0.1   multi.test  alias.test   # trailing comment\n"
    "::1 localhost ip6-localhost\n"
    "10.0.0.2 multi.test\r\n"
    "10.0.0.1 other.test\n"
    "999.1.1.1 broken.test\n"
    "10.0.0.3\n"
    "10.0.0.2 multi.test\n";

TEST(HostsFile, ANameAnswersWithEveryLineThatListsIt) {
  HostsFile hosts("");
  hosts.Parse(kHosts);
  const struct {
    const char* asked;
    const char* name;
    std::vector<std::string> addresses;
  } cases[] = {
      {"multi.test", "multi.test", {"10.0.0.1", "10.0.0.2"}},
      {"MULTI.Test.", "multi.test", {"10.0.0.1", "10.0.0.2"}},
      {"alias.test", "multi.test", {"10.0.0.1"}},
      {"localhost", "localhost", {"127.0.0.1"}},
      {"other.test", "other.test", {"10.0.0.1"}},
  };
  for (const auto& c : cases) {
    auto found = hosts.Forward(c.asked);
    ASSERT_TRUE(found) << c.asked;
    EXPECT_TRUE(found->ok);
    EXPECT_EQ(found->name, c.name) << c.asked;
    EXPECT_EQ(Dotted(*found), c.addresses) << c.asked;
  }
  for (const char* missing : {"ip6-localhost", "broken.test", "test", "", "comment"}) {
    EXPECT_FALSE(hosts.Forward(missing)) << missing;
  }
}

TEST(HostsFile, AnAddressAnswersWithTheFirstLineThatHasIt) {
  HostsFile hosts("");
  hosts.Parse(kHosts);
  auto found = hosts.Reverse(TextToAddress("10.0.0.1"));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "multi.test");
  EXPECT_EQ(Dotted(*found), std::vector<std::string>{"10.0.0.1"});
  EXPECT_FALSE(hosts.Reverse(TextToAddress("10.0.0.3")));  // a line without names
  EXPECT_FALSE(hosts.Reverse(TextToAddress("10.9.9.9")));
}

TEST(HostsFile, ReadsTheFileAgainOnlyWhenItChanged) {
  testing_support::TempRoot root;
  const auto path = root / "hosts";
  HostsFile hosts(path.string());
  hosts.Refresh();  // missing: nothing
  EXPECT_FALSE(hosts.Forward("a.test"));

  testing_support::WriteFileBytes(path, "10.0.0.1 a.test\n");
  hosts.Refresh();
  ASSERT_TRUE(hosts.Forward("a.test"));

  testing_support::WriteFileBytes(path, "10.0.0.2 b.test\n10.0.0.3 c.test\n");
  hosts.Refresh();
  EXPECT_FALSE(hosts.Forward("a.test"));
  ASSERT_TRUE(hosts.Forward("c.test"));

  std::filesystem::remove(path);
  hosts.Refresh();
  EXPECT_FALSE(hosts.Forward("c.test"));
}

}  // namespace
}  // namespace support
