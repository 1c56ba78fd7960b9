// cFileMgr: protected files, the store-file life cycle, struct entries.
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "contracts/support_objects.h"
#include "platform/basic/err.h"
#include "platform/com/object.h"
#include "store/store_fixture.h"
#include "testing/child_process.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

using FileManagerTest = StoreTest;

TEST_F(FileManagerTest, CreatingAndReleasingAreLogged) {
  ClearLog();
  auto other = CreateFileManager();
  other.reset();
  const auto log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "Creating file manager");
  EXPECT_EQ(log[1], "Terminating file manager");
}

TEST_F(FileManagerTest, ProtectingTwiceGivesTheSameHandleLetterCaseCountsAndFreedSlotsAreReused) {
  const int32_t a = mgr_->ProtectFile(Path("work/A.bin"));
  ASSERT_NE(a, 0);
  EXPECT_EQ(mgr_->ProtectFile(Path("work/A.bin")), a);
  // Another letter case names another file.
  EXPECT_EQ(mgr_->GetProtectedFileHandle(Path("work/a.bin")), 0);
  const int32_t b = mgr_->ProtectFile(Path("work/b.bin"));
  EXPECT_NE(b, a);
  mgr_->UnprotectFile(Path("work/a.bin"));
  EXPECT_EQ(mgr_->GetProtectedFileHandle(Path("work/A.bin")), a) << "a.bin is not A.bin";
  mgr_->UnprotectFile(Path("work/A.bin"));
  EXPECT_EQ(mgr_->GetProtectedFileHandle(Path("work/A.bin")), 0);
  EXPECT_EQ(platform::fs::OpenFile(Path("work/A.bin"), platform::fs::OpenMode::kInput), a)
      << "unprotecting closes the file";
  platform::fs::CloseFile(a);
  const int32_t c = mgr_->ProtectFile(Path("work/c.bin"));
  EXPECT_NE(c, 0);
  EXPECT_EQ(mgr_->GetProtectedFileHandle(Path("work/c.bin")), c);
}

TEST_F(FileManagerTest, PlayingBackAStoreNeverReadsAnotherWhoseNameDiffersInLetterCase) {
  Write("one/x", "from the lower-case store");
  Write("two/x", "from the upper-case store");
  const int32_t lower = mgr_->CreateStoreFile(Path("work/a.store"), "tok", false);
  mgr_->BackupFiles(Path("one"), "", "*", false, true, lower);
  mgr_->FinalizeStoreFile(lower);
  mgr_->UnprotectFile(Path("work/a.store"));
  const int32_t upper = mgr_->CreateStoreFile(Path("work/A.store"), "tok", true);
  mgr_->BackupFiles(Path("two"), "", "*", false, true, upper);
  mgr_->FinalizeStoreFile(upper);
  mgr_->UnprotectFile(Path("work/A.store"));
  const std::string lower_bytes = Bytes("work/a.store");
  ASSERT_NE(mgr_->ProtectFile(Path("work/a.store")), 0);

  mgr_->PlayBackStoreFile(Path("work/A.store"));

  EXPECT_EQ(Bytes("two/x"), "from the upper-case store");
  EXPECT_FALSE(std::filesystem::exists(root_ / "one/x"));
  mgr_->UnprotectFile(Path("work/a.store"));
  EXPECT_EQ(Bytes("work/a.store"), lower_bytes);
}

TEST_F(FileManagerTest, AProtectedFileIsClosedToOtherOpenersAndAHeldFileCannotBeProtected) {
  const int32_t h = mgr_->ProtectFile(Path("work/p.bin"));
  ASSERT_NE(h, 0);
  int32_t error = 0;
  EXPECT_EQ(platform::fs::OpenFile(Path("work/p.bin"), platform::fs::OpenMode::kInput, platform::fs::Access::kDefault,
                                   platform::fs::Share::kShared, &error),
            0);
  EXPECT_EQ(error, 70);

  // Another process holds q.bin with sharing denied.
  Write("work/q.bin", "x");
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  const std::string q = Path("work/q.bin");
  const pid_t child = testing_support::StartChild([&] {
    const int n = platform::fs::OpenFile(q, platform::fs::OpenMode::kBinary, platform::fs::Access::kReadWrite,
                                         platform::fs::Share::kDenyAll);
    char ready = n ? 'y' : 'n';
    if (::write(gate[1], &ready, 1) != 1) return 1;
    ::pause();
    return 0;
  });
  char ready = 0;
  ASSERT_EQ(::read(gate[0], &ready, 1), 1);
  ASSERT_EQ(ready, 'y');
  EXPECT_EQ(mgr_->ProtectFile(q), 0);
  EXPECT_EQ(mgr_->GetProtectedFileHandle(q), 0) << "no slot stays in use";
  ::kill(child, SIGKILL);
  testing_support::WaitChild(child);
  ::close(gate[0]);
  ::close(gate[1]);
  EXPECT_NE(mgr_->ProtectFile(q), 0);
}

