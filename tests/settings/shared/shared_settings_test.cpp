// The per-thread collection slots and the null-trace file.
#include "settings/shared/shared_settings.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/root/machine_root.h"
#include "platform/win32/thread_ids.h"
#include "settings/shared/null_trace.h"
#include "testing/temp_root.h"

namespace settings {
namespace {

class SharedSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMachineRoot(root_.path());
    contracts::Support().Reset();
  }
  void TearDown() override {
    SetSystemSettings(nullptr);
    SetUserSettings(nullptr);
    contracts::Support().Reset();
    platform::SetMachineRoot({});
  }
  std::string Trace() const { return testing_support::ReadFileBytes(root_ / "tmp/HearthNullTrace.txt"); }
  std::string Log() const { return testing_support::ReadFileBytes(root_ / "commonfiles/Norvale/QORC/log/hearth.log"); }

  testing_support::TempRoot root_;
};

// Lines of the trace file, each checked for the date-and-time prefix.
std::vector<std::string> TraceMessages(const std::string& text) {
  std::vector<std::string> messages;
  const std::regex line(R"((\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{2}:\d{2} [AP]M|\d{1,2}/\d{1,2}/\d{4}): (.*))");
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::smatch match;
    const std::string one = text.substr(start, end - start);
    if (std::regex_match(one, match, line)) {
      messages.push_back(match[2]);
    } else {
      messages.push_back("BAD LINE: " + one);
    }
  }
  EXPECT_EQ(start, text.size()) << "the file ends inside a line";
  return messages;
}

TEST_F(SharedSettingsTest, AThreadWithoutCollectionsGetsNoneAndOneTraceLinePerCall) {
  std::string id;
  std::thread([&] {
    id = platform::win32::ThreadIdHex();
    EXPECT_EQ(GetSystemSettings(), nullptr);
    EXPECT_EQ(GetSystemSettings(), nullptr);
    EXPECT_EQ(GetUserSettings(), nullptr);
    EXPECT_FALSE(platform::Err::IsSet());
  }).join();
  EXPECT_EQ(TraceMessages(Trace()), (std::vector<std::string>{
                                        "Got NULL Settings collection on thread 0x" + id,
                                        "Got NULL Settings collection on thread 0x" + id,
                                        "Got NULL CurrentUserSettings collection on thread 0x" + id,
                                    }));
  EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]+"))) << id;
  EXPECT_EQ(Log(), "");  // the trace goes only to its own file
}

TEST_F(SharedSettingsTest, InstalledCollectionsBelongToTheirThreadOnly) {
  auto system = std::make_shared<cSettings>();
  auto user = std::make_shared<cSettings>();
  SetSystemSettings(system);
  SetUserSettings(user);
  EXPECT_EQ(GetSystemSettings(), system);
  EXPECT_EQ(GetUserSettings(), user);
  EXPECT_EQ(Trace(), "");

  SettingsPtr seen_system = system, seen_user = user;
  std::thread([&] {
    seen_system = GetSystemSettings();
    seen_user = GetUserSettings();
  }).join();
  EXPECT_EQ(seen_system, nullptr);
  EXPECT_EQ(seen_user, nullptr);
  EXPECT_EQ(TraceMessages(Trace()).size(), 2u);
}

TEST_F(SharedSettingsTest, UninstallingTheSystemCollectionIsLogged) {
  SetSystemSettings(std::make_shared<cSettings>());
  SetUserSettings(nullptr);  // no line for the user's
  EXPECT_EQ(Log(), "");
  SetSystemSettings(nullptr);
  EXPECT_NE(Log().find("] Setting g_Settings = nothing\r\n"), std::string::npos) << Log();
  EXPECT_EQ(GetSystemSettings(), nullptr);
}

TEST_F(SharedSettingsTest, NullTraceAppendsAndMakesTheTempFolder) {
  EXPECT_EQ(NullTracePath(), (root_ / "tmp/HearthNullTrace.txt").string());
  WriteNullTrace("first");
  WriteNullTrace("second");
  EXPECT_EQ(TraceMessages(Trace()), (std::vector<std::string>{"first", "second"}));
}

TEST_F(SharedSettingsTest, AnUnwritableTraceLosesTheLineQuietly) {
  std::filesystem::create_directories(root_ / "tmp/HearthNullTrace.txt");  // a folder in the file's place
  platform::Err::Set(7, "the caller's error");
  WriteNullTrace("lost");
  EXPECT_EQ(GetUserSettings(), nullptr);
  EXPECT_EQ(platform::Err::Number(), 7);
  platform::Err::Clear();
}

}  // namespace
}  // namespace settings
