// Backup and playback run as root over a folder that an ordinary user owns:
// the user's links, hard links and modes must never let root write, read or
// delete anything beyond that folder, nor hand out more than was there.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "settings/folders/folders.h"
#include "store/large_files.h"
#include "store/store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

// An ordinary user that needs no account: only its number matters here.
constexpr uid_t kUser = 65534;
constexpr gid_t kGroup = 65534;

struct stat StatOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

class HostileFolderTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (::geteuid() != 0) GTEST_SKIP() << "the attacks need root to play back as";
    home_ = root_ / "home";
    d_ = home_ / "d";
    etc_ = root_ / "etc";
    fs::create_directories(d_);
    fs::create_directories(etc_);
    Write("etc/passwd", "root:x:0:0");
    ::chmod(Path("etc/passwd").c_str(), 0644);
    Give(home_);
  }

  // Hands `path` (and everything below it) to the user, as if made by them.
  static void Give(const fs::path& path) {
    ASSERT_EQ(::lchown(path.c_str(), kUser, kGroup), 0);
    if (fs::is_directory(fs::symlink_status(path))) {
      for (const auto& item : fs::recursive_directory_iterator(path)) {
        ASSERT_EQ(::lchown(item.path().c_str(), kUser, kGroup), 0);
      }
    }
  }
  // A link the user plants.
  static void Plant(const fs::path& link, const fs::path& target) {
    fs::remove_all(link);
    fs::create_symlink(target, link);
    Give(link);
  }

  std::string BackUp(bool delete_files) {
    const std::string s = Path("s.bin");
    const int32_t h = mgr_->CreateStoreFile(s, "tok", false);
    mgr_->BackupFiles(d_.string(), "", "*", true, delete_files, h);
    mgr_->FinalizeStoreFile(h);
    return s;
  }

  fs::path home_, d_, etc_;
};

