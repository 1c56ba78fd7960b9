#include <filesystem>
#include <fstream>
#include <regex>

#include "alerts/alert_statements.h"
#include "alerts_fixture.h"

namespace alerts::testing {
namespace {

using platform::Variant;

class OpenGdbTest : public AlertsTest {};

TEST_F(OpenGdbTest, FirstUseCreatesTheTablesInTheProfileFolder) {
  std::string path = AlertDatabasePath();
  EXPECT_EQ(path, (root_ / "commonfiles/Norvale/QORC/prf/imdb.bin").string());
  EXPECT_TRUE(CheckIMDBObject());
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "OpenGDB. File is '" + path + "'",
                               "OpenGDB - creating new tables",
                               "OpenGDB - Successfully opened IMDB '" + path + "'",
                           }));
  // The next call finds a healthy connection and logs nothing.
  EXPECT_TRUE(CheckIMDBObject());
  EXPECT_EQ(LogMessages().size(), 3u);
  CloseGDB();
  EXPECT_EQ(LogMessages().back(), "CloseGDB - closing IMDB");
  EXPECT_EQ(State().connection, nullptr);
}

TEST_F(OpenGdbTest, ExistingStoreIsProbedAndKept) {
  int32_t index = Post("Store");
  CloseGDB();
  ClearLog();
  EXPECT_TRUE(AnyAlerts("Store"));
  std::string path = AlertDatabasePath();
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "OpenGDB. File is '" + path + "'",
                               "OpenGDB - Successfully opened IMDB '" + path + "'",
                           }));
  EXPECT_EQ(Field(index, kColStore), "Store");
}

// A real store with one alert, lengthened to `size` bytes.
void PadStore(const std::string& path, uintmax_t size) {
  ASSERT_LT(std::filesystem::file_size(path), size);
  std::filesystem::resize_file(path, size);
}

TEST_F(OpenGdbTest, FileOfExactlyTheLimitIsKept) {
  Post("Kept");
  CloseGDB();
  PadStore(AlertDatabasePath(), 4194304);
  ClearLog();
  EXPECT_TRUE(AnyAlerts("Kept"));
  EXPECT_FALSE(Logged("OpenGDB - Removing IMDB file " + AlertDatabasePath()));
  EXPECT_FALSE(Logged("DB Corruption detected. Rebuilding"));
}

TEST_F(OpenGdbTest, FileOneByteOverTheLimitIsRemoved) {
  Post("Lost");
  CloseGDB();
  PadStore(AlertDatabasePath(), 4194305);
  ClearLog();
  EXPECT_FALSE(AnyAlerts("Lost"));
  std::string path = AlertDatabasePath();
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "OpenGDB. File is '" + path + "'",
                               "OpenGDB - Removing IMDB file " + path,
                               "OpenGDB - creating new tables",
                               "OpenGDB - Successfully opened IMDB '" + path + "'",
                           }));
  EXPECT_LE(std::filesystem::file_size(path), 4194304u);
  EXPECT_GT(Post("New"), 0);
}

struct BadFile {
  const char* name;
  std::string bytes;  // written as the store; empty: a real store whose pages are then damaged
};

class RebuildTest : public OpenGdbTest, public ::testing::WithParamInterface<BadFile> {};

// The files the rebuilds moved aside, by name.
std::vector<std::string> KeptDamagedFiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(AlertDatabasePath()).parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("imdb.bin.damaged-", 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_P(RebuildTest, FileThatFailsTheProbeIsRebuiltOnce) {
  std::string path = AlertDatabasePath();
  if (GetParam().bytes.empty()) {
    for (int i = 0; i < 100; ++i) Post("Old", 1, std::string(300, 'd'));
    CloseGDB();
    std::string bytes = testing_support::ReadFileBytes(path);
    for (size_t i = 4096; i < bytes.size(); i += 61) bytes[i] = static_cast<char>(0x5A);
    testing_support::WriteFileBytes(path, bytes);
  } else {
    testing_support::WriteFileBytes(path, GetParam().bytes);
  }
  const std::string damaged_bytes = testing_support::ReadFileBytes(path);
  ClearLog();
  int32_t index = Post("Fresh");
  EXPECT_EQ(index, 1);
  // The damaged file is kept, whole, under a dated name.
  const std::vector<std::string> kept = KeptDamagedFiles();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_TRUE(std::regex_match(kept[0], std::regex(R"(imdb\.bin\.damaged-\d{8}-\d{6})"))) << kept[0];
  const std::string aside = (std::filesystem::path(path).parent_path() / kept[0]).string();
  EXPECT_EQ(testing_support::ReadFileBytes(aside), damaged_bytes);
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "OpenGDB. File is '" + path + "'",
                               "DB Corruption detected. Rebuilding",
                               "OpenGDB - Damaged IMDB file kept as '" + aside + "'",
                               "OpenGDB. File is '" + path + "'",
                               "OpenGDB - creating new tables",
                               "OpenGDB - Successfully opened IMDB '" + path + "'",
                               "OpenGDB - Successfully opened IMDB '" + path + "'",
                           }));
  EXPECT_TRUE(AnyAlerts("Fresh"));
  EXPECT_FALSE(AnyAlerts("Old"));
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, RebuildTest,
    ::testing::Values(BadFile{"NotADatabase", "This is a text file, not a store.\n" + std::string(5000, '#')},
                      BadFile{"DamagedPages", std::string()}),
    [](const ::testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

TEST_F(OpenGdbTest, ZeroLengthFileHasNoTablesAndIsRebuilt) {
  std::string path = AlertDatabasePath();
  testing_support::WriteFileBytes(path, "");
  ASSERT_TRUE(std::filesystem::exists(path));
  EXPECT_GT(Post("Fresh"), 0);
  EXPECT_TRUE(Logged("DB Corruption detected. Rebuilding"));
}

TEST_F(OpenGdbTest, StoreBrokenUnderAnOpenConnectionIsRebuiltByTheNextCall) {
  Post("Before");
  {
    auto other = Direct();
    other->Execute("DROP TABLE LogSettings");
  }
  ClearLog();
  EXPECT_GT(Post("After"), 0);
  std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "CheckIMDBObject found corrupted alert store. Will be deleted and rebuild from scratch");
  EXPECT_EQ(log[1], "OpenGDB. File is '" + AlertDatabasePath() + "'");
  EXPECT_TRUE(Logged("DB Corruption detected. Rebuilding"));
  EXPECT_TRUE(AnyAlerts("After"));
}

