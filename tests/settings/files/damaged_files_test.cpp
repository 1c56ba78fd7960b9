// Files that are missing, damaged, or not what they claim: the read fails,
// says so, and leaves the collection and the good files alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs/file_ops.h"
#include "settings/files/checksum.h"
#include "settings/files/settings_file_fixture.h"
#include "settings/files/snapshot_cipher.h"

namespace settings {
namespace {

// The bytes followed by their checksum: a file whose checksum holds.
std::string WithChecksum(const std::string& data) {
  const int32_t sum = Checksum(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  std::string file = data;
  for (int shift = 0; shift < 32; shift += 8) file += static_cast<char>((static_cast<uint32_t>(sum) >> shift) & 0xFF);
  return file;
}

std::string Encrypted(const std::string& owner, const std::string& xml) {
  const ByteArray data = EncryptSnapshot(owner, xml);
  return std::string(data.begin(), data.end());
}

const char kFailedLine[] = "cSettings for 'S-1-5-21-9'read from main file failed. Settings will be empty.";

TEST_F(SettingsFileTest, AMissingFileFailsTheReadAndLeavesTheCollection) {
  auto settings = Load("S-1-5-21-9");
  EXPECT_FALSE(Loaded(*settings));
  EXPECT_EQ(settings->GetValue("sys.keep").StringValue(), "before");
  EXPECT_EQ(settings->GetValue("user.filename").StringValue(), PathsOf("S-1-5-21-9").live);
  EXPECT_TRUE(LogHas(kFailedLine));
}

TEST_F(SettingsFileTest, AFlippedByteFailsTheChecksum) {
  Store("S-1-5-21-9", "sys.name", "Ann");
  std::string bytes = LiveBytes("S-1-5-21-9");
  bytes[bytes.size() / 2] ^= 0x01;
  testing_support::WriteFileBytes(PathsOf("S-1-5-21-9").live, bytes);
  EXPECT_FALSE(Loaded(*Load("S-1-5-21-9")));
  EXPECT_TRUE(LogHas("ReadFromBinFile - Checksum Error in file '" + PathsOf("S-1-5-21-9").live + "'"));
  EXPECT_TRUE(LogHas(kFailedLine));
  // The damaged file is left for whoever wants to look at it.
  EXPECT_EQ(LiveBytes("S-1-5-21-9"), bytes);
}

TEST_F(SettingsFileTest, FilesThatHoldNoValidSnapshotFailTheRead) {
  const std::string owner = "S-1-5-21-9";
  const std::string good_xml = "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><uncorrupted VT=\"8\">Definitely"
                               "</uncorrupted><sys.x VT=\"8\">1</sys.x></cSettings></VeltrisSettings>";
  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"1 byte", "a"},
      {"4 bytes", "abcd"},
      {"5 bytes, checksum holds", WithChecksum("a")},
      {"garbage with a checksum that holds", WithChecksum(std::string(64, '\x5a'))},
      {"another owner's file", WithChecksum(Encrypted("S-1-5-21-8", good_xml))},
      {"text that is no XML", WithChecksum(Encrypted(owner, "not xml at all"))},
      {"XML without the marker", WithChecksum(Encrypted(owner, "<VeltrisSettings><cSettings name=\"Windows_v1.50\">"
                                                               "<sys.x VT=\"8\">1</sys.x></cSettings></VeltrisSettings>"))},
      {"marker of another object", WithChecksum(Encrypted(owner, "<VeltrisSettings><cSettings name=\"x\"><uncorrupted"
                                                                 ">Definitely</uncorrupted></cSettings>"
                                                                 "</VeltrisSettings>"))},
      {"the raw snapshot, not encrypted", WithChecksum(good_xml)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::WriteFileBytes(PathsOf(owner).live, c.file);
    auto settings = Load(owner);
    EXPECT_FALSE(Loaded(*settings));
    EXPECT_EQ(settings->GetValue("sys.keep").StringValue(), "before");
    EXPECT_EQ(LiveBytes(owner), c.file);
  }
  // The same file, well made, loads.
  testing_support::WriteFileBytes(PathsOf(owner).live, WithChecksum(Encrypted(owner, good_xml)));
  EXPECT_EQ(Load(owner)->GetValue("sys.x").StringValue(), "1");
}

TEST_F(SettingsFileTest, ACompleteWorkFileBesideTheLiveFileWins) {
  Store("", "sys.name", "old");
  const std::string old_live = LiveBytes("");
  Store("", "sys.name", "new");
  const std::string new_live = LiveBytes("");
  // As a write that stopped after its flush, before its rename, leaves it.
  testing_support::WriteFileBytes(PathsOf("").live, old_live);
  testing_support::WriteFileBytes(PathsOf("").work, new_live);
  EXPECT_EQ(Load("")->GetValue("sys.name").StringValue(), "new");
  EXPECT_FALSE(platform::fs::FileExists(PathsOf("").work));
  EXPECT_EQ(LiveBytes(""), new_live);
}

TEST_F(SettingsFileTest, ATornWorkFileIsDiscardedAndTheLiveFileRead) {
  Store("", "sys.name", "old");
  const std::string old_live = LiveBytes("");
  Store("", "sys.name", "new");
  const std::string new_live = LiveBytes("");
  Store("S-1-5-21-3", "sys.name", "someone else");
  const std::string torn[] = {
      new_live.substr(0, new_live.size() / 2),
      new_live.substr(0, new_live.size() - 1),
      std::string(new_live.size(), '\0'),
      "",
      LiveBytes("S-1-5-21-3"),  // its checksum holds, but it is no snapshot for this owner
  };
  for (const std::string& work : torn) {
    SCOPED_TRACE(work.size());
    testing_support::WriteFileBytes(PathsOf("").live, old_live);
    testing_support::WriteFileBytes(PathsOf("").work, work);
    EXPECT_EQ(Load("")->GetValue("sys.name").StringValue(), "old");
    EXPECT_FALSE(platform::fs::FileExists(PathsOf("").work));
    EXPECT_EQ(LiveBytes(""), old_live);
  }
  EXPECT_TRUE(LogHas("ReadFromBinFile - Discarding incomplete work file '" + PathsOf("").work + "'"));
}

TEST_F(SettingsFileTest, AReadOnlyReaderChangesNothingOnDisk) {
  Store("", "sys.name", "old");
  const std::string old_live = LiveBytes("");
  Store("", "sys.name", "new");
  const std::string new_live = LiveBytes("");
  testing_support::WriteFileBytes(PathsOf("").live, old_live);

  testing_support::WriteFileBytes(PathsOf("").work, new_live.substr(0, 10));
  ByteArray data = ReadFromBinFile(PathsOf(""), WorkFileHandling::kReadOnly);
  EXPECT_EQ(std::string(data.begin(), data.end()), old_live.substr(0, old_live.size() - 4));

  testing_support::WriteFileBytes(PathsOf("").work, new_live);
  data = ReadFromBinFile(PathsOf(""), WorkFileHandling::kReadOnly);
  EXPECT_EQ(std::string(data.begin(), data.end()), new_live.substr(0, new_live.size() - 4));
  EXPECT_EQ(LiveBytes(""), old_live);
  EXPECT_EQ(testing_support::ReadFileBytes(PathsOf("").work), new_live);
}

}  // namespace
}  // namespace settings