TEST_F(FileManagerTest, AppendingFollowsTheEntryChainAndChecksTokenAndCompression) {
  const std::string s = Path("s.bin");
  int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  store::Bytes one{'1'};
  store::Bytes one_more{'1', '1'};
  mgr_->StoreStruct("a", h, EK_NONE, false, false, ST_RAW, one_more);
  mgr_->FinalizeStoreFile(h);
  mgr_->UnprotectFile(s);
  const std::string finalized = Bytes("s.bin");

  EXPECT_EQ(mgr_->OpenStoreFileForAppend(s, "TOK"), 0) << "the token compares exactly";
  EXPECT_EQ(mgr_->GetProtectedFileHandle(s), 0) << "a refused file is released";
  EXPECT_EQ(mgr_->OpenStoreFileForAppend(Path("missing.bin"), "tok"), 0);
  h = mgr_->OpenStoreFileForAppend(s, " tok\t");
  ASSERT_NE(h, 0);
  EXPECT_EQ(platform::fs::Tell(h), static_cast<int64_t>(finalized.size()));
  EXPECT_EQ(mgr_->EntryCounter(), 1);
  store::Bytes two{'2', '2'};
  mgr_->StoreStruct("b", h, EK_NONE, false, false, ST_RAW, two);
  mgr_->FinalizeStoreFile(h);
  auto bag = mgr_->PlayBackStoreFile(s);
  ASSERT_EQ(bag->Count(), 2);
  EXPECT_EQ(*bag->Item("a"), (store::Bytes{'1', '1'}));
  EXPECT_EQ(*bag->Item("b"), (store::Bytes{'2', '2'}));
  mgr_->UnprotectFile(s);

  // Never finalized: EntryCount 0, so new entries go right after the header.
  h = mgr_->CreateStoreFile(s, "tok", false);
  mgr_->StoreStruct("old", h, EK_NONE, false, false, ST_RAW, one_more);
  mgr_->UnprotectFile(s);
  h = mgr_->OpenStoreFileForAppend(s, "tok");
  ASSERT_NE(h, 0);
  EXPECT_EQ(platform::fs::Tell(h), 58);
  mgr_->UnprotectFile(s);

  // A compressed file takes no more entries.
  h = mgr_->CreateStoreFile(s, "tok", true);
  mgr_->StoreStruct("c", h, EK_NONE, false, false, ST_RAW, one_more);
  mgr_->FinalizeStoreFile(h);
  mgr_->UnprotectFile(s);
  EXPECT_EQ(mgr_->OpenStoreFileForAppend(s, "tok"), 0);
  (void)one;
}

TEST_F(FileManagerTest, ABrokenEntryChainRefusesTheAppend) {
  const std::string s = Path("s.bin");
  int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  store::Bytes data{'a', 'b'};
  mgr_->StoreStruct("a", h, EK_NONE, false, false, ST_RAW, data);
  mgr_->FinalizeStoreFile(h);
  mgr_->UnprotectFile(s);
  std::string bytes = Bytes("s.bin");
  bytes[58 + 3] = 'X';  // the entry signature
  Write("s.bin", bytes);
  EXPECT_EQ(mgr_->OpenStoreFileForAppend(s, "tok"), 0);
  EXPECT_EQ(mgr_->GetProtectedFileHandle(s), 0);
}

TEST_F(FileManagerTest, EmptyStructsAndForeignHandlesWriteNothing) {
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  store::Bytes empty;
  mgr_->StoreStruct("a", h, EK_NONE, true, true, ST_RAW, empty);
  EXPECT_EQ(mgr_->EntryCounter(), 0);
  const int32_t foreign = platform::fs::OpenFile(Path("work/other.bin"), platform::fs::OpenMode::kBinary);
  store::Bytes data{'x', 'y'};
  mgr_->StoreStruct("a", foreign, EK_NONE, false, false, ST_RAW, data);
  mgr_->BackupFiles(Path("work"), "", "*", true, false, foreign);
  mgr_->FinalizeStoreFile(foreign);
  EXPECT_EQ(platform::fs::FileLength(foreign), 0) << "a handle this manager does not protect is left alone";
  EXPECT_EQ(mgr_->EntryCounter(), 0);
  platform::fs::CloseFile(foreign);
}

