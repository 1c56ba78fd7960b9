// Backups that cannot keep what they take: a failed write, an entry that
// would outgrow its length field.
#include <filesystem>

#include "platform/basic/err.h"
#include "platform/registry/registry.h"
#include "store/registry_tree.h"
#include "store/store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

int32_t LongAt(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return static_cast<int32_t>(value);
}

class LostBytesTest : public StoreTest {
 protected:
  void TearDown() override {
    FailStoreWritesForTesting(false);
    FailStoreSyncsForTesting(false);
    SetEntryLimitForTesting(0);
    StoreTest::TearDown();
  }
};

// A source is removed only once the store holding it is on the disk: a
// write that fails, or a sync that fails after the writes went through,
// leaves every file and key where it was.
TEST_F(LostBytesTest, AFailedWriteOrSyncLeavesEverySourceInPlaceAndFailsTheCall) {
  namespace reg = platform::registry;
  const int32_t machine = static_cast<int32_t>(reg::kHkeyLocalMachine);
  const std::string k = "SOFTWARE\\Kept";
  for (const bool sync_fails : {false, true}) {
    SCOPED_TRACE(sync_fails ? "the sync fails" : "the write fails");
    Write("src/a", "alpha");
    Write("src/sub/b", "beta");
    SetValue(k, "v", reg::kRegSz, std::string("v\0", 2));
    SetValue(k + "\\Sub", "w", reg::kRegDword, std::string("\x01\x00\x00\x00", 4));
    const KeyTree keys = Tree(k);
    const int32_t h = mgr_->CreateStoreFile(Path(sync_fails ? "s2.bin" : "s1.bin"), "tok", false);
    FailStoreWritesForTesting(!sync_fails);
    FailStoreSyncsForTesting(sync_fails);

    platform::Err::Clear();
    mgr_->BackupFiles(Path("src"), "", "*", true, /*fDeleteFiles=*/true, h);
    EXPECT_TRUE(platform::Err::IsSet());
    platform::Err::Clear();
    mgr_->BackupRegKey(machine, k, true, /*fDeleteKeys=*/true, h);
    EXPECT_TRUE(platform::Err::IsSet());

    FailStoreWritesForTesting(false);
    FailStoreSyncsForTesting(false);
    EXPECT_EQ(Bytes("src/a"), "alpha");
    EXPECT_EQ(Bytes("src/sub/b"), "beta");
    EXPECT_EQ(Tree(k), keys);
  }
}

TEST_F(LostBytesTest, AFileSetEntryIsSplitBeforeItOutgrowsItsLength) {
  SetEntryLimitForTesting(200);
  for (const char* name : {"a", "b", "c", "d", "sub/e"}) Write(std::string("src/") + name, std::string(60, *name));
  Write("src/huge", std::string(300, 'h'));
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  mgr_->BackupFiles(Path("src"), "", "*", true, /*fDeleteFiles=*/true, h);
  mgr_->FinalizeStoreFile(h);

  // A file that no entry could hold stays, said so; the others are spread
  // over entries that each keep within the limit.
  EXPECT_EQ(mgr_->LastBackup().failed, 1);
  EXPECT_EQ(mgr_->LastBackup().files, 5);
  EXPECT_TRUE(Logged("BackupFiles: '" + Path("src") + "/huge' is too large for one store entry"));
  EXPECT_EQ(Bytes("src/huge"), std::string(300, 'h'));
  const std::string bytes = Bytes("s.bin");
  const int32_t entries = LongAt(bytes, 8);
  EXPECT_GE(entries, 3);
  size_t position = 58;
  for (int32_t i = 1; i <= entries; ++i) {
    ASSERT_LE(position + 18, bytes.size());
    const int32_t length = LongAt(bytes, position + 10);
    EXPECT_LE(length, 200) << "entry " << i;
    EXPECT_EQ(LongAt(bytes, position + 14), i);
    position += 18 + static_cast<size_t>(length);
  }
  EXPECT_EQ(position, bytes.size());

  mgr_->PlayBackStoreFile(s);
  EXPECT_TRUE(mgr_->LastPlayback().completed);
  for (const char* name : {"a", "b", "c", "d", "sub/e"}) {
    EXPECT_EQ(Bytes(std::string("src/") + name), std::string(60, *name)) << name;
  }
}

}  // namespace
}  // namespace store::testing