TEST_F(HostileFolderTest, PlaybackNeverWritesThroughALinkPlantedInTheTarget) {
  struct Case {
    const char* name;
    fs::path link;  // below d_, or d_ itself
    fs::path target;
    std::string log;  // what playback says of the refused file or folder
  };
  const std::string d = d_.string();
  const Case cases[] = {
      {"a file", "x", "passwd", "RestoreFile: refusing '" + d + "/x': it is a symbolic link"},
      {"a folder", "sub", "", "RestoreFile: refusing '" + d + "/sub/y': " + d + "/sub is a symbolic link"},
      {"the folder itself", "", "",
       "PlayBackStoreFile: refusing to restore into '" + d + "/': " + d + " is a symbolic link"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(d_);
    Write("home/d/x", "stored x");
    Write("home/d/sub/y", "stored y");
    Give(home_);
    mgr_->UnprotectFile(Path("s.bin"));
    const std::string s = BackUp(false);
    Plant(c.link.empty() ? d_ : d_ / c.link, etc_ / c.target);
    ClearLog();

    mgr_->PlayBackStoreFile(s);

    EXPECT_EQ(Bytes("etc/passwd"), "root:x:0:0");
    EXPECT_FALSE(fs::exists(etc_ / "y"));
    EXPECT_FALSE(fs::exists(etc_ / "x"));
    EXPECT_TRUE(Logged(c.log));
    EXPECT_GE(mgr_->LastPlayback().refused, 1);
  }
}

TEST_F(HostileFolderTest, PlaybackReplacesAHardLinkedFileInsteadOfWritingThroughIt) {
  Write("home/d/x", "stored x");
  Give(home_);
  const std::string s = BackUp(false);
  fs::remove(d_ / "x");
  fs::create_hard_link(etc_ / "passwd", d_ / "x");

  mgr_->PlayBackStoreFile(s);

  EXPECT_EQ(Bytes("etc/passwd"), "root:x:0:0");
  EXPECT_EQ(StatOf(etc_ / "passwd").st_nlink, 1u);
  EXPECT_EQ(Bytes("home/d/x"), "stored x");
  EXPECT_TRUE(mgr_->LastPlayback().completed);
}

TEST_F(HostileFolderTest, BackupNeverStoresFollowsOrDeletesThroughALink) {
  Write("etc/keep.conf", "conf");
  Write("home/d/real", "r");
  Give(home_);
  Plant(d_ / "folderlink", etc_);
  Plant(d_ / "filelink", etc_ / "passwd");
  ClearLog();

  const std::string s = BackUp(/*delete_files=*/true);

  // Nothing behind the links was stored or deleted; the links stay.
  EXPECT_EQ(Bytes("etc/keep.conf"), "conf");
  EXPECT_EQ(Bytes("etc/passwd"), "root:x:0:0");
  EXPECT_TRUE(fs::is_symlink(d_ / "folderlink"));
  EXPECT_TRUE(fs::is_symlink(d_ / "filelink"));
  EXPECT_FALSE(fs::exists(d_ / "real"));
  EXPECT_EQ(mgr_->LastBackup().links, 2);
  EXPECT_EQ(mgr_->LastBackup().files, 1);
  EXPECT_TRUE(Logged("BackupFiles: skipping the symbolic link '" + d_.string() + "/filelink'"));
  EXPECT_TRUE(Logged("BackupFiles: skipping the symbolic link '" + d_.string() + "/folderlink'"));
  const std::string store = Bytes("s.bin");
  EXPECT_EQ(store.find("root:x:0:0"), std::string::npos);
  EXPECT_EQ(store.find("conf"), std::string::npos);

  fs::remove(d_ / "folderlink");
  fs::remove(d_ / "filelink");
  mgr_->PlayBackStoreFile(s);
  EXPECT_EQ(Bytes("home/d/real"), "r");
  EXPECT_FALSE(fs::exists(d_ / "passwd"));
}

TEST_F(HostileFolderTest, BackupRefusesAHardLinkToAnotherOwnersFile) {
  fs::create_hard_link(etc_ / "passwd", d_ / "stolen");
  Write("home/d/mine", "m");
  ::lchown((d_ / "mine").c_str(), kUser, kGroup);
  const std::string s = BackUp(/*delete_files=*/true);
  EXPECT_EQ(Bytes("s.bin").find("root:x:0:0"), std::string::npos);
  EXPECT_EQ(mgr_->LastBackup().failed, 1);
  EXPECT_TRUE(fs::exists(d_ / "stolen"));
  EXPECT_TRUE(Logged("BackupFile: refusing '" + d_.string() + "/stolen': a hard link to a file of another owner"));
}

TEST_F(HostileFolderTest, RestoredFilesBelongToTheFolderOwnerAndAreNeverWiderThanItsFolder) {
  struct Case {
    mode_t folder;
    mode_t file;  // a plain file comes back so
  };
  for (const Case c : {Case{0700, 0600}, Case{0755, 0644}, Case{0750, 0640}}) {
    SCOPED_TRACE(c.folder);
    fs::remove_all(d_);
    Write("home/d/setuid", "s");
    Write("home/d/readonly", "r");
    Write("home/d/sub/deep", "d");
    ::chmod((d_ / "setuid").c_str(), 04755);
    ::chmod((d_ / "readonly").c_str(), 0444);
    Give(home_);
    ::chmod(d_.c_str(), c.folder);
    ::chmod((d_ / "sub").c_str(), c.folder);
    mgr_->UnprotectFile(Path("s.bin"));
    const std::string s = BackUp(/*delete_files=*/true);
    ASSERT_FALSE(fs::exists(d_ / "sub"));

    // Under the unit's umask, as the service runs: it narrows nothing.
    const mode_t old_mask = ::umask(0027);
    mgr_->PlayBackStoreFile(s);
    ::umask(old_mask);

    for (const char* name : {"setuid", "sub/deep"}) {
      const struct stat st = StatOf(d_ / name);
      EXPECT_EQ(st.st_mode & 07777, c.file) << name;
      EXPECT_EQ(st.st_uid, kUser) << name;
      EXPECT_EQ(st.st_gid, kGroup) << name;
    }
    EXPECT_EQ(StatOf(d_ / "readonly").st_mode & 07777, c.file & 0444);
    // A folder made again belongs to the owner of the folder it is made in.
    const struct stat sub = StatOf(d_ / "sub");
    EXPECT_EQ(sub.st_uid, kUser);
    EXPECT_EQ(sub.st_mode & 07777, c.folder & 0755);
  }
}

TEST_F(HostileFolderTest, StoresAndTheirWorkFilesAreTheOwnersAlone) {
  const mode_t old_mask = ::umask(0);
  Write("home/d/x", std::string(100000, 'x'));
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed);
    const std::string s = Path("s.bin");
    mgr_->UnprotectFile(s);
    const int32_t h = mgr_->CreateStoreFile(s, "tok", compressed);
    EXPECT_EQ(StatOf(s).st_mode & 07777, 0600u);
    mgr_->BackupFiles(d_.string(), "", "*", true, false, h);
    mgr_->FinalizeStoreFile(h);
    EXPECT_EQ(StatOf(s).st_mode & 07777, 0600u);
    mgr_->PlayBackStoreFile(s);
    EXPECT_EQ(StatOf(s).st_mode & 07777, 0600u);
  }
  ::umask(old_mask);
}

