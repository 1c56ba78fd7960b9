// Backup, finalize and playback let the thread's pending calls run between
// chunks, and what those calls leave in the thread's error is never taken
// for the routine's own.
#include <filesystem>
#include <utility>

#include "platform/apartment/apartment.h"
#include "platform/basic/err.h"
#include "store/store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

// A call that is always pending: each run counts, fails, and posts itself
// again for the next pump.
class FailingPendingCall {
 public:
  FailingPendingCall() { Post(); }
  ~FailingPendingCall() {
    stopped_ = true;
    platform::Apartment::Current()->PumpPending();
  }
  int TakeRuns() { return std::exchange(runs_, 0); }

 private:
  void Post() {
    platform::Apartment::Current()->Post([this] {
      if (stopped_) return;
      ++runs_;
      Post();
      platform::RaiseError(platform::kErrInvalidCall, "a pumped call failed", "Elsewhere");
    });
  }
  int runs_ = 0;
  bool stopped_ = false;
};

using PendingEventsTest = StoreTest;

TEST_F(PendingEventsTest, PendingCallsRunBetweenChunksAndTheirErrorsEndNothing) {
  // Two files of more than one read block each, a body of three compressed
  // chunks.
  const std::string a(1200000, 'a');
  std::string b(1200000, 'b');
  for (size_t i = 0; i < b.size(); i += 97) b[i] = static_cast<char>(i);
  Write("src/a", a);
  Write("src/b", b);
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", true);
  FailingPendingCall pending;
  platform::Err::Clear();

  mgr_->BackupFiles(Path("src"), "", "*", false, /*fDeleteFiles=*/true, h);
  EXPECT_GE(pending.TakeRuns(), 4) << "a pump after each block read";
  EXPECT_FALSE(platform::Err::IsSet()) << platform::Err::Description();
  EXPECT_TRUE(mgr_->LastBackup().written);
  EXPECT_EQ(mgr_->LastBackup().files, 2);
  EXPECT_FALSE(fs::exists(root_ / "src/a")) << "stored, so deleted";

  mgr_->FinalizeStoreFile(h);
  EXPECT_GE(pending.TakeRuns(), 2) << "a pump between compressed chunks";
  EXPECT_FALSE(platform::Err::IsSet()) << platform::Err::Description();

  mgr_->PlayBackStoreFile(s);
  EXPECT_GE(pending.TakeRuns(), 4) << "a pump after each chunk restored and expanded";
  EXPECT_FALSE(platform::Err::IsSet()) << platform::Err::Description();
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kComplete);
  EXPECT_EQ(mgr_->LastPlayback().files, 2);
  EXPECT_TRUE(Bytes("src/a") == a);
  EXPECT_TRUE(Bytes("src/b") == b);
}

}  // namespace
}  // namespace store::testing
