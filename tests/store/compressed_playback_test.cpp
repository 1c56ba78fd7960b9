// Playback of a compressed store: the entries play back while the body
// expands, and the store on disk ends as its expanded form, byte for byte,
// however the playback of the entries ended.
#include <filesystem>

#include "platform/basic/err.h"
#include "store/store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

// Bytes that compress somewhat but not to nothing.
std::string Mixed(size_t size, uint32_t seed) {
  std::string bytes;
  bytes.reserve(size);
  uint32_t state = seed;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes += static_cast<char>('a' + ((state >> 16) % 7));
  }
  return bytes;
}

class CompressedPlaybackTest : public StoreTest {
 protected:
  // src/ with three files over several chunks, stored twice: plain.bin
  // uncompressed and packed.bin compressed (same token, same stamp).
  void MakeStores() {
    Write("src/f1", Mixed(700000, 1));
    Write("src/f2", Mixed(300000, 2));
    Write("src/f3", Mixed(600000, 3));
    for (const bool compress : {false, true}) {
      const std::string path = Path(compress ? "packed.bin" : "plain.bin");
      const int32_t h = mgr_->CreateStoreFile(path, "tok", compress);
      store::Bytes data{'s', 't'};
      mgr_->StoreStruct("first", h, EK_NONE, false, false, ST_RAW, data);
      mgr_->BackupFiles(Path("src"), "", "*", false, false, h);
      mgr_->FinalizeStoreFile(h);
      mgr_->UnprotectFile(path);
    }
    // The expansion writes the header with Compressed cleared: the plain one.
    expanded_ = Bytes("plain.bin");
    ASSERT_FALSE(Bytes("packed.bin") == expanded_);
    ASSERT_GE(Bytes("packed.bin").size(), 58u + 12u);
  }
  std::string expanded_;
};

TEST_F(CompressedPlaybackTest, TheStoreOnDiskBecomesItsExpandedFormAndEveryFileComesBack) {
  MakeStores();
  fs::remove_all(root_ / "src");
  StoreProgress last;
  mgr_->SetProgress([&](const StoreProgress& now) { last = now; });
  auto bag = mgr_->PlayBackStoreFile(Path("packed.bin"));
  EXPECT_TRUE(mgr_->LastPlayback().completed);
  // Progress counts the expanded bytes, up to the expanded size.
  EXPECT_EQ(last.bytes_total, static_cast<int64_t>(expanded_.size()));
  EXPECT_EQ(last.bytes_done, static_cast<int64_t>(expanded_.size()));
  EXPECT_EQ(last.files_done, 3);
  EXPECT_EQ(bag->Count(), 1);
  EXPECT_TRUE(Bytes("src/f1") == Mixed(700000, 1));
  EXPECT_TRUE(Bytes("src/f2") == Mixed(300000, 2));
  EXPECT_TRUE(Bytes("src/f3") == Mixed(600000, 3));
  EXPECT_NE(mgr_->GetProtectedFileHandle(Path("packed.bin")), 0) << "still protected";
  mgr_->UnprotectFile(Path("packed.bin"));
  EXPECT_TRUE(Bytes("packed.bin") == expanded_);
}

TEST_F(CompressedPlaybackTest, APlaybackEndedByALockedFileStillLeavesTheWholeExpandedStore) {
  MakeStores();
  Write("src/f2", "held by someone else");
  const int locker = platform::fs::OpenFile(Path("src/f2"), platform::fs::OpenMode::kBinary,
                                            platform::fs::Access::kReadWrite, platform::fs::Share::kDenyAll);
  ASSERT_NE(locker, 0);
  mgr_->PlayBackStoreFile(Path("packed.bin"));
  platform::fs::CloseFile(locker);
  EXPECT_FALSE(mgr_->LastPlayback().completed);
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kFileFailures);
  EXPECT_EQ(platform::Err::Description(), "DESTFILE_UNWRITEABLE");
  EXPECT_EQ(Bytes("src/f2"), "held by someone else");
  mgr_->UnprotectFile(Path("packed.bin"));
  EXPECT_TRUE(Bytes("packed.bin") == expanded_);
}

TEST_F(CompressedPlaybackTest, ADamagedLaterChunkLeavesTheStoreAndTheFilesItCoversAsTheyWere) {
  MakeStores();
  // The last chunk's compressed bytes lose their frame's magic number: they
  // cannot expand.
  std::string packed = Bytes("packed.bin");
  size_t at = 58;
  size_t last = at;
  while (at + 12 <= packed.size()) {
    last = at;
    uint32_t compressed = 0;
    for (int i = 3; i >= 0; --i) compressed = (compressed << 8) | static_cast<uint8_t>(packed[at + 4 + static_cast<size_t>(i)]);
    at += 12 + compressed;
  }
  ASSERT_GT(last, 58u) << "more than one chunk";
  packed[last + 12] = static_cast<char>(packed[last + 12] ^ 0xFF);
  Write("packed.bin", packed);
  fs::remove_all(root_ / "src");
  Write("src/f3", "the old third file");

  ClearLog();
  auto bag = mgr_->PlayBackStoreFile(Path("packed.bin"));
  EXPECT_FALSE(mgr_->LastPlayback().completed);
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kStoppedAtDamage);
  EXPECT_EQ(bag->Count(), 1) << "the struct before the damage plays back";
  EXPECT_TRUE(Bytes("src/f1") == Mixed(700000, 1));
  EXPECT_TRUE(Bytes("src/f2") == Mixed(300000, 2));
  EXPECT_EQ(Bytes("src/f3"), "the old third file") << "a file whose data reach the damage is not touched";
  std::vector<std::string> log;
  for (const auto& line : Log()) {
    if (!line.starts_with("Adding playback") && !line.starts_with("Existing playback")) log.push_back(line);
  }
  EXPECT_EQ(log, std::vector<std::string>{"Error reading file '" + Path("packed.bin") + "' (invalid compressed body)"});
  EXPECT_FALSE(platform::Err::IsSet());
  mgr_->UnprotectFile(Path("packed.bin"));
  EXPECT_TRUE(Bytes("packed.bin") == packed) << "the store stays as it was";
}

}  // namespace
}  // namespace store::testing