TEST_F(HostileFolderTest, TheStoreFileItselfIsNeverReachedThroughALinkAUserPlanted) {
  Write("src/x", std::string(100000, 'x'));
  fs::create_directories(d_ / "keep");
  Give(home_);
  Plant(d_ / "out", etc_);
  Plant(d_ / "p.bin", etc_ / "passwd");

  // Made through a folder link: refused, nothing made behind it.
  EXPECT_EQ(mgr_->CreateStoreFile((d_ / "out" / "s.bin").string(), "tok", false), 0);
  EXPECT_FALSE(fs::exists(etc_ / "s.bin"));

  // Opened through a link in its own place or a folder link: refused, the
  // file behind it neither opened nor changed.
  EXPECT_EQ(mgr_->ProtectFile((d_ / "p.bin").string()), 0);
  EXPECT_EQ(mgr_->ProtectFile((d_ / "out" / "passwd").string()), 0);
  EXPECT_EQ(Bytes("etc/passwd"), "root:x:0:0");

  // Its folder swapped for a link between the start of a store and the
  // compressing finalize: the compressed store is never put behind the link.
  const std::string s = (d_ / "keep" / "s.bin").string();
  const int32_t h = mgr_->CreateStoreFile(s, "tok", true);
  ASSERT_NE(h, 0);
  mgr_->BackupFiles(Path("src"), "", "*", true, false, h);
  fs::rename(d_ / "keep", d_ / "kept");
  Plant(d_ / "keep", etc_);
  mgr_->FinalizeStoreFile(h);
  EXPECT_FALSE(fs::exists(etc_ / "s.bin"));
  EXPECT_TRUE(fs::exists(d_ / "kept" / "s.bin"));
}

TEST_F(HostileFolderTest, ARestoreRootIsNeverLeftWhateverLinksItsOwnerPlants) {
  Write("home/d/x", "stored x");
  Write("home/d/sub/y", "stored y");
  Write("home/d/big", std::string(2000, 'b'));
  Give(home_);
  const std::string s = Path("s.bin");
  const int32_t h = mgr_->CreateStoreFile(s, "tok", true);
  mgr_->BackupFiles(d_.string(), "", "*", true, false, h, "", /*MaxFileSize=*/1000);
  mgr_->FinalizeStoreFile(h);
  const fs::path large = fs::path(LargeFilesFolder()) / "big";
  ASSERT_TRUE(fs::exists(large));

  // The admin plays the store back below a folder the user owns; the user
  // has planted a link somewhere on the way.
  const fs::path out = home_ / "out";
  const fs::path jailed = out.string() + d_.string();  // where d_ goes below the root
  const fs::path first_part = out / d_.relative_path().begin()->string();
  struct Case {
    const char* name;
    fs::path link;  // "": no link
    fs::path target;
  };
  const Case cases[] = {
      {"no link", "", ""},
      {"the root itself", out, etc_},
      {"the first folder below the root", first_part, etc_},
      {"the stored folder", jailed, etc_},
      {"a folder in it", jailed / "sub", etc_},
      {"a file", jailed / "x", etc_ / "passwd"},
  };
  mgr_->SetRestoreRoot(out.string());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(out);
    fs::create_directories(jailed / "sub");
    Give(out);
    if (!c.link.empty()) Plant(c.link, c.target);
    ClearLog();

    mgr_->PlayBackStoreFile(s);

    // Nothing behind a link, nothing where the files came from, the large
    // file still set aside.
    EXPECT_EQ(Bytes("etc/passwd"), "root:x:0:0");
    for (const char* name : {"x", "y", "sub", "big", "d"}) EXPECT_FALSE(fs::exists(etc_ / name)) << name;
    EXPECT_FALSE(fs::exists(d_ / "big"));
    EXPECT_TRUE(fs::exists(large));
    if (c.link.empty()) {
      EXPECT_EQ(mgr_->LastPlayback().left_out, 1);
      EXPECT_TRUE(Logged("RestoreFile: '" + jailed.string() + "/big' left in the large-file folder: restoring below " +
                         out.string()));
      EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kComplete);
      EXPECT_EQ(Bytes(jailed.string() + "/x"), "stored x");
      EXPECT_EQ(Bytes(jailed.string() + "/sub/y"), "stored y");
      EXPECT_EQ(StatOf(jailed / "x").st_uid, kUser);
    } else {
      EXPECT_EQ(mgr_->LastPlayback().outcome, PlaybackOutcome::kFileFailures);
      EXPECT_GE(mgr_->LastPlayback().refused, 1);
      EXPECT_TRUE(fs::is_symlink(c.link));
    }
  }
}

}  // namespace
}  // namespace store::testing
