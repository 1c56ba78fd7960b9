// Backup and playback: folders and registry keys stored and put back.
#include <filesystem>
#include <map>

#include "platform/basic/err.h"
#include "platform/fs/file_times.h"
#include "platform/registry/registry.h"
#include "settings/folders/folders.h"
#include "store/registry_tree.h"
#include "store/store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;
namespace reg = platform::registry;

// path below `folder` -> contents ("/" at the end for a folder).
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(folder)) return tree;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    const std::string rel = fs::relative(item.path(), folder).string();
    tree[item.is_directory() ? rel + "/" : rel] =
        item.is_directory() ? "" : testing_support::ReadFileBytes(item.path());
  }
  return tree;
}

class BackupPlaybackTest : public StoreTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BackupPlaybackTest, AFolderTreeComesBackAsItWasStored) {
  const bool compressed = GetParam();
  std::string mixed;
  for (int i = 0; i < 70000; ++i) mixed += static_cast<char>((i * 2654435761u) >> 13);
  Write("src/a.txt", "alpha");
  Write("src/.hidden", "h");
  Write("src/empty", "");
  Write("src/big.bin", std::string(2000, 'B'));
  Write("src/sub/b.txt", "beta");
  Write("src/sub/.hdir/c.txt", "gamma");
  Write("src/sub/deeper/d.bin", mixed);
  Write("src/sub/deeper/skip/kept.txt", "deeper folders of an excluded name are stored");
  Write("src/skip/e.txt", "excluded");
  fs::create_directories(root_ / "src/emptydir");
  const auto before = Snapshot(root_ / "src");

  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", compressed);
  mgr_->BackupFiles(Path("src"), "", "*", true, true, h, "|skip|", 1000);
  mgr_->FinalizeStoreFile(h);

  // Stored files are gone, emptied folders too; the excluded folder stays.
  const auto after_backup = Snapshot(root_ / "src");
  const std::map<std::string, std::string> left{{"skip/", ""}, {"skip/e.txt", "excluded"}};
  EXPECT_EQ(after_backup, left);
  EXPECT_EQ(testing_support::ReadFileBytes(fs::path(settings::GetProfileFolder()) / "lfiles/big.bin"),
            std::string(2000, 'B'));

  auto bag = mgr_->PlayBackStoreFile(s);
  EXPECT_EQ(bag->Count(), 0);
  EXPECT_TRUE(mgr_->LastPlayback().completed);
  auto expected = before;
  expected.erase("emptydir/");  // a folder without files has no record
  EXPECT_EQ(Snapshot(root_ / "src"), expected);
  EXPECT_FALSE(fs::exists(fs::path(settings::GetProfileFolder()) / "lfiles/big.bin"));
  // Played back, the store is uncompressed on disk and still protected.
  EXPECT_NE(mgr_->GetProtectedFileHandle(s), 0);
  mgr_->UnprotectFile(s);
  EXPECT_EQ(Bytes("s.bin").substr(46, 2), I16(0));
}

