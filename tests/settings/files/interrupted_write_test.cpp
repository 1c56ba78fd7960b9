// A write stopped at any moment (the process killed, or the step failing)
// leaves the old settings or the new ones on the next read, never none.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/fs/file_ops.h"
#include "settings/files/settings_file_fixture.h"
#include "testing/child_process.h"

namespace settings {
namespace {

struct StopCase {
  BinFileStep step;
  const char* name;
  const char* survivor;  // what the next read finds
};

// Up to the moment the work file is complete the old file stands; from then
// on the new one (a complete work file is taken up by the next read).
const StopCase kStops[] = {
    {BinFileStep::kWorkFileCreated, "created", "old"},
    {BinFileStep::kWorkFileHalfWritten, "half written", "old"},
    {BinFileStep::kWorkFileDataWritten, "data written", "old"},
    {BinFileStep::kWorkFileComplete, "complete", "new"},
    {BinFileStep::kWorkFileFlushed, "flushed", "new"},
    {BinFileStep::kLiveFileReplaced, "replaced", "new"},
};

TEST_F(SettingsFileTest, AProcessKilledAtAnyStepOfAWriteLeavesOldOrNewSettings) {
  for (const StopCase& stop : kStops) {
    SCOPED_TRACE(stop.name);
    Store("S-1-5-21-5", "sys.name", "old");
    const int status = testing_support::RunInChild([&] {
      SetBinFileStepHook([&](BinFileStep step) {
        if (step == stop.step) ::_exit(0);
        return true;
      });
      Store("S-1-5-21-5", "sys.name", "new");
      return 1;  // the write should not have finished
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Load("S-1-5-21-5")->GetValue("sys.name").StringValue(), stop.survivor);
    EXPECT_FALSE(platform::fs::FileExists(PathsOf("S-1-5-21-5").work));
  }
}

TEST_F(SettingsFileTest, AFailingStepLeavesOldOrNewSettingsAndNoSuccessLine) {
  for (const StopCase& stop : kStops) {
    SCOPED_TRACE(stop.name);
    Store("", "sys.name", "old");
    testing_support::WriteFileBytes(service::SystemLogPath(), "");
    SetBinFileStepHook([&](BinFileStep step) { return step != stop.step; });
    Store("", "sys.name", "new");
    SetBinFileStepHook({});
    EXPECT_TRUE(LogHas("cSettings for '' write to main file failed."));
    EXPECT_EQ(Load("")->GetValue("sys.name").StringValue(), stop.survivor);
  }
}

TEST_F(SettingsFileTest, AWriteIntoAFolderThatRefusesItFailsAndSaysSo) {
  Store("", "sys.name", "old");
  // A folder where the work file should go makes the write fail.
  ASSERT_TRUE(platform::fs::MakeFolder(PathsOf("").work));
  Store("", "sys.name", "new");
  EXPECT_TRUE(LogHas("cSettings for '' write to main file failed."));
  ASSERT_TRUE(platform::fs::RemoveFolder(PathsOf("").work));
  EXPECT_EQ(Load("")->GetValue("sys.name").StringValue(), "old");
}

}  // namespace
}  // namespace settings
