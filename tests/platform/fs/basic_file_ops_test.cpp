#include "platform/fs/basic_file_ops.h"

#include <sys/stat.h>

#include "fs_fixture.h"
#include "platform/basic/err.h"
#include "platform/fs/file_ops.h"

namespace platform::fs {
namespace {

using BasicFileOpsTest = FsTest;

TEST_F(BasicFileOpsTest, KillDeletesWhatTheMaskMatches) {
  Write("tmp/a.tmp", "1");
  Write("tmp/b.tmp", "2");
  Write("tmp/keep.txt", "kept");
  Write("tmp/.c.tmp", "hidden");
  Write("tmp/sub.tmp/inner", "in a folder");
  EXPECT_EQ(ErrorOf([&] { Kill(Path("tmp/*.tmp")); }), 0);
  EXPECT_FALSE(PathExists(Path("tmp/a.tmp")));
  EXPECT_FALSE(PathExists(Path("tmp/b.tmp")));
  EXPECT_EQ(Read("tmp/keep.txt"), "kept");
  EXPECT_EQ(Read("tmp/sub.tmp/inner"), "in a folder");
  EXPECT_TRUE(PathExists(Path("tmp/.c.tmp")));  // wildcards skip hidden files
  EXPECT_EQ(ErrorOf([&] { Kill(Path("tmp/.c.tmp")); }), 0);  // an exact name does not
  EXPECT_FALSE(PathExists(Path("tmp/.c.tmp")));
}

TEST_F(BasicFileOpsTest, KillRaisesBasicErrors) {
  Write("dir/readonly.txt", "r");
  ::chmod(Path("dir/readonly.txt").c_str(), 0444);
  struct Case {
    std::string pattern;
    int32_t error;
  } cases[] = {
      {Path("dir/missing.txt"), kErrFileNotFound},
      {Path("dir/*.none"), kErrFileNotFound},
      {Path("dir"), kErrFileNotFound},  // a folder is not a file
      {Path("nowhere/x.txt"), kErrPathNotFound},
      {Path("dir/readonly.txt"), kErrPathFileAccess},
      {"", kErrFileNotFound},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { Kill(c.pattern); }), c.error) << c.pattern;
  EXPECT_TRUE(FileExists(Path("dir/readonly.txt")));
}

TEST_F(BasicFileOpsTest, NameRenamesButNeverReplaces) {
  Write("a.txt", "a");
  Write("b.txt", "b");
  EXPECT_EQ(ErrorOf([&] { Name(Path("a.txt"), Path("c.txt")); }), 0);
  EXPECT_EQ(Read("c.txt"), "a");
  EXPECT_FALSE(PathExists(Path("a.txt")));

  struct Case {
    std::string from, to;
    int32_t error;
  } cases[] = {
      {Path("c.txt"), Path("b.txt"), kErrFileExists},
      {Path("missing.txt"), Path("d.txt"), kErrFileNotFound},
      {Path("c.txt"), Path("nowhere/d.txt"), kErrPathNotFound},
      {Path("c.txt"), "", kErrPathFileAccess},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { Name(c.from, c.to); }), c.error) << c.from << " -> " << c.to;
  EXPECT_EQ(Read("b.txt"), "b");
  EXPECT_EQ(Read("c.txt"), "a");
}

}  // namespace
}  // namespace platform::fs
