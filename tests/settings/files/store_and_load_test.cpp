// Storing and loading collections: what comes back, owners side by side, the
// uninstall store, the user change line and the debug copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"
#include "platform/fs/file_ops.h"
#include "settings/files/settings_file_fixture.h"
#include "settings/folders/folders.h"
#include "settings/folders/uninstall_pending.h"

namespace settings {
namespace {

using platform::Variant;
using settings_testing::EventRecorder;

// An object whose own value is a text when it is set and an Error later:
// the one way a value the collection took can still fail the snapshot.
class Turncoat : public platform::com::Object {
 public:
  bool turned = false;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<Turncoat>({
        {platform::com::kDispIdValue, "Value", 0,
         [](Turncoat& self) { return self.turned ? Variant::Error(5) : Variant("fine"); }},
    });
    return &table;
  }
};

TEST_F(SettingsFileTest, AStoreFollowedByALoadRestoresEveryPersistentSetting) {
  cSettings source;
  source.SetValue("sys.name", "Ann");
  source.SetValue("sys.count", 5);
  source.SetValue("sys.flag", true);
  source.SetValue("tmp.session", "x");
  source.SetValue("features.list=A", true);
  source.SetValue("features.list=F", false);
  source.WriteSnapshotToStored("");

  auto loaded = Load("");
  ASSERT_TRUE(Loaded(*loaded));
  EXPECT_EQ(loaded->GetValue("sys.name").StringValue(), "Ann");
  EXPECT_EQ(loaded->GetValue("sys.count").StringValue(), "5");
  EXPECT_TRUE(loaded->GetValue("sys.flag").BoolValue());
  EXPECT_FALSE(loaded->Exists("tmp.session"));
  EXPECT_TRUE(loaded->GetValueB("features.list=a"));
  EXPECT_FALSE(loaded->Exists("features.list=f"));
  EXPECT_EQ(loaded->GetValue("uncorrupted").StringValue(), "Definitely");
  EXPECT_FALSE(loaded->Dirty());
  EXPECT_EQ(loaded->StoredFilePath(), PathsOf("").live);
  EXPECT_TRUE(LogHas("cSettings for '' read from main file was successful."));
  // The file was written before its path was noted in the collection; the
  // next store of the same collection carries it.
  EXPECT_FALSE(loaded->Exists("user.filename"));
  source.WriteSnapshotToStored("");
  EXPECT_EQ(Load("")->GetValue("user.filename").StringValue(), PathsOf("").live);
}

TEST_F(SettingsFileTest, EveryByteSurvivesTwoStoresAndReloads) {
  const std::string bytes("A\0B\x01\xff\0", 6);
  const std::string text("one\0two<three>\0", 16);
  cSettings first;
  first.SetValue("sys.bytes", Variant(std::vector<uint8_t>(bytes.begin(), bytes.end())));
  first.SetValue("sys.text", Variant(text));
  first.WriteSnapshotToStored("");
  // A byte array comes back as text holding its bytes; stored again, that
  // text must keep them all.
  auto second = Load("");
  ASSERT_TRUE(Loaded(*second));
  EXPECT_EQ(second->GetValue("sys.bytes").StringValue(), bytes);
  EXPECT_EQ(second->GetValue("sys.text").StringValue(), text);
  second->WriteSnapshotToStored("");
  auto third = Load("");
  ASSERT_TRUE(Loaded(*third));
  EXPECT_EQ(third->GetValue("sys.bytes").StringValue(), bytes);
  EXPECT_EQ(third->GetValue("sys.text").StringValue(), text);
}

TEST_F(SettingsFileTest, AnOrdinaryStoreRaisesItsThreeChangesInOrder) {
  cSettings settings;
  settings.SetValue("sys.name", "Ann");
  EventRecorder recorder(settings);
  settings.WriteSnapshotToStored("S-1-5-21-7");
  std::vector<std::string> seen;
  for (const auto& event : recorder.events) {
    seen.push_back(event.name + (event.args.empty() ? "" : " " + platform::CStr(event.args[0])));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"SettingChanged user.sid", "SettingChanged Uncorrupted",
                                            "SettingChanged user.filename"}));
  EXPECT_EQ(settings.GetValue("user.filename").StringValue(), PathsOf("S-1-5-21-7").live);
  EXPECT_TRUE(settings.Dirty());
}

TEST_F(SettingsFileTest, ALoadRaisesSettingsLoadedAndLogsAnOverwrite) {
  Store("S-1-5-21-7", "legacy.Signature", "TPv1a");
  cSettings settings;
  settings.SetValue("legacy.Signature", "SPv1");
  EventRecorder recorder(settings);
  settings.CreateSnapshotFromStored("S-1-5-21-7");
  EXPECT_EQ(recorder.Names().back(), "SettingsLoaded");
  EXPECT_TRUE(LogHas("Settings: Overwrote settings for <System> with settings for <User(a):>"));
}

TEST_F(SettingsFileTest, TheSystemAndEachUserHaveTheirOwnFile) {
  Store("", "sys.who", "system");
  Store("S-1-5-21-1", "sys.who", "first");
  Store("S-1-5-21-2", "sys.who", "second");
  Store("*", "sys.who", "guest");
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(GetProfileFolder())) {
    files.push_back(entry.path().extension().string());
  }
  EXPECT_EQ(files, (std::vector<std::string>(4, ".exl")));

  ASSERT_TRUE(platform::fs::DeleteFile(PathsOf("S-1-5-21-1").live));
  EXPECT_FALSE(Loaded(*Load("S-1-5-21-1")));
  EXPECT_EQ(Load("")->GetValue("sys.who").StringValue(), "system");
  EXPECT_EQ(Load("S-1-5-21-2")->GetValue("sys.who").StringValue(), "second");
  EXPECT_EQ(Load("*")->GetValue("sys.who").StringValue(), "guest");
}

