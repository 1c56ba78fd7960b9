// hearthd and hearthctl service run as programs on fresh roots.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "programs.h"
#include "testing/temp_root.h"

namespace hearthd_test {
namespace {

namespace fs = std::filesystem;

constexpr char kStartComplete[] = "] Service.OnStart: complete, Err=";
constexpr char kCreated[] = "] System service log created, version 2.01.007\r\n";

class HearthdTest : public ::testing::Test {
 protected:
  fs::path Root() const { return root_ / "machine"; }
  fs::path LogFolder() const { return Root() / "commonfiles/Norvale/QORC/log"; }
  fs::path Log() const { return LogFolder() / "hearth.log"; }
  std::string LogText() const { return testing_support::ReadFileBytes(Log()); }

  // Starts hearthd and waits until its start is complete: the earlier log
  // has moved to hearth.lo1 and the new one holds the "complete" line.
  std::unique_ptr<Process> StartHearthd() {
    const std::string earlier = LogText();
    auto process = std::make_unique<Process>("hearthd", std::vector<std::string>{"--root", Root().string()},
                                             root_ / "output");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
      const bool rotated = earlier.empty() || testing_support::ReadFileBytes(LogFolder() / "hearth.lo1") == earlier;
      // The host's first try to reach the bus writes its line just after the start.
      if (rotated && LogText().find(kStartComplete) != std::string::npos &&
          LogText().find("] Bus: ") != std::string::npos) {
        break;
      }
      if (std::chrono::steady_clock::now() > deadline || !process->Running()) {
        ADD_FAILURE() << "hearthd did not start: " << LogText();
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return process;
  }
  Finished Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", Root().string()});
    return RunToEnd("hearthctl", args, root_ / "output");
  }

  testing_support::TempRoot root_;
};

// The position of `message` as a whole line of the log text; npos if absent.
size_t LineAt(const std::string& log, const std::string& message, size_t from = 0) {
  return log.find("] " + message + "\r\n", from);
}

TEST_F(HearthdTest, StartsOnAFreshRootAndStopsOnSigterm) {
  auto hearthd = StartHearthd();
  std::string log = LogText();
  EXPECT_EQ(log.find(kCreated), log.find("] ", log.find("] [") + 3));  // the first line
  hearthd->Signal(SIGTERM);
  Finished finished = hearthd->Wait();
  EXPECT_EQ(finished.exit_code, 0) << finished.err;
  log = LogText();
  const size_t complete = log.find(kStartComplete);
  const size_t stop = LineAt(log, "Service::OnStop invoked");
  ASSERT_NE(stop, std::string::npos) << log;
  EXPECT_LT(complete, stop);
  EXPECT_NE(LineAt(log, "Service::OnStop notifying feature plugins", stop), std::string::npos) << log;
  EXPECT_NE(LineAt(log, "Service::OnStop shutting down self", stop), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(Root() / "run/hearthd.sock"));  // cleaned up
  EXPECT_NE(finished.err.find("hearthd: stopped"), std::string::npos) << finished.err;
}

TEST_F(HearthdTest, SigintStopsAndSigpwrShutsDown) {
  auto first = StartHearthd();
  first->Signal(SIGINT);
  Finished first_end = first->Wait();
  EXPECT_EQ(first_end.exit_code, 0) << first_end.err;
  EXPECT_NE(LineAt(LogText(), "Service::OnStop invoked"), std::string::npos);

  auto second = StartHearthd();
  second->Signal(SIGPWR);
  Finished second_end = second->Wait();
  EXPECT_EQ(second_end.exit_code, 0) << second_end.err;
  EXPECT_NE(LineAt(LogText(), "Service::OnShutdown invoked"), std::string::npos) << LogText();
}

TEST_F(HearthdTest, ElevenStartsLeaveTenLogsEachBeginningWithTheCreatedLine) {
  for (int start = 1; start <= 11; ++start) {
    auto hearthd = StartHearthd();
    hearthd->Signal(SIGTERM);
    ASSERT_EQ(hearthd->Wait().exit_code, 0) << "start " << start;
  }
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(LogFolder())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"hearth.lo1", "hearth.lo2", "hearth.lo3", "hearth.lo4", "hearth.lo5",
                                             "hearth.lo6", "hearth.lo7", "hearth.lo8", "hearth.lo9", "hearth.log"}));
  const std::regex first_line(R"(\[\d{6} \d{2}:\d{2}:\d{2}\] \[-?\d+\] System service log created, version 2\.01\.007)");
  for (const std::string& name : names) {
    const std::string text = testing_support::ReadFileBytes(LogFolder() / name);
    EXPECT_TRUE(std::regex_match(text.substr(0, text.find("\r\n")), first_line)) << name;
    EXPECT_NE(LineAt(text, "Service::OnStop invoked"), std::string::npos) << name;
  }
}