TEST_F(FileManagerTest, StructsComeBackForEveryCombinationOfSteps) {
  struct Case {
    int32_t key_type;
    bool hash;
    bool compress;
  };
  const Case cases[] = {
      {EK_NONE, false, false},    {EK_NONE, true, false},    {EK_NONE, false, true},
      {EK_SPECIFIED, false, false}, {EK_SPECIFIED, true, true}, {EK_TOKENSPECIFIC, false, true},
  };
  // Sizes around the cipher's block and the codec's frames.
  const size_t sizes[] = {1, 15, 16, 17, 1000, 70000};
  const std::string s = Path("s.bin");
  for (const Case& c : cases) {
    for (size_t size : sizes) {
      SCOPED_TRACE(std::to_string(c.key_type) + " " + std::to_string(c.hash) + " " + std::to_string(c.compress) +
                   " " + std::to_string(size));
      store::Bytes original(size);
      for (size_t i = 0; i < size; ++i) original[i] = static_cast<uint8_t>((i * 7 + i / 100) % 251);
      store::Bytes buffer = original;
      const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
      mgr_->StoreStruct("tag", h, c.key_type, c.hash, c.compress, ST_FWRULES, buffer);
      mgr_->FinalizeStoreFile(h);
      if (c.key_type != EK_NONE || c.compress) {
        EXPECT_NE(buffer, original) << "the caller gets the stored bytes";
      }
      ClearLog();
      auto bag = mgr_->PlayBackStoreFile(s);
      ASSERT_EQ(bag->Count(), 1);
      EXPECT_EQ(*bag->Item("tag"), original);
      EXPECT_FALSE(Logged("LoadStruct error: MD5 mismatch"));
      mgr_->UnprotectFile(s);
    }
  }
}

// Offset of the stored data of the first struct entry with tag "t", no hash.
constexpr size_t kFirstStructData = 58 + 18 + 52 + 1;

TEST_F(FileManagerTest, AWrongDigestIsLoggedAndTheDataUsedAnyway) {
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  store::Bytes buffer{'a', 'b', 'c'};
  mgr_->StoreStruct("t", h, EK_NONE, true, false, ST_RAW, buffer);
  mgr_->FinalizeStoreFile(h);
  mgr_->UnprotectFile(s);
  std::string bytes = Bytes("s.bin");
  ASSERT_EQ(bytes.substr(bytes.size() - 3), "abc");
  bytes[bytes.size() - 1] = 'X';
  Write("s.bin", bytes);
  ClearLog();
  auto bag = mgr_->PlayBackStoreFile(s);
  EXPECT_TRUE(Logged("LoadStruct error: MD5 mismatch"));
  EXPECT_EQ(*bag->Item("t"), (store::Bytes{'a', 'b', 'X'}));
  EXPECT_TRUE(Logged("Adding playback buffer with key: t"));
}

TEST_F(FileManagerTest, AGarbledCompressedTailIsDroppedUpTo14Bytes) {
  for (int junk : {1, 14, 15}) {
    SCOPED_TRACE(junk);
    const std::string s = Path("s.bin");
    const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
    store::Bytes original(5000, 'q');
    store::Bytes buffer = original;
    mgr_->StoreStruct("t", h, EK_NONE, false, true, ST_RAW, buffer);
    mgr_->FinalizeStoreFile(h);
    mgr_->UnprotectFile(s);
    // Junk after the compressed bytes, counted into both lengths.
    std::string bytes = Bytes("s.bin") + std::string(static_cast<size_t>(junk), '\x5A');
    auto put_long = [&](size_t at, int32_t v) { bytes.replace(at, 4, I32(v)); };
    const int32_t stored = static_cast<int32_t>(buffer.size());
    put_long(58 + 10, 52 + 1 + stored + junk);  // EntryHeader.DataLength
    put_long(58 + 18 + 2, stored + junk);       // StructRecord.DataLength
    Write("s.bin", bytes);
    auto bag = mgr_->PlayBackStoreFile(s);
    ASSERT_EQ(bag->Count(), 1);
    if (junk < 15) {
      EXPECT_EQ(*bag->Item("t"), original);
    } else {
      EXPECT_EQ(bag->Item("t")->size(), buffer.size() + 15) << "after 15 failures the bytes stay as they were";
    }
    mgr_->UnprotectFile(s);
  }
  (void)kFirstStructData;
}