TEST_F(SettingsFileTest, AUserStoreNotesTheUserAndLogsAChange) {
  cSettings settings;
  settings.SetValue("user.sid", "S-1-5-21-1");
  settings.WriteSnapshotToStored("S-1-5-21-1");
  EXPECT_TRUE(LogMessagesStarting("Settings: Changing user").empty());
  settings.WriteSnapshotToStored("S-1-5-21-2");
  EXPECT_TRUE(LogHas("Settings: Changing user in settings from S-1-5-21-1 to S-1-5-21-2"));
  EXPECT_TRUE(LogHas("cSettings for 'S-1-5-21-2' write to main file successful."));
  EXPECT_EQ(Load("S-1-5-21-2")->GetValue("user.sid").StringValue(), "S-1-5-21-2");
}

TEST_F(SettingsFileTest, AnUninstallStoreWritesAnEmptyCollectionAndMemoryKeepsItsValues) {
  auto settings = std::make_shared<cSettings>();
  settings->SetValue("sys.name", "Ann");
  settings->SetValue("sys.flag", true);
  SetUninstallPending(true);
  EventRecorder recorder(*settings);
  settings->WriteSnapshotToStored("");
  // Cleared, the marker and the stored path written, loaded back.
  EXPECT_EQ(recorder.Names(),
            (std::vector<std::string>{"SettingsCleared", "SettingChanged", "SettingChanged", "SettingsLoaded"}));
  EXPECT_EQ(settings->GetValue("sys.name").StringValue(), "Ann");
  EXPECT_TRUE(settings->GetValue("sys.flag").BoolValue());
  EXPECT_FALSE(settings->Dirty());

  SetUninstallPending(false);
  auto loaded = Load("");
  ASSERT_TRUE(Loaded(*loaded));
  EXPECT_EQ(loaded->Count(), 1u);
  EXPECT_EQ(loaded->GetValue("uncorrupted").StringValue(), "Definitely");
}

TEST_F(SettingsFileTest, AnUninstallStoreOfASnapshotThatFailsKeepsTheValuesToo) {
  auto settings = std::make_shared<cSettings>();
  settings->SetValue("sys.name", "Ann");
  auto object = std::make_shared<Turncoat>();
  settings->SetValue("sys.bad", Variant(object));  // taken: its value is a text
  object->turned = true;
  SetUninstallPending(true);
  settings->WriteSnapshotToStored("");
  EXPECT_EQ(settings->GetValue("sys.name").StringValue(), "Ann");
  EXPECT_TRUE(settings->GetValue("sys.bad").IsObject());
  SetUninstallPending(false);
  EXPECT_EQ(Load("")->Count(), 1u);
}

TEST_F(SettingsFileTest, AStoreThatCannotBeSnapshottedLeavesTheFileAndSaysSo) {
  Store("", "sys.name", "old");
  cSettings settings;
  auto object = std::make_shared<Turncoat>();
  settings.SetValue("sys.bad", Variant(object));  // taken: its value is a text
  object->turned = true;
  settings.WriteSnapshotToStored("");
  EXPECT_TRUE(LogHas("cSettings for '' write to main file failed. Err=Invalid PropertyValue type."));
  EXPECT_EQ(Load("")->GetValue("sys.name").StringValue(), "old");
}

TEST_F(SettingsFileTest, ASystemStoreAfterSetupWithoutFeatureSettingsLeavesADebugCopy) {
  const auto debug_copies = [] {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(GetLogFolder())) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("DebugSettings-")) found.push_back(entry.path().string());
    }
    return found;
  };
  cSettings settings;
  settings.SetValue("sys.setupwizardcomplete", "True");
  settings.WriteSnapshotToStored("S-1-5-21-1");  // users are not checked
  EXPECT_TRUE(debug_copies().empty());
  settings.WriteSnapshotToStored("");
  const auto copies = debug_copies();
  ASSERT_EQ(copies.size(), 1u);
  const std::string name = std::filesystem::path(copies[0]).filename().string();
  EXPECT_EQ(name.size(), std::string("DebugSettings-ddmmyyhhnnss.xml").size());
  const std::string text = testing_support::ReadFileBytes(copies[0]);
  EXPECT_TRUE(text.starts_with("<VeltrisSettings><cSettings name=\"Windows_v1.50\"><sys.setupwizardcomplete"));
  EXPECT_TRUE(text.ends_with("</VeltrisSettings>\r\n"));

  std::filesystem::remove(copies[0]);
  settings.SetValue("legacy.featureset", "AF");
  settings.WriteSnapshotToStored("");
  EXPECT_TRUE(debug_copies().empty());
  settings.SetValue("sys.setupwizardcomplete", "no");  // does not convert: no check
  settings.RemoveValue("legacy.featureset");
  settings.WriteSnapshotToStored("");
  EXPECT_TRUE(debug_copies().empty());
}

TEST_F(SettingsFileTest, AMarkerStoredUnderANamespaceIsStillFound) {
  cSettings settings;
  settings.SetNamespace("app");
  settings.SetValue("x", 1);
  settings.WriteSnapshotToStored("");
  EXPECT_TRUE(settings.Exists("uncorrupted"));
  auto loaded = Load("");
  ASSERT_TRUE(Loaded(*loaded));
  EXPECT_EQ(loaded->GetValue("app.x").StringValue(), "1");
}

}  // namespace
}  // namespace settings
