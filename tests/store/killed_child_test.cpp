// A process killed while it finalizes or expands a store leaves a store that
// still plays back.
#include <signal.h>

#include <filesystem>

#include "store/store_fixture.h"
#include "testing/child_process.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

class KilledChildTest : public StoreTest {
 protected:
  // Three chunks' worth of files under src/.
  void MakeTree() {
    for (int i = 0; i < 6; ++i) {
      std::string data;
      for (int j = 0; j < 300000; ++j) data += static_cast<char>('a' + (j * (i + 3)) % 23);
      Write("src/f" + std::to_string(i), data);
    }
    before_ = Contents();
  }
  std::map<std::string, std::string> Contents() {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::directory_iterator(root_ / "src")) {
      files[item.path().filename().string()] = testing_support::ReadFileBytes(item.path());
    }
    return files;
  }
  std::map<std::string, std::string> before_;
};

TEST_F(KilledChildTest, KilledWhileFinalizing) {
  MakeTree();
  const std::string s = Path("s.bin");
  const std::string src = Path("src");
  const int status = testing_support::RunInChild([&] {
    cFileMgr mgr;
    const int32_t h = mgr.CreateStoreFile(s, "tok", true);
    mgr.BackupFiles(src, "", "*", false, false, h);
    SetChunkHookForTesting([](int32_t chunk) {
      if (chunk == 2) ::raise(SIGKILL);
    });
    mgr.FinalizeStoreFile(h);
    return 0;
  });
  ASSERT_EQ(status, 128 + SIGKILL);
  fs::remove_all(root_ / "src");
  auto bag = mgr_->PlayBackStoreFile(s);
  EXPECT_TRUE(mgr_->LastPlayback().completed);
  EXPECT_EQ(Contents(), before_);
}

TEST_F(KilledChildTest, KilledWhileExpanding) {
  MakeTree();
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", true);
  mgr_->BackupFiles(Path("src"), "", "*", false, true, h);
  mgr_->FinalizeStoreFile(h);
  mgr_->UnprotectFile(s);
  const std::string compressed = Bytes("s.bin");
  const int status = testing_support::RunInChild([&] {
    cFileMgr mgr;
    SetChunkHookForTesting([](int32_t chunk) {
      if (chunk == 2) ::raise(SIGKILL);
    });
    mgr.PlayBackStoreFile(s);
    return 0;
  });
  ASSERT_EQ(status, 128 + SIGKILL);
  EXPECT_EQ(Bytes("s.bin"), compressed) << "the store is untouched";
  mgr_->PlayBackStoreFile(s);
  EXPECT_TRUE(mgr_->LastPlayback().completed);
  EXPECT_EQ(Contents(), before_);
}

}  // namespace
}  // namespace store::testing