TEST_P(BackupPlaybackTest, ARegistryTreeComesBackAsItWasStored) {
  const bool compressed = GetParam();
  for (bool also_subkeys : {false, true}) {
    SCOPED_TRACE(also_subkeys);
    const std::string k = "SOFTWARE\\RT";
    SetValue(k, "sz", reg::kRegSz, std::string("text\0", 5));
    SetValue(k, "nonul", reg::kRegSz, "no terminator");
    SetValue(k, "expand", reg::kRegExpandSz, std::string("%PATH%\0", 7));
    SetValue(k, "bin", reg::kRegBinary, std::string("\x00\x01\xFF", 3));
    SetValue(k, "dword", reg::kRegDword, std::string("\x78\x56\x34\x12", 4));
    SetValue(k, "multi", reg::kRegMultiSz, std::string("a\0b\0\0", 5));
    SetValue(k, "qword", reg::kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    SetValue(k, "emptybin", reg::kRegBinary, "");
    SetValue(k, "", reg::kRegSz, std::string("default\0", 8));
    SetValue(k + "\\S1", "one", reg::kRegDword, std::string("\x01\x00\x00\x00", 4));
    SetValue(k + "\\S1\\Deep", "two", reg::kRegSz, std::string("2\0", 2));
    CreateKey(k + "\\S2");
    const KeyTree before = Tree(k);
    ASSERT_EQ(before.size(), 4u);

    const std::string s = Path("r.bin");
    const int32_t h = mgr_->CreateStoreFile(s, "tok", compressed);
    mgr_->BackupRegKey(static_cast<int32_t>(reg::kHkeyLocalMachine), k, also_subkeys, true, h);
    mgr_->FinalizeStoreFile(h);
    EXPECT_EQ(mgr_->EntryCounter(), 4) << "every key below has an entry of its own";
    EXPECT_TRUE(Tree(k).empty()) << "deleted after storing";

    mgr_->PlayBackStoreFile(s);
    EXPECT_EQ(Tree(k), before);
    mgr_->UnprotectFile(s);
    reg::RegDeleteTreeA(reg::kHkeyLocalMachine, k.c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(CompressedOrNot, BackupPlaybackTest, ::testing::Bool());

using KeyEntryTest = StoreTest;

TEST_F(KeyEntryTest, TheKeysOwnGroupComesFirstAndEachGroupsFirstWrittenValueNamesItsKey) {
  const std::string k = "SOFTWARE\\Grp";
  SetValue(k, "own", reg::kRegSz, std::string("o\0", 2));
  // The first value the subkey enumerates has a type that is not stored.
  SetValue(k + "\\S", "link", reg::kRegLink, "x");
  SetValue(k + "\\S", "sv", reg::kRegSz, std::string("s\0", 2));
  const int32_t root = static_cast<int32_t>(reg::kHkeyLocalMachine);

  const std::string s = Path("k.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  ClearLog();
  mgr_->BackupRegKey(root, k, true, false, h);
  mgr_->FinalizeStoreFile(h);
  EXPECT_TRUE(Logged("BackupRegKey: Unhandled value type '6': SOFTWARE\\Grp\\S\\link"));

  const std::string first_body = I32(root) + Text(k) + I16(2) +                                 //
                                 I32(0) + Text("") + Text("own") + I32(1) + Array(std::string("o\0", 2), 0) + I32(0) +
                                 I32(0) + Text("\\S") + Text("sv") + I32(1) + Array(std::string("s\0", 2), 0) + I32(0);
  const std::string second_body = I32(root) + Text(k + "\\S") + I16(1) +  //
                                  I32(0) + Text("") + Text("sv") + I32(1) + Array(std::string("s\0", 2), 0) + I32(0);
  EXPECT_EQ(Bytes("k.bin"), Header(2, "tok", "", false) + Entry(1, first_body, 1) + Entry(1, second_body, 2));

  reg::RegDeleteTreeA(reg::kHkeyLocalMachine, k.c_str());
  mgr_->PlayBackStoreFile(s);
  const KeyTree expected{{k, {{"own", {reg::kRegSz, std::string("o\0", 2)}}}},
                         {k + "\\S", {{"sv", {reg::kRegSz, std::string("s\0", 2)}}}}};
  EXPECT_EQ(Tree(k), expected);
}

TEST_F(KeyEntryTest, AKeyWithoutValuesHasACountOfZeroAndAMissingKeyIsLogged) {
  CreateKey("SOFTWARE\\Bare");
  const int32_t root = static_cast<int32_t>(reg::kHkeyLocalMachine);
  const int32_t h = mgr_->CreateStoreFile(Path("k.bin"), "tok", false);
  ClearLog();
  mgr_->BackupRegKey(root, "SOFTWARE\\Bare", false, false, h);
  mgr_->BackupRegKey(root, "SOFTWARE\\Missing", false, false, h);
  mgr_->FinalizeStoreFile(h);
  EXPECT_EQ(Log(), std::vector<std::string>{"BackupRegKey: Can't open SOFTWARE\\Missing for read"});
  EXPECT_EQ(Bytes("k.bin"), Header(1, "tok", "", false) + Entry(1, I32(root) + Text("SOFTWARE\\Bare") + I16(0), 1));
}

TEST_F(KeyEntryTest, PlaybackLogsWhatItCannotSet) {
  const int32_t root = static_cast<int32_t>(reg::kHkeyLocalMachine);
  const std::string values = I32(0) + Text("") + Text("odd") + I32(0) + Array("", 0) + I32(0) +  //
                             I32(0) + Text("") + Text("ok") + I32(4) + Array("", 0) + I32(9);
  const std::string body = I32(root) + Text("SOFTWARE\\Odd") + I16(2) + values;
  // A value entry under a root that is no predefined key is refused.
  const std::string value_entry = I32(0x1234) + Text("SOFTWARE\\V") + Text("v") + I32(4) + Array("", 0) + I32(1);
  Write("k.bin", Header(2, "tok", "", false) + Entry(1, body, 1) + Entry(2, value_entry, 2));
  ClearLog();
  mgr_->PlayBackStoreFile(Path("k.bin"));
  EXPECT_TRUE(Logged("RestoreRegKeys: Unknown value type '0' on RegSetValueEx(SOFTWARE\\Odd\\odd): 0x0"));
  const KeyTree expected{{"SOFTWARE\\Odd", {{"ok", {reg::kRegDword, std::string("\x09\0\0\0", 4)}}}}};
  EXPECT_EQ(Tree("SOFTWARE\\Odd"), expected);
  EXPECT_TRUE(Tree("SOFTWARE\\V").empty());
  EXPECT_EQ(platform::Err::Description(), "Win32 error on RegFacetCreateKeyEx: 0x6");
  // The value of no known type and the refused entry were not written.
  EXPECT_EQ(mgr_->LastPlayback().registry_failures, 2);
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kFileFailures);
}

using FilePlaybackTest = StoreTest;

TEST_F(FilePlaybackTest, ALockedDestinationEndsThePlaybackAndEarlierEntriesStay) {
  Write("src/a1", "one");
  Write("src/a2", "two");
  Write("src/a3", "three");
  SetValue("SOFTWARE\\After", "v", reg::kRegSz, std::string("v\0", 2));
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
  store::Bytes data{'d'};
  data.push_back('e');
  mgr_->StoreStruct("before", h, EK_NONE, false, false, ST_RAW, data);
  mgr_->BackupFiles(Path("src"), "", "*", false, true, h);
  mgr_->BackupRegKey(static_cast<int32_t>(reg::kHkeyLocalMachine), "SOFTWARE\\After", false, true, h);
  mgr_->FinalizeStoreFile(h);
  ASSERT_TRUE(Tree("SOFTWARE\\After").empty());

  Write("src/a2", "held by someone else");
  const int locker = platform::fs::OpenFile(Path("src/a2"), platform::fs::OpenMode::kBinary,
                                            platform::fs::Access::kReadWrite, platform::fs::Share::kDenyAll);
  ASSERT_NE(locker, 0);
  auto bag = mgr_->PlayBackStoreFile(s);
  platform::fs::CloseFile(locker);
  EXPECT_EQ(bag->Count(), 1);
  EXPECT_EQ(Bytes("src/a1"), "one");
  EXPECT_EQ(Bytes("src/a2"), "held by someone else");
  EXPECT_FALSE(fs::exists(root_ / "src/a3"));
  EXPECT_TRUE(Tree("SOFTWARE\\After").empty()) << "nothing after the failed file is read";
  EXPECT_EQ(platform::Err::Description(), "DESTFILE_UNWRITEABLE");
  EXPECT_FALSE(mgr_->LastPlayback().completed);
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kFileFailures);
}

TEST_F(FilePlaybackTest, ALockedSourceIsNotStoredNorDeleted) {
  Write("src/a", "a");
  Write("src/b", "b");
  const int locker = platform::fs::OpenFile(Path("src/a"), platform::fs::OpenMode::kInput,
                                            platform::fs::Access::kDefault, platform::fs::Share::kShared);
  const int32_t h = mgr_->CreateStoreFile(Path("s.bin"), "tok", false);
  mgr_->BackupFiles(Path("src"), "", "*", false, true, h);
  mgr_->FinalizeStoreFile(h);
  platform::fs::CloseFile(locker);
  EXPECT_EQ(Bytes("src/a"), "a");
  EXPECT_FALSE(fs::exists(root_ / "src/b"));
  const std::string base = Path("src") + "/";
  const std::string body = Text(base) + I32(1) +
                           FileRecordBytes("", "b", platform::fs::FileDateTime(Path("s.bin")), 0, 0, 1) + "b";
  // The date of b is gone with b; compare around it.
  const std::string bytes = Bytes("s.bin");
  EXPECT_EQ(bytes.substr(0, 58 + 18), Header(1, "tok", "", false) + std::string("\x1ASEHv002", 8) + I16(5) +
                                          I32(static_cast<int32_t>(body.size())) + I32(1));
  EXPECT_EQ(bytes.substr(58 + 18, base.size() + 2 + 4), Text(base) + I32(1));
}

TEST_F(FilePlaybackTest, ARestoredFileReplacesALongerOneWhole) {
  Write("src/f", "short");
  const int32_t h = mgr_->CreateStoreFile(Path("s.bin"), "tok", false);
  mgr_->BackupFiles(Path("src"), "", "*", false, false, h);
  mgr_->FinalizeStoreFile(h);
  Write("src/f", "a much longer text than the stored one");
  mgr_->PlayBackStoreFile(Path("s.bin"));
  EXPECT_EQ(Bytes("src/f"), "short");
}

TEST_F(FilePlaybackTest, NamesThatLeaveTheirFolderAreRefused) {
  const std::string base = Path("dest") + "/";
  auto file = [](const std::string& rel, const std::string& name, const std::string& data) {
    return FileRecordBytes(rel, name, 0, 0, 0, static_cast<int32_t>(data.size())) + data;
  };
  const std::string body = Text(base) + I32(6) + file("", "../evil", "1") + file("../", "evil2", "2") +
                           file("/abs/", "evil3", "3") + file("", "..", "4") + file("a/../../", "evil5", "5") +
                           file("ok/", "good", "good");
  Write("s.bin", Header(1, "tok", "", false) + Entry(5, body, 1));
  ClearLog();
  mgr_->PlayBackStoreFile(Path("s.bin"));
  EXPECT_EQ(Bytes("dest/ok/good"), "good");
  EXPECT_FALSE(fs::exists(root_ / "evil"));
  EXPECT_FALSE(fs::exists(root_ / "evil2"));
  EXPECT_FALSE(fs::exists(root_ / "evil5"));
  EXPECT_FALSE(fs::exists("/abs/evil3"));
  EXPECT_TRUE(Logged("RestoreFile: refusing the unsafe name '../evil' in " + base));
  EXPECT_TRUE(Logged("RestoreFile: refusing the unsafe name 'a/../../evil5' in " + base));
  // Read to the end, but five files were not written: not a success.
  EXPECT_TRUE(mgr_->LastPlayback().completed);
  EXPECT_EQ(mgr_->LastPlayback().refused, 5);
  EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kFileFailures);
}

TEST_F(FilePlaybackTest, ARestoreRootKeepsEveryFileBelowIt) {
  Write("src/x/y.txt", "y");
  const int32_t h = mgr_->CreateStoreFile(Path("s.bin"), "tok", false);
  mgr_->BackupFiles(Path("src"), "", "*", true, false, h);
  mgr_->FinalizeStoreFile(h);
  mgr_->SetRestoreRoot(Path("elsewhere"));
  mgr_->PlayBackStoreFile(Path("s.bin"));
  EXPECT_EQ(Bytes("elsewhere" + Path("src") + "/x/y.txt"), "y");
}

}  // namespace
}  // namespace store::testing