class TransientFailureTest : public OpenGdbTest,
                             public ::testing::WithParamInterface<support::Imdb::OpenFault> {
 protected:
  void TearDown() override {
    support::Imdb::SetOpenFault(support::Imdb::OpenFault::kNone);
    OpenGdbTest::TearDown();
  }
};

TEST_P(TransientFailureTest, LeavesTheFileAloneAndReportsFailure) {
  Post("Kept");
  CloseGDB();
  const std::string path = AlertDatabasePath();
  const std::string bytes = testing_support::ReadFileBytes(path);
  ClearLog();
  support::Imdb::SetOpenFault(GetParam());
  EXPECT_FALSE(AnyAlerts("Kept"));
  int32_t index = -1;
  double when = kNoEventTime;
  EXPECT_FALSE(PostAlert("Kept", 1, "s", "d", "id", "", false, index, false, when, ""));
  EXPECT_EQ(index, -1);
  EXPECT_TRUE(Logged("OpenGDB - Could not open IMDB '" + path + "'"));
  EXPECT_FALSE(Logged("DB Corruption detected. Rebuilding"));
  EXPECT_FALSE(Logged("CheckIMDBObject found corrupted alert store. Will be deleted and rebuild from scratch"));
  EXPECT_EQ(testing_support::ReadFileBytes(path), bytes);
  EXPECT_TRUE(KeptDamagedFiles().empty());
  // Once the file can be reached again, everything in it is there.
  support::Imdb::SetOpenFault(support::Imdb::OpenFault::kNone);
  EXPECT_TRUE(AnyAlerts("Kept"));
}

INSTANTIATE_TEST_SUITE_P(Faults, TransientFailureTest,
                         ::testing::Values(support::Imdb::OpenFault::kIoError,
                                           support::Imdb::OpenFault::kNoFileDescriptors,
                                           support::Imdb::OpenFault::kLocked),
                         [](const ::testing::TestParamInfo<support::Imdb::OpenFault>& info) {
                           switch (info.param) {
                             case support::Imdb::OpenFault::kIoError: return std::string("IoError");
                             case support::Imdb::OpenFault::kNoFileDescriptors: return std::string("NoDescriptors");
                             default: return std::string("Locked");
                           }
                         });

TEST_F(OpenGdbTest, UnopenableStoreAnswersFalseEverywhere) {
  // A folder where the file should be, which cannot be removed: nothing can
  // be opened, and every operation answers with its empty result.
  std::string path = AlertDatabasePath();
  std::filesystem::create_directories(path + "/inside");
  int32_t index = -1;
  double when = kNoEventTime;
  EXPECT_FALSE(PostAlert("S", 1, "s", "d", "id", "", false, index, false, when, ""));
  EXPECT_EQ(index, -1);
  EXPECT_TRUE(Logged("OpenGDB - Could not open IMDB '" + path + "'"));
  Variant list = Variant("untouched");
  EXPECT_EQ(GetAlertIndicesAll("S", list), 0);
  EXPECT_EQ(list.StringValue(), "untouched");
  EXPECT_FALSE(AnyAlerts("S"));
  EXPECT_FALSE(UpdateAlert(1, 1, "x", false));
  EXPECT_EQ(GetPrivacyReport(), "");
  WriteLogEntry("Privacy", 1, "m");
  DumpAlertStore();
  EXPECT_FALSE(std::filesystem::exists(root_ / "Alerts.csv"));
}

}  // namespace
}  // namespace alerts::testing