TEST_F(FileManagerTest, ALaterStructOfTheSameTagReplacesTheEarlierOne) {
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  store::Bytes first{'1', '1'};
  store::Bytes second{'2', '2'};
  store::Bytes other{'3', '3'};
  mgr_->StoreStruct("t", h, EK_NONE, false, false, ST_RAW, first);
  mgr_->StoreStruct("u", h, EK_NONE, false, false, ST_RAW, other);
  mgr_->StoreStruct("t", h, EK_NONE, false, false, ST_RAW, second);
  mgr_->FinalizeStoreFile(h);
  ClearLog();
  auto bag = mgr_->PlayBackStoreFile(s);
  ASSERT_EQ(bag->Count(), 2);
  EXPECT_EQ(bag->Key(1), "u");
  EXPECT_EQ(bag->Key(2), "t");
  EXPECT_EQ(*bag->Item("t"), second);
  const std::vector<std::string> expected{
      "Adding playback buffer with key: t", "Existing playback buffer key: t", "Adding playback buffer with key: u",
      "Existing playback buffer key: t",    "Existing playback buffer key: u", "Adding playback buffer with key: t"};
  EXPECT_EQ(Log(), expected);
}

TEST_F(FileManagerTest, LateBoundCallersGetHandlesBagsAndTheStoredBuffer) {
  using platform::Variant;
  platform::com::ObjectPtr mgr = mgr_;
  std::vector<Variant> create{Variant(Path("s.bin")), Variant("tok"), Variant(false)};
  const int32_t h = platform::com::CallByName(mgr, "CreateStoreFile", create).LongValue();
  ASSERT_NE(h, 0);
  std::vector<Variant> store_args{Variant("t"),     Variant(h),     Variant(int32_t{EK_SPECIFIED}), Variant(true),
                                  Variant(true),    Variant(int32_t{ST_RAW}),
                                  Variant::ByteArray(std::string("hello"), 1)};
  platform::com::CallByName(mgr, "StoreStruct", store_args);
  EXPECT_NE(store_args[6].Bytes(), (store::Bytes{'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(store_args[6].LowerBound(), 1);
  std::vector<Variant> finalize{Variant(h)};
  EXPECT_TRUE(platform::com::CallByName(mgr, "FinalizeStoreFile", finalize).IsEmpty());
  std::vector<Variant> play{Variant(Path("s.bin"))};
  auto bag = platform::com::ObjectOf(platform::com::CallByName(mgr, "PlayBackStoreFile", play));
  EXPECT_EQ(platform::com::CallByName(bag, "Count", {}).LongValue(), 1);
  std::vector<Variant> key{Variant("t")};
  EXPECT_EQ(platform::com::CallByName(bag, "Item", key).Bytes(), (store::Bytes{'h', 'e', 'l', 'l', 'o'}));
  std::vector<Variant> size{Variant(Path("s.bin"))};
  EXPECT_GT(platform::com::CallByName(mgr, "SafeFileSize", size).LongValue(), 58);
  std::vector<Variant> missing{Variant(Path("none"))};
  EXPECT_EQ(platform::com::CallByName(mgr, "SafeFileSize", missing).LongValue(), 0);
  // A one-element array counted from 0 has no element above index 0.
  std::vector<Variant> tiny{Variant("z"),  Variant(h),     Variant(int32_t{EK_NONE}), Variant(false),
                            Variant(false), Variant(int32_t{ST_RAW}), Variant::ByteArray(std::string("a"), 0)};
  const int32_t before = mgr_->EntryCounter();
  platform::com::CallByName(mgr, "StoreStruct", tiny);
  EXPECT_EQ(mgr_->EntryCounter(), before);
}

TEST_F(FileManagerTest, OneStructLimitForStoringAndPlayingBack) {
  constexpr int32_t kLimit = 4096;
  SetStructLimitForTesting(kLimit);
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  store::Bytes at_limit(kLimit);
  for (size_t i = 0; i < at_limit.size(); ++i) at_limit[i] = static_cast<uint8_t>(i * 7);
  const store::Bytes original = at_limit;
  mgr_->StoreStruct("limit", h, EK_SPECIFIED, true, true, ST_RAW, at_limit);
  ASSERT_EQ(mgr_->EntryCounter(), 1);
  const std::string before = Bytes("s.bin");

  // One byte more is refused, said, and leaves the store as it was.
  store::Bytes over(kLimit + 1, 'o');
  ClearLog();
  platform::Err::Clear();
  mgr_->StoreStruct("over", h, EK_NONE, false, false, ST_RAW, over);
  EXPECT_EQ(platform::Err::Number(), platform::kErrOverflow);
  EXPECT_EQ(mgr_->EntryCounter(), 1);
  EXPECT_EQ(Bytes("s.bin"), before);
  EXPECT_TRUE(Logged("StoreStruct: 'over' is larger than 4096 bytes, the most a playback takes back; not stored"));
  mgr_->FinalizeStoreFile(h);

  auto bag = mgr_->PlayBackStoreFile(s);
  ASSERT_NE(bag->Item("limit"), nullptr);
  EXPECT_EQ(*bag->Item("limit"), original);
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kComplete);

  // A compressed struct that claims more than the limit is damage: never
  // expanded that far, never handed out still compressed.
  const std::string record = I16(ST_RAW) + I32(4) + I16(0) + Array(std::string(16, '\0'), 1) + I16(-1) +
                             I32(kLimit + 1) + Text("big") + Array("", 0) + "abcd";
  Write("big.bin", Header(1, "tok", "", false) + Entry(3, record, 1));
  ClearLog();
  bag = mgr_->PlayBackStoreFile(Path("big.bin"));
  EXPECT_EQ(bag->Count(), 0);
  EXPECT_TRUE(Logged("Error reading entry 1 in file '" + Path("big.bin") + "' (invalid record)"));
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kStoppedAtDamage);
  SetStructLimitForTesting(0);
}

TEST_F(FileManagerTest, AFinalizedStoreTakesNothingMoreThroughAnyHandleUntilOpenedForAppend) {
  Write("src/a", std::string(100000, 'a'));
  for (const bool compressed : {true, false}) {
    SCOPED_TRACE(compressed ? "compressed" : "plain");
    const std::string s = Path("s.bin");
    mgr_->UnprotectFile(s);
    const int32_t h = mgr_->CreateStoreFile(s, "tok", compressed);
    mgr_->BackupFiles(Path("src"), "", "*", false, false, h);
    mgr_->FinalizeStoreFile(h);
    const std::string finalized = Bytes("s.bin");
    const int32_t now = mgr_->GetProtectedFileHandle(s);
    ASSERT_NE(now, 0);

    // The caller's handle (whose number the compressed store may have taken
    // over) and the store's own: a second finalize would compress the body
    // again, a writer would start at the header.
    for (const int32_t handle : {h, now}) {
      SCOPED_TRACE(handle == now ? "the store's handle" : "the caller's old handle");
      ClearLog();
      platform::Err::Clear();
      mgr_->FinalizeStoreFile(handle);
      EXPECT_EQ(platform::Err::Number(), platform::kErrBadFileNumber);
      if (handle == now) {
        EXPECT_TRUE(Logged("FinalizeStoreFile: " + s + " is finalized; nothing more is written to it"));
      }
      platform::Err::Clear();
      mgr_->BackupFiles(Path("src"), "", "*", false, false, handle);
      EXPECT_FALSE(mgr_->LastBackup().written);
      EXPECT_EQ(platform::Err::Number(), platform::kErrBadFileNumber);
      store::Bytes buffer{1, 2, 3};
      mgr_->StoreStruct("t", handle, EK_NONE, false, false, ST_RAW, buffer);
      mgr_->BackupRegKey(static_cast<int32_t>(0x80000002u), "SOFTWARE", false, false, handle);
      EXPECT_FALSE(mgr_->WriteEntryCount(handle));
      EXPECT_EQ(Bytes("s.bin"), finalized);
    }
    // Opened for adding, a plain store takes entries again; a compressed
    // one is refused.
    const int32_t again = mgr_->OpenStoreFileForAppend(s, "tok");
    EXPECT_EQ(again != 0, !compressed);
    if (again) {
      platform::Err::Clear();
      store::Bytes buffer{1, 2, 3};
      mgr_->StoreStruct("t", again, EK_NONE, false, false, ST_RAW, buffer);
      mgr_->FinalizeStoreFile(again);
      EXPECT_FALSE(platform::Err::IsSet()) << platform::Err::Description();
    }
    fs::remove(root_ / "src/a");
    auto bag = mgr_->PlayBackStoreFile(s);
    EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kComplete);
    EXPECT_EQ(Bytes("src/a"), std::string(100000, 'a'));
    EXPECT_EQ(bag->Count(), compressed ? 0 : 1);
  }
}

}  // namespace
}  // namespace store::testing
