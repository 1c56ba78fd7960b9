// The pieces of a settings file: its name, its checksum, its encryption, and
// the bytes a store leaves on disk.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/fs/file_ops.h"
#include "settings/files/checksum.h"
#include "settings/files/settings_file_fixture.h"
#include "settings/files/snapshot_cipher.h"
#include "settings/folders/folders.h"

namespace settings {
namespace {

using platform::Variant;

TEST_F(SettingsFileTest, FilesAreNamedForTheDigestOfSaltAndOwnerInLowerCase) {
  auto crypto = contracts::Support().Crypto();
  EXPECT_EQ(SettingsFileBase(""), crypto->DigestText("+%&=*"));
  EXPECT_EQ(SettingsFileBase("S-1-5-21-AB"), crypto->DigestText("+%&=*s-1-5-21-ab"));
  EXPECT_EQ(SettingsFileBase("S-1-5-21-AB"), SettingsFileBase("s-1-5-21-ab"));
  EXPECT_NE(SettingsFileBase("*"), SettingsFileBase(""));
  const SettingsFilePaths paths = PathsOf("*");
  EXPECT_EQ(paths.live, GetProfileFolder() + "/" + SettingsFileBase("*") + ".exl");
  EXPECT_EQ(paths.work, GetProfileFolder() + "/" + SettingsFileBase("*") + ".exb");
}

TEST_F(SettingsFileTest, ChecksumAddsBytesAndRestartsAtZeroInsteadOfOverflowing) {
  struct Case {
    int32_t start;
    uint8_t byte;
    int32_t expected;
  };
  const Case cases[] = {
      {0, 0, 0},
      {0, 255, 255},
      {INT_MAX - 255, 255, INT_MAX},
      {INT_MAX - 254, 255, 0},  // would overflow: back to 0, the byte not counted
      {INT_MAX, 1, 0},
      {INT_MAX, 0, INT_MAX},
  };
  for (const Case& c : cases) {
    int32_t sum = c.start;
    AddToChecksum(sum, c.byte);
    EXPECT_EQ(sum, c.expected) << c.start << " + " << int(c.byte);
  }
  EXPECT_EQ(Checksum(std::vector<uint8_t>{1, 2, 250}), 253);
  // 8,421,505 bytes of 255 pass INT_MAX once: the sum restarts and goes on.
  const std::vector<uint8_t> many(8421505 + 3, 255);
  int32_t slow = 0;
  for (uint8_t byte : many) AddToChecksum(slow, byte);
  EXPECT_EQ(Checksum(many), slow);
  EXPECT_EQ(slow, 3 * 255);
}

TEST_F(SettingsFileTest, SnapshotsAreEncryptedForTheirOwner) {
  const std::string xml = "<VeltrisSettings><cSettings name=\"Windows_v1.50\"></cSettings></VeltrisSettings>";
  const ByteArray data = EncryptSnapshot("S-1-5-21-1", xml);
  ASSERT_GE(data.size(), xml.size());
  EXPECT_EQ(std::string(data.begin(), data.end()).find("VeltrisSettings"), std::string::npos);
  EXPECT_EQ(DecryptSnapshot("S-1-5-21-1", data), xml);
  EXPECT_EQ(DecryptSnapshot("s-1-5-21-1", data), xml);  // the owner's letter case does not matter
  EXPECT_NE(DecryptSnapshot("S-1-5-21-2", data), xml);
  EXPECT_NE(EncryptSnapshot("", xml), data);

  EXPECT_TRUE(EncryptSnapshot("", "").empty());
  EXPECT_TRUE(EncryptSnapshot("", "ab").empty());
  EXPECT_FALSE(EncryptSnapshot("", "abc").empty());
  EXPECT_EQ(DecryptSnapshot("", EncryptSnapshot("", "abc")), "abc");
  EXPECT_EQ(DecryptSnapshot("", std::vector<uint8_t>{1, 2}), "");
  EXPECT_EQ(DecryptSnapshot("", std::vector<uint8_t>{1, 2, 3}), "");  // not a whole block
  // The reader cuts at the first NUL and trims spaces.
  EXPECT_EQ(DecryptSnapshot("", EncryptSnapshot("", std::string("  <a/> \0junk", 12))), "<a/>");
}

TEST_F(SettingsFileTest, AStoredFileIsTheEncryptedSnapshotFollowedByItsChecksum) {
  cSettings settings;
  settings.SetValue("sys.name", "value");
  settings.SetValue("tmp.gone", 1);
  settings.WriteSnapshotToStored("");
  EXPECT_TRUE(LogHas("cSettings for '' write to main file successful."));

  const SettingsFilePaths paths = PathsOf("");
  EXPECT_FALSE(platform::fs::FileExists(paths.work));
  const std::string bytes = LiveBytes("");
  ASSERT_GT(bytes.size(), 4u);
  const std::vector<uint8_t> data(bytes.begin(), bytes.end() - 4);
  const int32_t sum = Checksum(data);
  const std::string trailer = bytes.substr(bytes.size() - 4);
  EXPECT_EQ(trailer, std::string({static_cast<char>(sum & 0xFF), static_cast<char>((sum >> 8) & 0xFF),
                                  static_cast<char>((sum >> 16) & 0xFF), static_cast<char>((sum >> 24) & 0xFF)}));
  // The file holds the snapshot as it was before the stored path was noted.
  EXPECT_EQ(DecryptSnapshot("", data),
            "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><sys.name VT=\"8\">value</sys.name>"
            "<uncorrupted VT=\"8\">Definitely</uncorrupted></cSettings></VeltrisSettings>");
  EXPECT_EQ(settings.StoredFilePath(), paths.live);
  EXPECT_EQ(settings.GetValue("user.filename").StringValue(), paths.live);
  EXPECT_TRUE(settings.Dirty());
}

}  // namespace
}  // namespace settings
