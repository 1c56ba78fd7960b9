// hearthctl dns resolve, run as a program against the loopback responder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "support/sock/testing/loopback_dns_responder.h"
#include "testing/temp_root.h"

namespace {

struct Outcome {
  int exit_code;
  std::string out;
  std::string err;
};

class HearthctlDnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("HEARTH_BIN_DIR");
    hearthctl_ = std::filesystem::path(bin ? bin : "") / "hearthctl";
    if (!std::filesystem::exists(hearthctl_)) GTEST_SKIP() << "hearthctl is not built";
    dns_.AddHost("two.test", {"10.0.0.1", "10.0.0.2"});
    dns_.AddPtr("10.0.0.7", "seven.test");
    dns_.Fail("missing.test", dns_testing::Rcode::kNxDomain);
    dns_.Ignore("silent.test");
    testing_support::WriteFileBytes(root_ / "machine.conf",
                                    "dns.servers = " + dns_.ServerCsv() + "\ndns.timeout = 20000\ndns.tries = 1\n");
  }

  Outcome Hearthctl(const std::string& arguments) {
    const std::string command = "'" + hearthctl_.string() + "' --root '" + root_.str() + "' " + arguments + " >'" +
                                (root_ / "out").string() + "' 2>'" + (root_ / "err").string() + "'";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing_support::ReadFileBytes(root_ / "out"),
            testing_support::ReadFileBytes(root_ / "err")};
  }

  std::filesystem::path hearthctl_;
  testing_support::TempRoot root_;
  dns_testing::LoopbackDnsResponder dns_;
};

TEST_F(HearthctlDnsTest, PrintsNameAndAddressesInTheOrderAsked) {
  Outcome run = Hearthctl("dns resolve two.test 10.0.0.7 localhost 255.255.255.255");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "two.test 10.0.0.1 10.0.0.2\n"
            "seven.test 10.0.0.7\n"
            "localhost 127.0.0.1\n"
            "255.255.255.255 255.255.255.255\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(HearthctlDnsTest, ExitsOneWhenANameIsNotFoundOrNotAnswered) {
  Outcome run = Hearthctl("dns resolve missing.test two.test 10.9.9.9");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "two.test 10.0.0.1 10.0.0.2\n");
  EXPECT_EQ(run.err,
            "hearthctl dns resolve: \"missing.test\" not found\n"
            "hearthctl dns resolve: \"10.9.9.9\" not found\n");

  run = Hearthctl("dns resolve --timeout 1 silent.test");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "hearthctl dns resolve: no answer for \"silent.test\" within 1 s\n");
}

TEST_F(HearthctlDnsTest, BadCommandLinesExitTwo) {
  for (const char* arguments : {"dns resolve", "dns resolve --timeout x two.test", "dns resolve --bogus two.test"}) {
    Outcome run = Hearthctl(arguments);
    EXPECT_EQ(run.exit_code, 2) << arguments;
    EXPECT_NE(run.err.find("usage: hearthctl dns resolve"), std::string::npos) << run.err;
  }
}

}  // namespace
