// Backup, finalize and playback let the thread's pending calls run between
// chunks, and what those calls leave in the thread's error is never taken
// for the routine's own.
#include <filesystem>
#include <utility>

#include "platform/apartment/apartment.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
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


// A late-bound call pumped while a late-bound backup, finalize or playback
// runs on the same file manager (a plug-in's, or a second client's) must
// not reach it: it would make another file the current store under the
// running one, or play back in the middle of a backup.
TEST_F(PendingEventsTest, ACallPumpedDuringALongCallIsRefusedAndChangesNothing) {
  Write("src/a", std::string(200000, 'a'));
  Write("src/b", std::string(200000, 'b'));
  const std::string s = Path("s.bin"), other = Path("other.bin");
  const platform::com::ObjectPtr mgr = mgr_;
  using platform::Variant;
  const int32_t h = platform::CLng(platform::com::CallByName(mgr, "CreateStoreFile", {Variant(s), Variant("tok"), Variant(true)}));
  ASSERT_NE(h, 0);
  struct Pumped {
    std::string member;
    Variant answer;
    std::string error;
  };
  std::vector<Pumped> pumped;
  auto post = [&](std::string member, std::vector<Variant> args) {
    platform::Apartment::Current()->Post([&, member, args]() mutable {
      platform::Err::Clear();
      Variant answer = platform::com::CallByName(mgr, member, platform::com::Args(args.data(), args.size()));
      pumped.push_back({member, answer, platform::Err::Description()});
    });
  };
  post("CreateStoreFile", {Variant(other), Variant("tok"), Variant(false)});
  platform::com::CallByName(mgr, "BackupFiles", {Variant(Path("src")), Variant(""), Variant("*"), Variant(false),
                                                 Variant(false), Variant(h)});
  post("PlayBackStoreFile", {Variant(s)});
  platform::com::CallByName(mgr, "FinalizeStoreFile", {Variant(h)});

  ASSERT_EQ(pumped.size(), 2u) << "each ran during the long call it was posted before";
  EXPECT_TRUE(pumped[0].answer.IsEmpty());
  EXPECT_EQ(pumped[0].error, "the file manager is busy with BackupFiles; CreateStoreFile is refused");
  EXPECT_EQ(pumped[1].error, "the file manager is busy with FinalizeStoreFile; PlayBackStoreFile is refused");
  ASSERT_TRUE(pumped[1].answer.IsObject()) << "a playback still answers a bag";
  EXPECT_EQ(platform::CLng(platform::com::CallByName(pumped[1].answer.ObjectValue(), "Count")), 0);
  EXPECT_FALSE(fs::exists(other));
  EXPECT_EQ(mgr_->CurrentStoreName(), s);
  EXPECT_EQ(mgr_->LastBackup().files, 2);
  int refusals = 0;
  for (const std::string& line : Log()) refusals += line.starts_with("cFileMgr: the file manager is busy with ");
  EXPECT_EQ(refusals, 2);

  // Once the long calls are over, calls run again: the store is whole.
  mgr_->UnprotectFile(s);
  mgr_->PlayBackStoreFile(s);
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kComplete);
  EXPECT_EQ(mgr_->LastPlayback().files, 2);
}

}  // namespace
}  // namespace store::testing