TEST_F(HearthdTest, ControlCode142FromHearthctlStopsTheHost) {
  auto hearthd = StartHearthd();
  Finished ctl = Ctl({"service", "control", "142"});
  EXPECT_EQ(ctl.exit_code, 0) << ctl.err;
  EXPECT_EQ(ctl.out, "control code 142 delivered\n");
  EXPECT_EQ(hearthd->Wait().exit_code, 0);
  const std::string log = LogText();
  const size_t code = LineAt(log, "Service::OnUserControlCode; code=142");
  ASSERT_NE(code, std::string::npos) << log;
  EXPECT_NE(LineAt(log, "Service::OnStop invoked", code), std::string::npos) << log;
}

TEST_F(HearthdTest, HearthctlStopAndOtherCodes) {
  auto hearthd = StartHearthd();
  Finished other = Ctl({"service", "control", "129"});
  EXPECT_EQ(other.exit_code, 0) << other.err;
  EXPECT_TRUE(hearthd->Running());
  Finished bad = Ctl({"service", "control", "1e3"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.err.find("whole number"), std::string::npos) << bad.err;

  Finished stop = Ctl({"service", "stop"});
  EXPECT_EQ(stop.exit_code, 0) << stop.err;
  EXPECT_EQ(stop.out, "the service has stopped (0)\n");
  EXPECT_EQ(hearthd->Wait().exit_code, 0);
  EXPECT_NE(LineAt(LogText(), "Service::OnUserControlCode; code=129"), std::string::npos);

  Finished gone = Ctl({"service", "shutdown"});
  EXPECT_EQ(gone.exit_code, 1);
  EXPECT_EQ(gone.err, "hearthctl service shutdown: hearthd is not running on " + Root().string() + "\n");
}

TEST_F(HearthdTest, ASecondHostOnTheSameRootIsRefusedAndLeavesTheLogAlone) {
  auto hearthd = StartHearthd();
  const std::string before = LogText();
  Finished second = RunToEnd("hearthd", {"--root", Root().string()}, root_ / "output");
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.err, "hearthd: another hearthd is already running on " + Root().string() + "\n");
  // The first host may still be logging (its bus comes up after the start):
  // the second added nothing and started no new log.
  const std::string after = LogText();
  EXPECT_EQ(after.substr(0, before.size()), before);
  EXPECT_EQ(after.find(kCreated, after.find(kCreated) + 1), std::string::npos);
  EXPECT_EQ(after.find("Product version is", before.size()), std::string::npos);
  EXPECT_FALSE(fs::exists(LogFolder() / "hearth.lo1"));
  EXPECT_TRUE(hearthd->Running());
  EXPECT_EQ(Ctl({"service", "stop"}).exit_code, 0);  // the first still answers
  EXPECT_EQ(hearthd->Wait().exit_code, 0);
}

TEST_F(HearthdTest, ARootThatCannotBeMadeIsReported) {
  testing_support::WriteFileBytes(root_ / "plain-file", "x");
  Finished finished = RunToEnd("hearthd", {"--root", (root_ / "plain-file/machine").string()}, root_ / "output");
  EXPECT_EQ(finished.exit_code, 1);
  EXPECT_EQ(finished.err.rfind("hearthd: cannot create the machine root " + (root_ / "plain-file/machine").string() +
                                   ": ",
                               0),
            0u)
      << finished.err;
}

TEST_F(HearthdTest, HelpAndUsage) {
  Finished help = RunToEnd("hearthd", {"--help"}, root_ / "output");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("usage: hearthd [--root DIR]\n", 0), 0u) << help.out;
  Finished bad = RunToEnd("hearthd", {"--frobnicate"}, root_ / "output");
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.err.rfind("hearthd: unknown argument --frobnicate\n", 0), 0u) << bad.err;
  Finished ctl_help = Ctl({"service", "--help"});
  EXPECT_EQ(ctl_help.exit_code, 0);
  EXPECT_NE(ctl_help.out.find("service control CODE [--wait SECONDS]"), std::string::npos) << ctl_help.out;
}

}  // namespace
}  // namespace hearthd_test
